// The wizard page "Start Copying Files": a summary of the choices; Next
// starts the installation.
#pragma once

#include <string>
#include <vector>

#include "wizard/wizard_page.h"

// The five lines of the summary.
std::vector<std::string> SummaryLines(const std::string& destDir, const std::string& programFolder);

class TStartCopy : public TWizardPage {
public:
    TStartCopy();
    TLabel& Label1;
    TLabel& Label2;
    TMemo& Memo1;
    TButton& Button2;  // "< &Back"
    TButton& Button3;  // "&Next >"
    TButton& Button4;  // "Cancel"

    // COM serves the whole program from here (shortcuts, the Programs
    // folder): the page lives from start-up to the end.
    void FormCreate() override;
    void FormDestroy() override;
    // Placement, then the summary, rebuilt from the current choices.
    void FormShow() override;
    void FormActivate() override;
    // The summary is for reading only: typed characters are dropped.
    void Memo1KeyPress(char& key) { key = 0; }
    void Button2Click();
    void Button3Click();

    // True while the install run behind Button3 is at work: closing the
    // backdrop then cancels the run instead of rolling back under it.
    bool Installing = false;
    void Button4Click() { ConfirmQuit(); }

private:
    ComInitialization com_;
};

extern TStartCopy* StartCopy;
