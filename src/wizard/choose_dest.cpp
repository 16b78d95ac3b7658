#include "wizard/choose_dest.h"

#include <windows.h>

#include <iterator>

#include "paths.h"
#include "product.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "ui/dpi.h"
#include "ui/message_dialog.h"
#include "uninstall_log.h"
#include "wizard/change_dir.h"
#include "wizard/select_program.h"
#include "wizard/shorten_path.h"

TChooseDest* ChooseDest = nullptr;

namespace {

constexpr int kLabel5Width = 225;

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", kPageMargin, 16, kPageTextWidth, 13,
     "Setup will install Velto into the following directory."},
    {ControlKind::Label, "Label2", kPageMargin, 44, kPageTextWidth, 13, "To install to this directory, click Next."},
    {ControlKind::Label, "Label3", kPageMargin, 72, kPageTextWidth, 26,
     "To install to a different directory, click Browse and select another directory.", cfWordWrap},
    {ControlKind::Label, "Label4", kPageMargin, 112, kPageTextWidth, 26,
     "You can choose not to install Velto, by clicking Cancel to exit Setup.", cfWordWrap},
    {ControlKind::GroupBox, "GroupBox1", kPageMargin, 164, kPageTextWidth, 56, "Destination Directory"},
    {ControlKind::Label, "Label5", 24, 190, kLabel5Width, 13, "", cfNoPrefix},
    {ControlKind::Button, "Button1", 252, 185, 64, kPageButtonHeight, "B&rowse..."},
    {ControlKind::Button, "Button2", kPageBackLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "< &Back",
     cfDisabled},
    {ControlKind::Button, "Button3", kPageNextLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "&Next >",
     cfDefault},
    {ControlKind::Button, "Button4", kPageCancelLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "Cancel",
     cfCancel},
};

const FormLayout kLayout = WizardPageLayout("TChooseDest", "Choose Destination Location", kRows, std::size(kRows));

// Sets the dialog's drive box and directory list to `dir` on drive
// `drive`; true when the list's directory then contains `dir`.
bool BrowseTo(char drive, const std::string& dir) {
    ChangeDir->DriveComboBox1.SetDrive(drive);
    ChangeDir->DirectoryListBox1.SetDirectory(dir);
    return !dir.empty() && ChangeDir->DirectoryListBox1.Directory().find(dir) != std::string::npos;
}

}  // namespace

int64_t DiskFreeSpace(const std::string& root) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    const BOOL ok = GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters);
    SetErrorMode(oldMode);
    if (!ok) return -1;
    return static_cast<int64_t>(freeClusters) * sectorsPerCluster * bytesPerSector;
}

std::string ParentDirectory(const std::string& path) {
    const size_t cut = path.find_last_of("\\:");
    if (cut == std::string::npos) return std::string();
    std::string parent = path.substr(0, cut + 1);
    // A final "\" goes, unless it follows ":" or another "\".
    if (parent.size() >= 2 && parent.back() == '\\' && parent[parent.size() - 2] != ':' &&
        parent[parent.size() - 2] != '\\')
        parent.pop_back();
    return parent;
}

std::string LowFreeSpaceQuestion(const std::string& destDir) {
    return "The specified drive:\r\r'" + destDir +
           "'\r\r has insufficent free disk space.  Do you want to choose a different drive?";
}

std::string DefaultDestination() {
    std::string programFiles;
    RegKey key;
    // Read access is all it takes (full access would fail for a user
    // without administrator rights and leave a relative default).
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      key.Receive()) == ERROR_SUCCESS) {
        char value[MAX_PATH + 1] = "";
        DWORD type = 0;
        DWORD size = sizeof value - 1;
        if (RegQueryValueExA(key.Get(), "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            value[size < sizeof value ? size : sizeof value - 1] = '\0';
            programFiles = value;
        }
    }
    return JoinPath(programFiles, "Velto");
}

TChooseDest::TChooseDest()
    : TWizardPage(kLayout),
      Label1(Control<TLabel>("Label1")),
      Label2(Control<TLabel>("Label2")),
      Label3(Control<TLabel>("Label3")),
      Label4(Control<TLabel>("Label4")),
      GroupBox1(Control<TGroupBox>("GroupBox1")),
      Label5(Control<TLabel>("Label5")),
      Button1(Control<TButton>("Button1")),
      Button2(Control<TButton>("Button2")),
      Button3(Control<TButton>("Button3")),
      Button4(Control<TButton>("Button4")) {}

void TChooseDest::FormCreate() {
    Button1.OnClick = [this] { Button1Click(); };
    Button3.OnClick = [this] { Button3Click(); };
    Button4.OnClick = [this] { Button4Click(); };
    DefaultDestDir = DefaultDestination();
    SetDestDir(DefaultDestDir);
}

void TChooseDest::FormActivate() { Button3.SetFocus(); }

void TChooseDest::ShowDestDir() { Label5.SetText(ShortenPathToWidth(DestDir, Font(), Scaled(kLabel5Width))); }

void TChooseDest::SetDestDir(const std::string& dir) {
    DestDir = dir;
    ShowDestDir();
}

void TChooseDest::Button1Click() {
    if (!BrowseTo(DestDir.empty() ? 0 : DestDir[0], DestDir) &&
        !BrowseTo(DestDir.empty() ? 0 : DestDir[0], ParentDirectory(DestDir)))
        BrowseTo(DefaultDestDir.empty() ? 0 : DefaultDestDir[0], ParentDirectory(DefaultDestDir));
    ChangeDir->Edit1.SetText(DestDir);
    if (ChangeDir->ShowModal() != mrOk) return;
    SetDestDir(ChangeDir->AcceptedPath);
}

std::string DestinationTooLongText(const std::string& destDir) {
    return "The directory:\r\r'" + destDir +
           "'\r\ris too long for the files of this program.  Please choose a directory with a shorter path.";
}

bool TChooseDest::CheckDestination() {
    // 0. Every path setup will make below it fits the uninstall log whole.
    if (JoinPath(DestDir, std::string(LongestInstalledName, 'x')).size() > kMaxRecordPath) {
        MessageDlg(DestinationTooLongText(DestDir), mtError, mbOK);
        return false;
    }
    // 1. Room on the drive.
    const std::string root = std::string(1, DestDir.empty() ? '\0' : DestDir[0]) + ":\\";
    const int64_t free = FreeSpace ? FreeSpace(root) : -1;
    if (free < kRequiredFreeSpace && MessageDlg(LowFreeSpaceQuestion(DestDir), mtWarning, mbYesNo) == mrYes)
        return false;

    // 2. The destination exists or is made now, without asking.
    CurrentDirGuard saved;
    if (!SetCurrentDir(DestDir) && !ChangeDir->MakeDirectory(DestDir)) {
        ShowInvalidDirectory(DestDir);
        return false;
    }
    // 3. It can take files.
    if (!IsUsableDirectory(DestDir)) {
        ShowInvalidDirectory(DestDir);
        return false;
    }
    // 4. and 5. The fixed subdirectories. A failure here is an error of
    // setup itself; the directories made so far stay made and logged.
    ChDir(DestDir);
    for (const char* name : kDestinationFolders) {
        if (!ChangeDir->MakeDirectory(JoinPath(DestDir, name))) throw ESetupError(SE_MAKEDIRECTORY);
    }
    // 6. Back where it was; failing to get there is reported.
    saved.Restore();
    return true;
}

void TChooseDest::Button3Click() {
    if (CheckDestination()) GoForward(*SelectProgram);
}
