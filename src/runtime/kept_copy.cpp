#include "runtime/kept_copy.h"

#include <windows.h>

#include "paths.h"
#include "runtime/change_point.h"

namespace {

// True when a file stands at `path`; `standing` receives its full path
// under the name the file system gives it.
bool StandingFile(const std::string& path, std::string& standing) {
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(path.c_str(), &found));
    if (!find || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    standing = JoinPath(FolderOf(path), found.cFileName);
    return true;
}

// True when a file record of the log names `path` (any case) as its
// installed file.
bool Installed(const UninstallLog& log, const std::string& path) {
    const std::string upper = UpperCaseString(path);
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        if (r->Kind == ukFile && UpperCaseString(r->Path()) == upper) return true;
    return false;
}

// A free name beside `path`, counting on from the last name the log handed
// out (a kept copy that a rollback has put back no longer exists, but its
// record still names it).
std::string FreeKeptName(UninstallLog& log, const std::string& path) {
    const std::string folder = FolderOf(path);
    for (;;) {
        const std::string candidate = JoinPath(folder, "~KEPT" + std::to_string(log.NextKept++) + ".TMP");
        if (!PathExists(candidate)) return candidate;
    }
}

// Renames the file at `path` (reached by that name) to a kept copy, logged
// first under `target`, the name it is put back as.
void KeepFile(UninstallLog& log, const std::string& path, const std::string& target) {
    const std::string kept = FreeKeptName(log, target);
    PushRecord(log, ukFile, target, 0, kept);
    if (!MoveFileA(path.c_str(), kept.c_str())) throw EInOutError(static_cast<int>(GetLastError()));
    ChangePoint();
}

}  // namespace

bool LogFileBeforeCreating(UninstallLog& log, const std::string& path, bool mayExist) {
    CheckRecordPath(path);
    std::string standing;
    if (!mayExist || !StandingFile(path, standing)) {
        PushRecord(log, ukFile, path, 0);
        return false;
    }
    // Kept under the name it has. When `path` reached it by another name (a
    // short name, a case folded otherwise), the new file is logged after it,
    // so that a rollback removes the new file before it puts the old one back.
    CheckRecordPath(standing);
    KeepFile(log, path, standing);
    if (standing != path) PushRecord(log, ukFile, path, 0);
    return true;
}

void CreateLoggedFile(UninstallLog& log, TBinaryFile& file, const std::string& path, bool mayExist) {
    if (LogFileBeforeCreating(log, path, mayExist)) {
        if (!file.CreateNew(path)) throw EInOutError(ERROR_FILE_EXISTS);
        ChangePoint();
        return;
    }
    if (file.CreateNew(path)) {
        ChangePoint();
        return;
    }
    // Something stands there after all, that the caller's listing missed:
    // logged again, now with its kept copy.
    log.Unlink();
    if (!LogFileBeforeCreating(log, path, true) || !file.CreateNew(path)) throw EInOutError(ERROR_FILE_EXISTS);
    ChangePoint();
}

bool RestoreKeptCopy(const std::string& path, const std::string& kept) {
    if (!FileExists(kept)) return FileExists(path);
    DeleteFileA(path.c_str());
    return MoveFileExA(kept.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::vector<std::string> KeptCopies(const UninstallLog& log) {
    std::vector<std::string> kept;
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        if (r->Kind == ukFile && !r->Kept.empty() && !Installed(log, r->Kept)) kept.push_back(r->Kept);
    return kept;
}

void DeleteKeptCopies(const std::vector<std::string>& kept) {
    for (const std::string& path : kept) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        ChangePoint();
    }
}
