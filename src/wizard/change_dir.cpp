#include "wizard/change_dir.h"

#include <windows.h>
#include <winnetwk.h>

#include <iterator>

#include "install/make_directory.h"
#include "install/setup_log.h"
#include "paths.h"
#include "runtime/files.h"
#include "runtime/system_library.h"
#include "ui/message_dialog.h"

TChangeDir* ChangeDir = nullptr;

namespace {

constexpr char kCaption[] = "Choose Directory";

const ControlRow kRows[] = {
    {ControlKind::Label, "Label0", 8, 8, 224, 26, "Please choose the directory for installation.", cfWordWrap},
    {ControlKind::Label, "Label1", 8, 38, 152, 13, "&Path:"},
    {ControlKind::Edit, "Edit1", 8, 54, 152, 21, ""},
    {ControlKind::Label, "Label2", 8, 82, 152, 13, "&Directories:"},
    {ControlKind::DirectoryList, "DirectoryListBox1", 8, 98, 152, 102, ""},
    {ControlKind::Label, "Label3", 8, 204, 152, 13, "Dri&ves:"},
    {ControlKind::DriveBox, "DriveComboBox1", 8, 220, 152, 160, ""},
    {ControlKind::Button, "Button2", 168, 54, 64, 23, "OK", cfDefault},
    {ControlKind::Button, "Button3", 168, 83, 64, 23, "Cancel", cfCancel, 0, mrCancel},
    {ControlKind::Button, "Button1", 168, 219, 64, 23, "&Network..."},
};

const FormLayout kLayout = {
    "TChangeDir",    kCaption,          240,       248,   FormBorder::Dialog, FormPosition::Designed,
    kDialogFontName, kDialogFontHeight, clBtnFace, kRows, std::size(kRows),
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A path that names its drive and starts at the root ("C:\...", "\\srv\...").
bool IsRootedPath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
           (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
}

}  // namespace

std::string InvalidDirectoryText(const std::string& path) {
    return "The specified directory:\r\r'" + path +
           "'\r\ris invalid, incomplete, or write protected.  Please type a full path with drive letter; for "
           "example 'C:\\APPS'.";
}

void ShowInvalidDirectory(const std::string& path) { MessageDlg(InvalidDirectoryText(path), mtError, mbOK); }

std::string CreateDirectoryQuestion(const std::string& path) {
    return "The directory:\r\r'" + path + "'\r\rdoes not exist.  Do you want the directory to be created?";
}

std::string CannotReadDriveText(char drive) {
    return std::string("Cannot read drive ") + drive +
           ":.\rMake sure the drive door is closed and the disk is formatted and free of errors.";
}

bool IsUsableDirectory(const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
}

TChangeDir::TChangeDir()
    : TForm(kLayout),
      Label0(Control<TLabel>("Label0")),
      Label1(Control<TLabel>("Label1")),
      Edit1(Control<TEdit>("Edit1")),
      Label2(Control<TLabel>("Label2")),
      DirectoryListBox1(Control<TDirectoryListBox>("DirectoryListBox1")),
      Label3(Control<TLabel>("Label3")),
      DriveComboBox1(Control<TDriveComboBox>("DriveComboBox1")),
      Button2(Control<TButton>("Button2")),
      Button3(Control<TButton>("Button3")),
      Button1(Control<TButton>("Button1")) {}

void TChangeDir::FormCreate() {
    LastGoodDrive = 'c';
    DirectoryListBox1.OnChange = [this] { DirectoryListBox1Change(); };
    DriveComboBox1.OnChange = [this] { DriveComboBox1Change(); };
    Button1.OnClick = [this] { Button1Click(); };
    Button2.OnClick = [this] { Button2Click(); };
}

void TChangeDir::FormShow() { PlaceCentered(false); }

void TChangeDir::DirectoryListBox1Change() { Edit1.SetText(DirectoryListBox1.Directory()); }

void TChangeDir::DriveComboBox1Change() {
    for (;;) {
        const char drive = DriveComboBox1.Drive();
        try {
            DirectoryListBox1.SetDrive(drive);
            LastGoodDrive = drive;
            return;
        } catch (const EInOutError&) {
            // Asked below, outside the handler of the error.
        }
        if (Application.ShowMessageBox(CannotReadDriveText(drive), kCaption, MB_ICONERROR | MB_RETRYCANCEL) == IDRETRY)
            continue;
        const char back = Lower(LastGoodDrive) == Lower(drive) ? 'c' : LastGoodDrive;
        // When drive C itself cannot be read there is nowhere to go back
        // to: the list keeps what it showed and the user picks a drive.
        if (Lower(back) == Lower(drive)) return;
        // Runs this handler again, for that drive.
        DriveComboBox1.SetDrive(back);
        return;
    }
}

void TChangeDir::Button1Click() {
    const SystemFunction<decltype(&WNetConnectionDialog)> connectionDialog("mpr.dll", "WNetConnectionDialog");
    const DWORD result = connectionDialog ? (*connectionDialog)(Handle(), RESOURCETYPE_DISK) : ERROR_NO_NETWORK;
    if (result != NO_ERROR && result != ERROR_CANCELLED && result != static_cast<DWORD>(-1))
        Application.ShowMessageBox("Network error.", kCaption, MB_ICONERROR | MB_OK);
    DriveComboBox1.BuildList();
}

void TChangeDir::Button2Click() {
    const std::string typed = Edit1.Text();
    // A name without a drive or root is taken inside the directory the list
    // shows, where the user sees it.
    std::string path = typed;
    const bool plainRelative = !path.empty() && path[0] != '\\' && !(path.size() >= 2 && path[1] == ':');
    if (plainRelative && !DirectoryListBox1.Directory().empty()) path = JoinPath(DirectoryListBox1.Directory(), path);
    const std::string full = FullPathName(path);
    if (full.empty()) {
        ShowInvalidDirectory(typed);
        return;
    }

    // Every check runs against the current directory, which is put back on
    // every way out of here: a destination left current could not be
    // removed by a later rollback.
    CurrentDirGuard saved;
    if (!SetCurrentDir(full)) {
        if (MessageDlg(CreateDirectoryQuestion(full), mtConfirmation, mbYesNo) != mrYes) return;
        if (!MakeDirectory(full)) {
            ShowInvalidDirectory(full);
            return;
        }
    }
    if (!IsUsableDirectory(full)) {
        ShowInvalidDirectory(full);
        return;
    }
    AcceptedPath = IsRootedPath(typed) ? typed : full;
    ModalResult = mrOk;
}

bool TChangeDir::MakeDirectory(const std::string& path) { return ::MakeDirectory(path, SetupLog()); }
