#include "uninstall_log.h"

#include <cstring>

#include "layout.h"

std::unique_ptr<UninstallRecord> MakeRecord(UninstallKind kind, const std::string& path, uint32_t rootKey) {
    std::unique_ptr<UninstallRecord> r(new UninstallRecord());
    r->Kind = kind;
    size_t n = path.size() < sizeof r->PathBytes ? path.size() : sizeof r->PathBytes;
    r->PathLength = static_cast<uint8_t>(n);
    std::memcpy(r->PathBytes, path.data(), n);
    r->RootKey = kind == ukRegistryKey ? rootKey : 0;
    return r;
}

void EncodeRecord(const UninstallRecord& r, uint8_t out[kRecordImageSize]) {
    out[0] = r.Kind;
    out[1] = r.PathLength;
    std::memcpy(out + 2, r.PathBytes, sizeof r.PathBytes);
    std::memcpy(out + 257, r.Padding, sizeof r.Padding);
    StoreLE32(out + 260, r.RootKey);
}

std::unique_ptr<UninstallRecord> DecodeRecord(const uint8_t in[kRecordImageSize]) {
    std::unique_ptr<UninstallRecord> r(new UninstallRecord());
    r->Kind = in[0];
    r->PathLength = in[1];
    std::memcpy(r->PathBytes, in + 2, sizeof r->PathBytes);
    std::memcpy(r->Padding, in + 257, sizeof r->Padding);
    r->RootKey = LoadLE32(in + 260);
    return r;
}

size_t UninstallLog::Size() const {
    size_t n = 0;
    for (const UninstallRecord* r = Head.get(); r; r = r->Next.get()) ++n;
    return n;
}

std::unique_ptr<UninstallRecord> UninstallLog::Unlink() {
    std::unique_ptr<UninstallRecord> r = std::move(Head);
    if (r) {
        Head = std::move(r->Next);
        if (!Head) Tail = nullptr;
    }
    return r;
}

void UninstallLog::Clear() {
    // Iterative, so a long log cannot exhaust the stack through recursive
    // destructors.
    while (Head) Unlink();
}

void PushRecord(UninstallLog& log, UninstallKind kind, const std::string& path, uint32_t rootKey) {
    std::unique_ptr<UninstallRecord> r = MakeRecord(kind, path, rootKey);
    r->Next = std::move(log.Head);
    if (!r->Next) log.Tail = r.get();
    log.Head = std::move(r);
}

void RecordRegistryKey(UninstallLog& log, uint32_t rootKey, const std::string& keyPath) {
    PushRecord(log, ukRegistryKey, keyPath, rootKey);
}

void AppendRecord(UninstallLog& log, std::unique_ptr<UninstallRecord> record) {
    record->Next.reset();
    UninstallRecord* raw = record.get();
    if (log.Tail) {
        log.Tail->Next = std::move(record);
    } else {
        log.Head = std::move(record);
    }
    log.Tail = raw;
}
