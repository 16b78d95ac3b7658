// The wizard page "Select Program Folder": the name of the Start-menu
// program folder, typed or picked from the folders that exist.
#pragma once

#include "wizard/wizard_page.h"

class TSelectProgram : public TWizardPage {
public:
    TSelectProgram();
    TLabel& Label1;
    TLabel& Label3;
    TEdit& Edit1;  // the program folder name
    TLabel& Label2;
    TListBox& ListBox1;
    TButton& Button2;  // "< &Back"
    TButton& Button3;  // "&Next >"
    TButton& Button4;  // "Cancel"

    // Lists the folders of the Programs folder (once, at start-up).
    void FormCreate() override;
    void FormActivate() override;
    void ListBox1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click() { ConfirmQuit(); }
    // Fills ListBox1 with the program folders in `programsDir`.
    void FillFolderList(const std::string& programsDir);
};

extern TSelectProgram* SelectProgram;

// The refusal of a program folder whose shortcut paths would be too long.
std::string ProgramFolderTooLongText(const std::string& folder);
// True when the shortcuts (and kept copies of them) in `folderName` below
// `programsDir` fit an uninstall log record whole.
bool ProgramFolderFits(const std::string& programsDir, const std::string& folderName);
