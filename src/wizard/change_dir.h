// "Choose Directory": the modal dialog behind the destination page's
// Browse button. A path box, a directory list and a drive box kept in step
// by the handlers; OK checks the path (and offers to create it) before the
// dialog closes.
#pragma once

#include <string>

#include "ui/directory_list.h"
#include "ui/drive_box.h"
#include "ui/form.h"

class TChangeDir : public TForm {
public:
    TChangeDir();
    TLabel& Label0;
    TLabel& Label1;
    TEdit& Edit1;
    TLabel& Label2;
    TDirectoryListBox& DirectoryListBox1;
    TLabel& Label3;
    TDriveComboBox& DriveComboBox1;
    TButton& Button2;  // OK
    TButton& Button3;  // Cancel
    TButton& Button1;  // "&Network..."

    // The drive whose directories the list last showed (lower case).
    char LastGoodDrive = 'c';
    // The full path OK accepted (Edit1's text resolved); empty before.
    std::string AcceptedPath;

    void FormCreate() override;
    // Centred on the screen; it keeps its place in the z-order.
    void FormShow() override;
    void DirectoryListBox1Change();
    void DriveComboBox1Change();
    void Button1Click();
    void Button2Click();

    // Creates every level of `path` and logs what it made in the setup's
    // uninstall log (see install/make_directory.h).
    bool MakeDirectory(const std::string& path);
};

// "The specified directory: ... is invalid, incomplete, or write
// protected. ...", shown as an error for `path`.
void ShowInvalidDirectory(const std::string& path);
// The text of that error.
std::string InvalidDirectoryText(const std::string& path);
// The question before the dialog creates a directory that does not exist.
std::string CreateDirectoryQuestion(const std::string& path);
// The drive error's text for the drive letter as the drive box holds it.
std::string CannotReadDriveText(char drive);
// True when `path` can serve as a destination: its attributes can be read
// and mark neither read-only nor system.
bool IsUsableDirectory(const std::string& path);

extern TChangeDir* ChangeDir;
