#include "ui/control_factory.h"

#include "errors.h"
#include "ui/directory_list.h"
#include "ui/drive_box.h"

std::unique_ptr<TControl> MakeControl(TForm& form, const ControlRow& row, int id) {
    switch (row.Kind) {
        case ControlKind::Label: return std::unique_ptr<TControl>(new TLabel(form, row, id));
        case ControlKind::Button: return std::unique_ptr<TControl>(new TButton(form, row, id));
        case ControlKind::CheckBox: return std::unique_ptr<TControl>(new TCheckBox(form, row, id));
        case ControlKind::GroupBox: return std::unique_ptr<TControl>(new TGroupBox(form, row, id));
        case ControlKind::Edit: return std::unique_ptr<TControl>(new TEdit(form, row, id));
        case ControlKind::Memo: return std::unique_ptr<TControl>(new TMemo(form, row, id));
        case ControlKind::ListBox: return std::unique_ptr<TControl>(new TListBox(form, row, id));
        case ControlKind::ComboBox: return std::unique_ptr<TControl>(new TComboBox(form, row, id));
        case ControlKind::Gauge: return std::unique_ptr<TControl>(new TGauge(form, row, id));
        case ControlKind::DriveBox: return std::unique_ptr<TControl>(new TDriveComboBox(form, row, id));
        case ControlKind::DirectoryList: return std::unique_ptr<TControl>(new TDirectoryListBox(form, row, id));
    }
    throw Exception("Unknown control kind");
}
