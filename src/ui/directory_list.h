// The directory list: the ancestors of one directory (from the root down),
// the directory itself and its subdirectories, indented by depth. Opening
// an entry (double click, or Enter on an entry other than the directory
// itself) makes it the list's directory. Changing the directory, by the
// user or by the program, fires OnChange. The list never changes the
// process's current directory.
#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"

struct DirectoryEntry {
    std::string Text;  // as shown: indented name
    std::string Path;  // full path of the entry
};

// The entries shown for the directory `path` (a full path): its root, each
// ancestor, itself, then its visible subdirectories sorted by name. Raises
// EInOutError when the directory cannot be read. `current` receives the
// index of the directory's own entry.
std::vector<DirectoryEntry> ReadDirectoryEntries(const std::string& path, int& current);

// The full form of `path` as the system resolves it against the current
// directory (and the current directory of its drive); "" when it cannot.
std::string FullPathName(const std::string& path);

class TDirectoryListBox : public TListBox {
public:
    static constexpr ControlKind kKind = ControlKind::DirectoryList;
    using TListBox::TListBox;

    // The directory shown; empty until one was read.
    const std::string& Directory() const { return directory_; }
    // Shows `path` (resolved to a full path). A directory that cannot be
    // read leaves the list as it was, silently.
    void SetDirectory(const std::string& path);
    // Shows the current directory of drive `letter`. A drive that cannot be
    // read raises EInOutError and leaves the list as it was.
    void SetDrive(char letter);
    // Reads the shown directory again (new or removed subdirectories).
    void Reload();
    // The full path of the entry at `index`; "" when there is none.
    std::string EntryPath(int index) const;
    // Makes the selected entry the list's directory.
    void OpenSelected();

    bool WantsDialogKey(WPARAM key) const override;
    void Notify(WORD code) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    DWORD Style() const override;

private:
    // Reads `full` and shows it; raises as ReadDirectoryEntries does.
    void Show(const std::string& full);
    std::string directory_;
    std::vector<DirectoryEntry> entries_;
};
