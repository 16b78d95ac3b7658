#include "container/decompress_form.h"

#include <iterator>

TDecompress* Decompress = nullptr;

namespace {

const ControlRow kRows[] = {
    {ControlKind::Gauge, "Gauge1", 8, 46, 321, 27, "", cfBold, 0, 0, -13},
    {ControlKind::Button, "Button1", 128, 80, 75, 25, "Cancel", cfDefault | cfCancel},
    {ControlKind::Label, "Label1", 8, 8, 321, 13, "Decompressing files in", cfNoPrefix},
    {ControlKind::Label, "Label2", 8, 24, 321, 13, "", cfNoPrefix},
};

const FormLayout kLayout = {
    "TDecompress",   "Decompressing...", 336,       112,   FormBorder::Dialog, FormPosition::Designed,
    kDialogFontName, kDialogFontHeight,  clBtnFace, kRows, std::size(kRows),
};

}  // namespace

TDecompress::TDecompress()
    : TForm(kLayout),
      Gauge1(Control<TGauge>("Gauge1")),
      Button1(Control<TButton>("Button1")),
      Label1(Control<TLabel>("Label1")),
      Label2(Control<TLabel>("Label2")) {
    Gauge1.MinValue = 0;
    Gauge1.MaxValue = 1000;
    Button1.OnClick = [this] { Button1Click(); };
}

void TDecompress::FormShow() { PlaceCentered(true); }

void TDecompress::Button1Click() {
    if (Cancelled) return;
    if (ConfirmQuit && ConfirmQuit()) Cancelled = true;
}

void TDecompress::FormCloseQuery(bool& canClose) { canClose = !ConfirmQuit || ConfirmQuit(); }

void TDecompress::FormClose(TCloseAction& action) {
    (void)action;
    Cancelled = true;
}
