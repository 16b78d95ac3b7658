#include "ui/drive_box.h"

#include <windows.h>

#include "runtime/system_library.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string DriveItemText(char letter) {
    std::string text(1, Lower(letter));
    text += ':';
    const std::string root = text + "\\";
    switch (GetDriveTypeA(root.c_str())) {
        case DRIVE_FIXED:
        case DRIVE_RAMDISK: {
            char label[MAX_PATH + 1] = "";
            // No error box for a drive that cannot be read now.
            const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
            const BOOL ok =
                GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
            SetErrorMode(oldMode);
            if (ok && label[0]) text += std::string(" [") + label + "]";
            break;
        }
        case DRIVE_REMOTE: {
            char remote[MAX_PATH + 1] = "";
            DWORD size = sizeof remote;
            const SystemFunction<decltype(&WNetGetConnectionA)> getConnection("mpr.dll", "WNetGetConnectionA");
            if (getConnection && (*getConnection)(text.c_str(), remote, &size) == NO_ERROR && remote[0])
                text += std::string(" ") + remote;
            break;
        }
        default: break;
    }
    return text;
}

DWORD TDriveComboBox::Style() const { return WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST; }

void TDriveComboBox::AfterCreate() {
    // Starts on the drive of the current directory, without an event: no
    // handler is bound yet.
    char dir[MAX_PATH + 1] = "";
    const DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
    drive_ = (n > 1 && n < sizeof dir && dir[1] == ':' && IsCharAlphaA(dir[0])) ? Lower(dir[0]) : 'c';
    BuildList();
}

void TDriveComboBox::BuildList() {
    Clear();
    letters_.clear();
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        const char letter = static_cast<char>('a' + i);
        letters_.push_back(letter);
        Add(DriveItemText(letter));
    }
    SelectHeld();
}

void TDriveComboBox::SelectHeld() {
    int index = -1;
    for (size_t i = 0; i < letters_.size(); ++i) {
        if (letters_[i] == drive_) index = static_cast<int>(i);
    }
    SetItemIndex(index);
}

void TDriveComboBox::SetDrive(char letter) {
    letter = Lower(letter);
    if (letter < 'a' || letter > 'z') return;
    if (letter == drive_) return;
    drive_ = letter;
    SelectHeld();
    if (OnChange) OnChange();
}

void TDriveComboBox::Notify(WORD code) {
    if (code != CBN_SELCHANGE) return;
    const int index = ItemIndex();
    if (index < 0 || index >= static_cast<int>(letters_.size()) || letters_[index] == drive_) return;
    drive_ = letters_[index];
    if (OnChange) OnChange();
}

bool TDriveComboBox::WantsDialogKey(WPARAM key) const {
    // An open list takes Enter and Esc to close itself.
    return (key == VK_RETURN || key == VK_ESCAPE) && DroppedDown();
}
