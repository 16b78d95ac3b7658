// What the four wizard pages share: the page frame (336 x 280, dialog
// font), placement in the middle of the screen above every other window,
// the button row and the quit confirmation on every way out.
#pragma once

#include "ui/form.h"

// Layout of a page with the given window class, caption and controls.
FormLayout WizardPageLayout(const char* className, const char* caption, const ControlRow* rows, size_t count);

// The button row at the bottom right of every page: "< &Back" and
// "&Next >" side by side, "Cancel" set apart at the right edge.
constexpr int kPageMargin = 12;
constexpr int kPageButtonTop = 244;
constexpr int kPageButtonWidth = 75;
constexpr int kPageButtonHeight = 23;
constexpr int kPageCancelLeft = 336 - kPageMargin - kPageButtonWidth;  // 249
constexpr int kPageNextLeft = kPageCancelLeft - 8 - kPageButtonWidth;  // 166
constexpr int kPageBackLeft = kPageNextLeft - kPageButtonWidth;        // 91
constexpr int kPageTextWidth = 336 - 2 * kPageMargin;                  // 312

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
    // Next: this page goes, `next` comes.
    void GoForward(TForm& next);
    // Back: `previous` comes first, then this page goes.
    void GoBack(TForm& previous);
};
