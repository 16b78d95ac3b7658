// The uninstall log: every item setup puts on the machine, newest at the
// head. Rollback and the uninstaller remove the items head first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum UninstallKind : uint8_t { ukDirectory = 0, ukFile = 1, ukRegistryKey = 2 };

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

// Owning singly linked list. The tail pointer makes appends O(1).
struct UninstallLog {
    std::unique_ptr<UninstallRecord> Head;
    UninstallRecord* Tail = nullptr;

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

// New record at the head.
void PushRecord(UninstallLog& log, UninstallKind kind, const std::string& path, uint32_t rootKey);
// A registry key (relative to rootKey) at the head.
void RecordRegistryKey(UninstallLog& log, uint32_t rootKey, const std::string& keyPath);
// A record read back from an uninstaller, linked at the tail (file order).
void AppendRecord(UninstallLog& log, std::unique_ptr<UninstallRecord> record);
