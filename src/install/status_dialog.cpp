#include "install/status_dialog.h"

#include <iterator>

TUnInstall1* UnInstall1 = nullptr;

namespace {

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", 8, 27, 313, 19, "Uninstalling...", cfCentered | cfNoPrefix, 0, 0, -13},
};

const FormLayout kLayout = {
    "TUnInstall1",   "Uninstalling...", 328,       72,    FormBorder::Dialog, FormPosition::Designed,
    kDialogFontName, kDialogFontHeight, clBtnFace, kRows, std::size(kRows),
};

}  // namespace

TUnInstall1::TUnInstall1() : TForm(kLayout), Label1(Control<TLabel>("Label1")) {}

void TUnInstall1::FormShow() { PlaceCentered(true); }
