#include "uninstall_log.h"

#include <cstring>

#include "crc32.h"
#include "layout.h"
#include "run_log.h"

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

EPathTooLong::EPathTooLong(const std::string& path) : Exception("The path '" + path + "' is too long"), Path(path) {}

void CheckRecordPath(const std::string& path) {
    if (path.size() > kMaxRecordPath) throw EPathTooLong(path);
}

void PushRecord(UninstallLog& log, UninstallKind kind, const std::string& path, uint32_t rootKey,
                const std::string& kept) {
    CheckRecordPath(path);
    std::unique_ptr<UninstallRecord> r = MakeRecord(kind, path, rootKey);
    r->Kept = kept;
    r->Next = std::move(log.Head);
    if (!r->Next) log.Tail = r.get();
    log.Head = std::move(r);
    if (log.Journal) log.Journal->Pushed(*log.Head);
    ReportMade(*log.Head);
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

namespace {

void PutString(std::string& out, const std::string& s) {
    uint8_t n[4];
    StoreLE32(n, static_cast<uint32_t>(s.size()));
    out.append(reinterpret_cast<const char*>(n), 4);
    out += s;
}

bool GetString(const std::string& in, size_t& pos, std::string& s) {
    if (in.size() - pos < 4) return false;
    const uint32_t n = LoadLE32(reinterpret_cast<const uint8_t*>(in.data() + pos));
    pos += 4;
    if (in.size() - pos < n) return false;
    s.assign(in, pos, n);
    pos += n;
    return true;
}

}  // namespace

const char kJournalMagic[8] = {'V', 'L', 'T', 'J', 'R', 'N', 'L', '1'};

std::string EncodeKeptValues(const std::vector<KeptValue>& values) {
    std::string out;
    for (const KeptValue& v : values) {
        PutString(out, v.Name);
        out += v.Existed ? '\1' : '\0';
        uint8_t type[4];
        StoreLE32(type, v.Type);
        out.append(reinterpret_cast<const char*>(type), 4);
        PutString(out, v.Data);
    }
    return out;
}

bool DecodeKeptValues(const std::string& bytes, std::vector<KeptValue>& values) {
    values.clear();
    size_t pos = 0;
    while (pos < bytes.size()) {
        KeptValue v;
        if (!GetString(bytes, pos, v.Name) || pos >= bytes.size()) return false;
        const char existed = bytes[pos++];
        if (existed != '\0' && existed != '\1') return false;
        v.Existed = existed == '\1';
        if (bytes.size() - pos < 4) return false;
        v.Type = LoadLE32(reinterpret_cast<const uint8_t*>(bytes.data() + pos));
        pos += 4;
        if (!GetString(bytes, pos, v.Data)) return false;
        values.push_back(std::move(v));
    }
    return true;
}

std::string EncodeJournalEntry(const UninstallRecord& record) {
    uint8_t image[kRecordImageSize];
    EncodeRecord(record, image);
    std::string body(reinterpret_cast<const char*>(image), sizeof image);
    body += record.Kept;
    std::string out;
    PutString(out, body);
    uint8_t crc[4];
    StoreLE32(crc, Crc32Of(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
    out.append(reinterpret_cast<const char*>(crc), 4);
    return out;
}

std::vector<std::unique_ptr<UninstallRecord>> DecodeJournal(const std::string& bytes) {
    std::vector<std::unique_ptr<UninstallRecord>> records;
    if (bytes.size() < sizeof kJournalMagic ||
        bytes.compare(0, sizeof kJournalMagic, kJournalMagic, sizeof kJournalMagic) != 0)
        return records;
    size_t pos = sizeof kJournalMagic;
    std::string body;
    while (GetString(bytes, pos, body) && body.size() >= kRecordImageSize && bytes.size() - pos >= 4) {
        const uint32_t stored = LoadLE32(reinterpret_cast<const uint8_t*>(bytes.data() + pos));
        if (Crc32Of(reinterpret_cast<const uint8_t*>(body.data()), body.size()) != stored) break;
        pos += 4;
        std::unique_ptr<UninstallRecord> r = DecodeRecord(reinterpret_cast<const uint8_t*>(body.data()));
        r->Kept.assign(body, kRecordImageSize, std::string::npos);
        records.push_back(std::move(r));
    }
    return records;
}
