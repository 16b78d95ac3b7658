#include "wizard/wizard_page.h"

#include "install/process_uninstall_log.h"
#include "install/setup_log.h"
#include "wizard/exit_setup.h"

FormLayout WizardPageLayout(const char* className, const char* caption, const ControlRow* rows, size_t count) {
    return FormLayout{
        className,         caption,   336,  280,  FormBorder::Dialog, FormPosition::Designed, kDialogFontName,
        kDialogFontHeight, clBtnFace, rows, count};
}

void TWizardPage::FormShow() { PlaceCentered(true); }

void TWizardPage::FormCloseQuery(bool& canClose) {
    if (!ExitSetup->ConfirmExit()) canClose = false;
}

void TWizardPage::FormClose(TCloseAction& action) {
    (void)action;
    ProcessUninstallLog(SetupLog());
}

void TWizardPage::ConfirmQuit() {
    if (ExitSetup->ConfirmExit()) ProcessUninstallLog(SetupLog());
}

void TWizardPage::GoForward(TForm& next) {
    Hide();
    next.Show();
}

void TWizardPage::GoBack(TForm& previous) {
    previous.Show();
    Hide();
}
