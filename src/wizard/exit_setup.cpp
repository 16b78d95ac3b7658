#include "wizard/exit_setup.h"

#include <iterator>

TExitSetup* ExitSetup = nullptr;

namespace {

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", 12, 12, 296, 28,
     "Setup is not complete.  If you quit the Setup program now, the program will not be installed.", cfWordWrap},
    {ControlKind::Label, "Label2", 12, 52, 296, 28,
     "You may run the Setup program at a later time to complete the installation.", cfWordWrap},
    {ControlKind::Label, "Label3", 12, 92, 296, 28,
     "To continue installing the program, click Resume.  To quit the Setup program, click Exit Setup.", cfWordWrap},
    {ControlKind::Button, "Button1", 72, 140, 75, 25, "&Resume", cfDefault | cfCancel, 0, mrCancel},
    {ControlKind::Button, "Button2", 172, 140, 75, 25, "E&xit Setup", 0, 0, mrOk},
};

const FormLayout kLayout = {
    "TExitSetup",    "Exit Setup",      320,       176,   FormBorder::Dialog, FormPosition::ScreenCenter,
    kDialogFontName, kDialogFontHeight, clBtnFace, kRows, std::size(kRows),
};

}  // namespace

TExitSetup::TExitSetup()
    : TForm(kLayout),
      Label1(Control<TLabel>("Label1")),
      Label2(Control<TLabel>("Label2")),
      Label3(Control<TLabel>("Label3")),
      Button1(Control<TButton>("Button1")),
      Button2(Control<TButton>("Button2")) {}
