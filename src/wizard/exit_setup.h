// "Exit Setup": the confirmation shown whenever the user tries to leave
// setup early. "&Resume" (also Enter, Esc and the close box) ends it with
// mrCancel; "E&xit Setup" with mrOk.
#pragma once

#include "ui/form.h"

class TExitSetup : public TForm {
public:
    TExitSetup();
    TLabel& Label1;
    TLabel& Label2;
    TLabel& Label3;
    TButton& Button1;
    TButton& Button2;

    // Shows the box; true when the user chose to exit. Unattended (a run
    // under /S, where nobody would answer), a request to leave is an exit,
    // and nothing is shown.
    bool ConfirmExit() { return Unattended || ShowModal() == mrOk; }
    bool Unattended = false;
};

extern TExitSetup* ExitSetup;
