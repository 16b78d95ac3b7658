#include "ui/directory_list.h"

#include <windows.h>

#include <algorithm>

#include "errors.h"
#include "runtime/handles.h"

namespace {

constexpr int kIndentPerLevel = 3;  // spaces per level of depth

[[noreturn]] void RaiseLastError(DWORD fallback) {
    const DWORD code = GetLastError();
    throw EInOutError(static_cast<int>(code ? code : fallback));
}

// Length of the root part of a full path: "C:\" or "\\server\share\".
size_t RootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        size_t slashes = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            if (path[i] == '\\' && ++slashes == 2) return i + 1;
        }
        return path.size();
    }
    return 0;
}

std::string Indent(size_t level) { return std::string(level * kIndentPerLevel, ' '); }

}  // namespace

std::string FullPathName(const std::string& path) {
    if (path.empty()) return std::string();
    char buf[MAX_PATH + 1];
    char* name = nullptr;
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, &name);
    if (n == 0 || n >= sizeof buf) return std::string();
    return std::string(buf, n);
}

std::vector<DirectoryEntry> ReadDirectoryEntries(const std::string& path, int& current) {
    std::string full = path;
    const size_t rootLength = RootLength(full);
    if (rootLength == 0) throw EInOutError(ERROR_PATH_NOT_FOUND);
    while (full.size() > rootLength && full.back() == '\\') full.pop_back();

    // No error box from the system for an empty drive.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    ScopeExit restoreMode([oldMode] { SetErrorMode(oldMode); });

    const DWORD attrs = GetFileAttributesA(full.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) RaiseLastError(ERROR_PATH_NOT_FOUND);
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) throw EInOutError(ERROR_PATH_NOT_FOUND);

    std::vector<std::string> subdirs;
    std::string pattern = full;
    if (pattern.back() != '\\') pattern += '\\';
    pattern += "*";
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_NO_MORE_FILES)
            RaiseLastError(ERROR_PATH_NOT_FOUND);
    } else {
        do {
            const std::string name = data.cFileName;
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
            if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
            if (name == "." || name == "..") continue;
            subdirs.push_back(name);
        } while (FindNextFileA(find.Get(), &data));
    }
    std::sort(subdirs.begin(), subdirs.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });

    std::vector<DirectoryEntry> entries;
    const std::string root = full.substr(0, rootLength);
    entries.push_back({root, root});
    size_t level = 0;
    std::string built = root;
    size_t pos = rootLength;
    while (pos < full.size()) {
        size_t end = full.find('\\', pos);
        if (end == std::string::npos) end = full.size();
        const std::string name = full.substr(pos, end - pos);
        if (built.back() != '\\') built += '\\';
        built += name;
        ++level;
        entries.push_back({Indent(level) + name, built});
        pos = end + 1;
    }
    current = static_cast<int>(entries.size()) - 1;
    std::string base = full;
    if (base.back() != '\\') base += '\\';
    for (const std::string& name : subdirs) entries.push_back({Indent(level + 1) + name, base + name});
    return entries;
}

DWORD TDirectoryListBox::Style() const {
    return WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | (Has(cfPartialLines) ? LBS_NOINTEGRALHEIGHT : 0);
}

void TDirectoryListBox::Show(const std::string& full) {
    int current = 0;
    std::vector<DirectoryEntry> entries = ReadDirectoryEntries(full, current);
    SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
    Clear();
    for (const DirectoryEntry& e : entries) Add(e.Text);
    SetItemIndex(current);
    SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
    entries_ = std::move(entries);
    const bool changed = lstrcmpiA(entries_[current].Path.c_str(), directory_.c_str()) != 0;
    directory_ = entries_[current].Path;
    if (changed && OnChange) OnChange();
}

void TDirectoryListBox::SetDirectory(const std::string& path) {
    const std::string full = FullPathName(path);
    if (full.empty()) return;
    try {
        Show(full);
    } catch (const EInOutError&) {
        // A directory that cannot be entered leaves the list unchanged.
    }
}

void TDirectoryListBox::SetDrive(char letter) {
    // "x:" names the current directory of drive x.
    const std::string full = FullPathName(std::string(1, letter) + ":");
    if (full.empty()) throw EInOutError(ERROR_INVALID_DRIVE);
    Show(full);
}

void TDirectoryListBox::Reload() {
    if (directory_.empty()) return;
    try {
        Show(directory_);
    } catch (const EInOutError&) {}
}

std::string TDirectoryListBox::EntryPath(int index) const {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return std::string();
    return entries_[index].Path;
}

void TDirectoryListBox::OpenSelected() {
    const std::string path = EntryPath(ItemIndex());
    if (!path.empty() && path != directory_) SetDirectory(path);
}

bool TDirectoryListBox::WantsDialogKey(WPARAM key) const {
    // Enter opens a selected entry other than the directory itself; on the
    // directory's own entry it is the dialog's (its default button).
    if (key != VK_RETURN) return false;
    const std::string path = EntryPath(ItemIndex());
    return !path.empty() && path != directory_;
}

void TDirectoryListBox::Notify(WORD code) {
    if (code == LBN_DBLCLK) OpenSelected();
}

LRESULT TDirectoryListBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_KEYDOWN && wp == VK_RETURN) {
        OpenSelected();
        return 0;
    }
    if (msg == WM_CHAR && (wp == '\r' || wp == '\n')) return 0;
    return TListBox::WndProc(msg, wp, lp);
}
