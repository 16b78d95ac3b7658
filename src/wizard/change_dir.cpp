#include "wizard/change_dir.h"

TChangeDir* ChangeDir = nullptr;

namespace {

const FormLayout kLayout = {
    "TChangeDir", "Choose Directory", 240, 248, FormBorder::Dialog, FormPosition::Designed, kDialogFontName,
    kDialogFontHeight, clBtnFace, nullptr, 0,
};

}  // namespace

TChangeDir::TChangeDir() : TForm(kLayout) {}

void TChangeDir::FormShow() { PlaceCentered(false); }
