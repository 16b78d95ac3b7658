// The wizard page "Choose Destination Location": the destination with its
// default from the registry, Browse, and the checks behind Next that also
// create the destination and its fixed subdirectories.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "wizard/wizard_page.h"

// Below this many free bytes on the destination's drive setup warns.
constexpr int64_t kRequiredFreeSpace = 2000000;

// Free bytes on the drive whose root is `root` ("C:\"); -1 when unknown.
int64_t DiskFreeSpace(const std::string& root);

// The parent of `path`: the part before its last "\" or ":", keeping the
// separator after a drive ("C:\Apps" -> "C:\", "C:\A\B" -> "C:\A").
std::string ParentDirectory(const std::string& path);

std::string LowFreeSpaceQuestion(const std::string& destDir);

// The refusal of a destination whose installed paths would be too long.
std::string DestinationTooLongText(const std::string& destDir);

class TChooseDest : public TWizardPage {
public:
    TChooseDest();
    TLabel& Label1;
    TLabel& Label2;
    TLabel& Label3;
    TLabel& Label4;
    TGroupBox& GroupBox1;
    TLabel& Label5;
    TButton& Button1;  // "B&rowse..."
    TButton& Button2;  // "< &Back", disabled
    TButton& Button3;  // "&Next >"
    TButton& Button4;  // "Cancel"

    // The destination directory.
    std::string DestDir;
    // The default destination: ProgramFilesDir joined with "Velto".
    std::string DefaultDestDir;
    // The longest path below the destination that installing makes (set at
    // start-up from the installer's directory); Next refuses a destination
    // under which it would not fit an uninstall log record.
    size_t LongestInstalledName = 15;  // "DLL\WSOCK32.DLL"
    // The free-space query of Next's first check (replaceable by tests).
    std::function<int64_t(const std::string& root)> FreeSpace = DiskFreeSpace;

    void FormCreate() override;
    void FormActivate() override;
    // Label5 shows DestDir shortened to its width.
    void ShowDestDir();
    // A new destination, shown at once (the progress dialog later names it
    // as Label5 shows it).
    void SetDestDir(const std::string& dir);
    void Button1Click();
    void Button3Click();
    void Button4Click() { ConfirmQuit(); }

    // The checks of Next; true when they all passed (the page then moves
    // on). Each refusal has told the user why.
    bool CheckDestination();
};

// The default destination as the registry gives it.
std::string DefaultDestination();

extern TChooseDest* ChooseDest;
