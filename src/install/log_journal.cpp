#include "install/log_journal.h"

#include <windows.h>

#include <vector>

#include "install/process_uninstall_log.h"
#include "install/programs_dir.h"
#include "journal_scope.h"
#include "paths.h"
#include "runtime/change_point.h"
#include "runtime/files.h"
#include "runtime/kept_copy.h"
#include "runtime/private_folder.h"

namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

bool TLogJournal::Open() {
    if (failed_) return false;
    if (file_) return true;
    file_.Reset(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!file_ || !WriteAll(file_.Get(), std::string(kJournalMagic, sizeof kJournalMagic))) {
        Discard();
        failed_ = true;
        return false;
    }
    return true;
}

void TLogJournal::Write(const std::string& entries) {
    if (!Open()) return;
    if (!WriteAll(file_.Get(), entries)) {
        Discard();
        failed_ = true;
        return;
    }
    ChangePoint();
}

void TLogJournal::Pushed(const UninstallRecord& record) {
    std::string entry = EncodeJournalEntry(record);
    for (auto it = announced_.begin(); it != announced_.end(); ++it) {
        if (*it == entry) {
            announced_.erase(announced_.begin(), it + 1);
            return;
        }
    }
    Write(entry);
}

void TLogJournal::Commit(const std::string& path, uint32_t crc) {
    std::unique_ptr<UninstallRecord> entry = MakeRecord(ukFile, path, 0);
    entry->Kind = static_cast<UninstallKind>(kJournalCommit);
    entry->RootKey = crc;
    Write(EncodeJournalEntry(*entry));
}

void TLogJournal::Announce(const std::vector<std::unique_ptr<UninstallRecord>>& records) {
    std::string entries;
    for (const auto& r : records) {
        announced_.push_back(EncodeJournalEntry(*r));
        entries += announced_.back();
    }
    if (!entries.empty()) Write(entries);
}

void TLogJournal::Discard() {
    announced_.clear();
    if (file_) {
        if (SetFilePointer(file_.Get(), sizeof kJournalMagic, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
            SetEndOfFile(file_.Get());
        ChangePoint();
        file_.Reset();
        DeleteFileA(path_.c_str());
        ChangePoint();
        RemoveFolderIfEmpty();
    }
}

TLogJournal::~TLogJournal() {
    file_.Reset();
    RemoveFolderIfEmpty();
}

void TLogJournal::RemoveFolderIfEmpty() const { RemovePrivateFolderIfEmpty(FolderOf(path_)); }

RecoveryResult RecoverInterruptedInstall(const std::string& path, std::string& folder, std::string* refused,
                                         bool trusted) {
    if (!trusted) {
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return RecoveryResult::None;
        DeleteFileA(path.c_str());
        if (refused) refused->clear();
        return RecoveryResult::Refused;
    }
    std::string bytes;
    {
        // No sharing of writes: the installer that writes it still holds it
        // open for writing while it runs.
        FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError() == ERROR_SHARING_VIOLATION ? RecoveryResult::InUse : RecoveryResult::None;
        char block[4096];
        DWORD got = 0;
        while (ReadFile(file.Get(), block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    }
    std::vector<std::unique_ptr<UninstallRecord>> records = DecodeJournal(bytes);
    if (records.empty()) {
        // Nothing was installed yet: no one needs to be told.
        DeleteFileA(path.c_str());
        return RecoveryResult::None;
    }
    JournalScope scope;
    scope.ProgramsDir = GetProgramsDir();
    char windows[MAX_PATH + 1];
    const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    scope.WindowsDir = (n == 0 || n >= sizeof windows) ? std::string("C:\\WINDOWS") : std::string(windows, n);
    const std::string outside = JournalItemOutOfScope(records, scope);
    if (!outside.empty()) {
        DeleteFileA(path.c_str());
        if (refused) *refused = outside;
        return RecoveryResult::Refused;
    }
    // Finished: the new UNINST.EXE stands where the commit entry names it.
    for (const auto& r : records) {
        uint32_t crc = 0;
        if (r->Kind == kJournalCommit && FileChecksum(r->Path(), &crc) && crc == r->RootKey) {
            for (const auto& k : records) {
                if (k->Kind == ukFile && !k->Kept.empty()) DeleteKeptCopies({k->Kept});
            }
            DeleteFileA(path.c_str());
            return RecoveryResult::Completed;
        }
    }
    folder.clear();
    for (const auto& r : records) {
        if (r->Kind == ukDirectory)
            folder = r->Path();
        else if (r->Kind == ukFile)
            folder = FolderOf(r->Path());
        else
            continue;
        break;
    }
    // Newest first, as a rollback goes.
    std::string notPutBack;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const UninstallRecord& r = **it;
        if (r.Kind == kJournalCommit || RemoveLoggedItem(r)) continue;
        if (r.Kind == ukFile && !r.Kept.empty() && FileExists(r.Kept) && notPutBack.empty()) notPutBack = r.Path();
    }
    if (!notPutBack.empty()) {
        // The journal stays: a later start tries again.
        if (refused) *refused = notPutBack;
        return RecoveryResult::Incomplete;
    }
    DeleteFileA(path.c_str());
    return RecoveryResult::Recovered;
}

std::string RefusedJournalText(const std::string& path, const std::string& item) {
    if (item.empty())
        return "Setup found the log of an interrupted installation in a folder that other programs could change "
               "('" +
               path + "').  Setup has not acted on it.";
    return "Setup found the log of an interrupted installation ('" + path + "'), but it names '" + item +
           "', which Setup does not install.  Setup has not acted on it.";
}

std::string RecoveredText(const std::string& folder) {
    if (folder.empty()) return "An earlier installation was interrupted.  Setup has removed what it had installed.";
    return "An earlier installation into '" + folder +
           "' was interrupted.  Setup has removed what it had installed and put back the files it had replaced.";
}
