// The wizard page "Setup Complete": Finish writes the uninstaller, starts
// the installed program if the box is ticked, and ends setup.
#pragma once

#include <string>

#include "wizard/wizard_page.h"

// The command line that starts the installed program: its full path in
// quotes, so a destination with spaces cannot start another program.
std::string LaunchCommand(const std::string& destDir);

class TSetupComplete : public TWizardPage {
public:
    TSetupComplete();
    TLabel& Label1;
    TLabel& Label2;
    TCheckBox& CheckBox1;  // "Yes, launch Velto"
    TLabel& Label3;
    TButton& Button2;  // "< &Back", disabled
    TButton& Button3;  // "Finish"

    void FormCreate() override;
    void Button3Click();
};

extern TSetupComplete* SetupComplete;

// What Finish does before anything else: writes UNINST.EXE into `destDir`
// from the log (which it empties) and drops the kept copies of replaced
// files, which nothing can roll back to any more.
void FinishInstallation(const std::string& destDir);
