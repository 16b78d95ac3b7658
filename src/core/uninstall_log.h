// The uninstall log: every item setup puts on the machine, newest at the
// head. Rollback and the uninstaller remove the items head first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "errors.h"

enum UninstallKind : uint8_t { ukDirectory = 0, ukFile = 1, ukRegistryKey = 2 };

// A journal entry that is no item: the new UNINST.EXE is about to be put in
// place at its path, and RootKey holds the checksum of its whole file.
// Once a file with that checksum stands there, the installation is
// finished: a later start completes it instead of undoing it.
constexpr uint8_t kJournalCommit = 3;

constexpr uint32_t kHKeyLocalMachine = 0x80000002u;

// One logged item. The fields up to RootKey are the 264-byte on-disk image;
// Next links the in-memory list and is never written.
struct UninstallRecord {
    uint8_t Kind;
    uint8_t PathLength;
    char PathBytes[255];
    uint8_t Padding[3];
    uint32_t RootKey;
    std::unique_ptr<UninstallRecord> Next;
    // What setup kept of an item it replaced, so that a rollback can put it
    // back; never written to an uninstaller. For a file: the full path of
    // the kept copy (the old file renamed beside it). For a registry key
    // that already existed: its former values (EncodeKeptValues).
    std::string Kept;

    std::string Path() const { return std::string(PathBytes, PathLength); }
};
static_assert(offsetof(UninstallRecord, RootKey) == 260, "record image is 264 bytes");

constexpr size_t kRecordImageSize = 264;

// A record with every unused byte zero (this project's writers keep their
// output reproducible). The path is cut to 255 bytes; the root key is kept
// only for ukRegistryKey.
std::unique_ptr<UninstallRecord> MakeRecord(UninstallKind kind, const std::string& path, uint32_t rootKey);

void EncodeRecord(const UninstallRecord& r, uint8_t out[kRecordImageSize]);
// Keeps every byte as stored; Next is empty.
std::unique_ptr<UninstallRecord> DecodeRecord(const uint8_t in[kRecordImageSize]);

// Told of every record pushed onto a log, right after it is linked and
// before the item it names exists: the on-disk copy of a running
// installation's log. Discard is called when the log has been processed or
// written out, so nothing remains to be undone.
class UninstallLogJournal {
public:
    virtual ~UninstallLogJournal() = default;
    virtual void Pushed(const UninstallRecord& record) = 0;
    virtual void Discard() = 0;
    // The installation becomes permanent the moment the uninstaller file
    // `path`, whose content has checksum `crc`, is in place: written
    // through before it is put there.
    virtual void Commit(const std::string& path, uint32_t crc) {
        (void)path;
        (void)crc;
    }
    // Records that are about to be pushed, in order, written ahead in one
    // go: each costs the disk a synchronous write, and extraction announces
    // a run of small files at once. A later push of an announced record
    // writes nothing again. Undoing an announced item that was never made
    // finds nothing to remove.
    virtual void Announce(const std::vector<std::unique_ptr<UninstallRecord>>& records) { (void)records; }
};

// Owning singly linked list. The tail pointer makes appends O(1).
struct UninstallLog {
    std::unique_ptr<UninstallRecord> Head;
    UninstallRecord* Tail = nullptr;
    // Not owned; null when the log is kept in memory only.
    UninstallLogJournal* Journal = nullptr;
    // The number the next kept copy's name tries first: names handed out
    // once are never tried again, so naming n kept copies costs n look-ups
    // plus one for each name that was taken already.
    uint32_t NextKept = 0;

    UninstallLog() = default;
    UninstallLog(const UninstallLog&) = delete;
    UninstallLog& operator=(const UninstallLog&) = delete;
    ~UninstallLog() { Clear(); }

    bool Empty() const { return !Head; }
    size_t Size() const;
    // Takes the head off the list; the caller owns (and frees) it.
    std::unique_ptr<UninstallRecord> Unlink();
    void Clear();
};

// The longest path a record holds whole.
constexpr size_t kMaxRecordPath = 255;

// Raised instead of logging a path that a record cannot hold whole: a cut
// path would name some other item, which a rollback would then remove.
class EPathTooLong : public Exception {
public:
    explicit EPathTooLong(const std::string& path);
    std::string Path;
};

// Raises EPathTooLong unless `path` fits a record whole.
void CheckRecordPath(const std::string& path);

// New record at the head, told to the log's journal. `kept` as in
// UninstallRecord::Kept. Raises EPathTooLong for a path over 255 bytes.
void PushRecord(UninstallLog& log, UninstallKind kind, const std::string& path, uint32_t rootKey,
                const std::string& kept = std::string());
// A registry key (relative to rootKey) at the head.
void RecordRegistryKey(UninstallLog& log, uint32_t rootKey, const std::string& keyPath);
// A record read back from an uninstaller, linked at the tail (file order).
void AppendRecord(UninstallLog& log, std::unique_ptr<UninstallRecord> record);

// The former values of a registry key that setup overwrote: for each name,
// whether it existed and its string. Encoded as one byte string so that it
// travels in UninstallRecord::Kept and in the journal.
struct KeptValue {
    std::string Name;
    bool Existed = false;
    uint32_t Type = 1;  // REG_SZ
    std::string Data;
};
std::string EncodeKeptValues(const std::vector<KeptValue>& values);
// False when `bytes` is not a well-formed encoding.
bool DecodeKeptValues(const std::string& bytes, std::vector<KeptValue>& values);

// One journal entry: the record's 264-byte image and its Kept bytes, framed
// by a length and guarded by a checksum, so that a journal cut short by a
// crash is read up to its last complete entry.
std::string EncodeJournalEntry(const UninstallRecord& record);
// The records of a journal's bytes, oldest first, up to the first entry
// that is incomplete or damaged.
std::vector<std::unique_ptr<UninstallRecord>> DecodeJournal(const std::string& bytes);
// The bytes a journal starts with.
extern const char kJournalMagic[8];
