// The uninstall log of a running installation, also kept on disk in the
// setup program's own folder (runtime/private_folder.h) and written
// through after each record. A run that ends
// without its own rollback (killed, a power cut, a crash) leaves it behind,
// and the next start of the installer undoes what it lists.
#pragma once

#include <string>

#include "runtime/handles.h"
#include "uninstall_log.h"

// The journal's name in the setup program's own folder.
constexpr char kJournalName[] = "VELTOSETUP.LOG";

class TLogJournal : public UninstallLogJournal {
public:
    explicit TLogJournal(std::string path) : path_(std::move(path)) {}
    // A journal still open stays on disk: it lists what a later start must
    // undo. Its folder goes when nothing is left in it.
    ~TLogJournal() override;
    TLogJournal(const TLogJournal&) = delete;
    TLogJournal& operator=(const TLogJournal&) = delete;

    // The file is created with the first record and held open, readable by
    // others but not writable, until Discard: so a later start can tell a
    // journal of a run still going from one that was left behind. A journal
    // that cannot be written is given up; the log in memory still serves
    // every rollback of this run. Discard also removes the journal's folder
    // once nothing else is in it.
    void Pushed(const UninstallRecord& record) override;
    void Commit(const std::string& path, uint32_t crc) override;
    // Empties the file through the handle before it is deleted: a journal
    // that another program keeps from being deleted lists nothing.
    void Discard() override;
    void Announce(const std::vector<std::unique_ptr<UninstallRecord>>& records) override;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    // Opens the file on first use; false when the journal is given up.
    bool Open();
    // Writes entries in one call; gives the journal up on failure.
    void Write(const std::string& entries);
    // The journal's folder goes once nothing is left in it.
    void RemoveFolderIfEmpty() const;

    FileHandle file_;
    bool failed_ = false;
    // Encoded entries announced but not pushed yet, in order.
    std::vector<std::string> announced_;
};

enum class RecoveryResult {
    None,        // no journal
    InUse,       // the journal of an installer still running: left alone
    Recovered,   // what it listed has been undone and the journal deleted
    Refused,     // it names what no installation makes: deleted, nothing undone
    Completed,   // its installation had its UNINST.EXE in place: finished, not undone
    Incomplete,  // undone, but a replaced file could not be put back: the journal stays
};

// Undoes what the journal at `path` lists, newest first, by the rules of a
// rollback (kept copies put back), and deletes it. A journal whose commit
// entry names an UNINST.EXE that stands there with the checksum it gives
// belongs to a finished installation: only its kept copies are deleted. `folder` receives the
// folder the interrupted installation was working in (for the message).
// Nothing is undone, and the journal is deleted, when it names an item no
// installation of the product makes (journal_scope.h, with this machine's
// Programs and Windows folders), or when it lay in a folder that others
// could write (`trusted` false); `refused` then receives that item (empty
// for the untrusted folder). When a replaced file cannot be put back (the
// new one is in use), the journal stays and `refused` receives that file.
RecoveryResult RecoverInterruptedInstall(const std::string& path, std::string& folder, std::string* refused = nullptr,
                                         bool trusted = true);

// The texts that tell the user about a recovery, and about a journal that
// was not acted on.
std::string RecoveredText(const std::string& folder);
std::string RefusedJournalText(const std::string& path, const std::string& item);
