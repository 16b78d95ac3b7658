#include "wizard/select_program.h"

#include <iterator>

#include "install/programs_dir.h"
#include "paths.h"
#include "runtime/kept_copy.h"
#include "ui/message_dialog.h"
#include "wizard/choose_dest.h"
#include "wizard/start_copy.h"

TSelectProgram* SelectProgram = nullptr;

namespace {

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", kPageMargin, 12, kPageTextWidth, 52,
     "Setup will add program icons to the Program Folder listed below.  You may type a new folder name, or select "
     "one from the existing Folders list.  Click Next to continue.",
     cfWordWrap},
    {ControlKind::Label, "Label3", kPageMargin, 70, kPageTextWidth, 13, "&Program Folder:"},
    {ControlKind::Edit, "Edit1", kPageMargin, 86, kPageTextWidth, 21, "Velto", 0, 2},
    {ControlKind::Label, "Label2", kPageMargin, 116, kPageTextWidth, 13, "E&xisting Folders:"},
    {ControlKind::ListBox, "ListBox1", kPageMargin, 132, kPageTextWidth, 102, "", cfSorted, 1},
    {ControlKind::Button, "Button2", kPageBackLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "< &Back", 0,
     4},
    {ControlKind::Button, "Button3", kPageNextLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "&Next >",
     cfDefault, 3},
    {ControlKind::Button, "Button4", kPageCancelLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "Cancel",
     cfCancel, 5},
};

const FormLayout kLayout = WizardPageLayout("TSelectProgram", "Select Program Folder", kRows, std::size(kRows));

}  // namespace

TSelectProgram::TSelectProgram()
    : TWizardPage(kLayout),
      Label1(Control<TLabel>("Label1")),
      Label3(Control<TLabel>("Label3")),
      Edit1(Control<TEdit>("Edit1")),
      Label2(Control<TLabel>("Label2")),
      ListBox1(Control<TListBox>("ListBox1")),
      Button2(Control<TButton>("Button2")),
      Button3(Control<TButton>("Button3")),
      Button4(Control<TButton>("Button4")) {}

void TSelectProgram::FormCreate() {
    ListBox1.OnClick = [this] { ListBox1Click(); };
    Button2.OnClick = [this] { Button2Click(); };
    Button3.OnClick = [this] { Button3Click(); };
    Button4.OnClick = [this] { Button4Click(); };
    // Without a Programs folder the list stays empty; the name can still
    // be typed.
    const std::string programs = GetProgramsDir();
    if (!programs.empty()) FillFolderList(programs);
}

void TSelectProgram::FillFolderList(const std::string& programsDir) {
    ListBox1.Clear();
    for (const std::string& name : ListProgramFolders(programsDir)) ListBox1.Add(name);
}

void TSelectProgram::FormActivate() { Edit1.SetFocus(); }

void TSelectProgram::ListBox1Click() {
    const int index = ListBox1.ItemIndex();
    if (index >= 0) Edit1.SetText(ListBox1.Item(index));
}

void TSelectProgram::Button2Click() { GoBack(*ChooseDest); }

std::string ProgramFolderTooLongText(const std::string& folder) {
    return "The program folder:\r\r'" + folder + "'\r\ris too long.  Please choose a shorter name.";
}

bool ProgramFolderFits(const std::string& programsDir, const std::string& folderName) {
    // The longer shortcut, or the kept copy of one being replaced.
    const std::string folder = JoinPath(programsDir, folderName);
    return JoinPath(folder, "Velto Documentation.lnk").size() <= kMaxRecordPath &&
           JoinPath(folder, std::string(kKeptNameLength, 'x')).size() <= kMaxRecordPath;
}

void TSelectProgram::Button3Click() {
    if (!ProgramFolderFits(GetProgramsDir(), Edit1.Text())) {
        MessageDlg(ProgramFolderTooLongText(Edit1.Text()), mtError, mbOK);
        return;
    }
    GoForward(*StartCopy);
}
