#include "runtime/kept_copy.h"

#include <windows.h>

#include "paths.h"

namespace {

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string FolderOf(const std::string& path) {
    const size_t sep = path.find_last_of('\\');
    return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

// True when a file record of the log names `path` (any case) as its
// installed file or, with `kept`, as its kept copy.
bool Named(const UninstallLog& log, const std::string& path, bool kept) {
    const std::string upper = UpperCaseString(path);
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        if (r->Kind == ukFile && UpperCaseString(kept ? r->Kept : r->Path()) == upper) return true;
    return false;
}

// A free name beside `path` that the log has not handed out already (a kept
// copy that a rollback has put back no longer exists, but its record still
// names it).
std::string FreeKeptName(const UninstallLog& log, const std::string& path) {
    const std::string folder = FolderOf(path);
    char name[16];
    for (int n = 0; n <= 9999; ++n) {
        wsprintfA(name, "~KEPT%d.TMP", n);
        const std::string candidate = JoinPath(folder, name);
        if (!Exists(candidate) && !Named(log, candidate, true)) return candidate;
    }
    throw EInOutError(ERROR_FILE_EXISTS);
}

}  // namespace

bool LogFileBeforeCreating(UninstallLog& log, const std::string& path, bool mayExist) {
    CheckRecordPath(path);
    if (!mayExist || !IsFile(path)) {
        PushRecord(log, ukFile, path, 0);
        return false;
    }
    const std::string kept = FreeKeptName(log, path);
    PushRecord(log, ukFile, path, 0, kept);
    if (!MoveFileA(path.c_str(), kept.c_str())) throw EInOutError(static_cast<int>(GetLastError()));
    return true;
}

bool RestoreKeptCopy(const std::string& path, const std::string& kept) {
    if (!IsFile(kept)) return IsFile(path);
    DeleteFileA(path.c_str());
    return MoveFileExA(kept.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::vector<std::string> KeptCopies(const UninstallLog& log) {
    std::vector<std::string> kept;
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        if (r->Kind == ukFile && !r->Kept.empty() && !Named(log, r->Kept, false)) kept.push_back(r->Kept);
    return kept;
}

void DeleteKeptCopies(const std::vector<std::string>& kept) {
    for (const std::string& path : kept) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}
