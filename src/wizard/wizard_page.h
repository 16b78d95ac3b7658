// What the four wizard pages share: the page frame (336 x 280, dialog
// font), placement in the middle of the screen above every other window,
// and the quit confirmation on every way out.
#pragma once

#include "ui/form.h"

// Layout of a page with the given window class, caption and controls.
FormLayout WizardPageLayout(const char* className, const char* caption, const ControlRow* rows, size_t count);

class TWizardPage : public TForm {
public:
    explicit TWizardPage(const FormLayout& layout) : TForm(layout) {}

    // Centred on the screen and topmost, every time it is shown.
    void FormShow() override;
    // Closing the page asks "Exit Setup"; "&Resume" keeps it.
    void FormCloseQuery(bool& canClose) override;
    // A page that closes rolls setup back and ends it.
    void FormClose(TCloseAction& action) override;

    // The Cancel button: "Exit Setup", and rollback when confirmed.
    void ConfirmQuit();
};
