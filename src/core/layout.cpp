#include "layout.h"

#include <cstring>

#include "crc32.h"
#include "errors.h"

void StoreLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t LoadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

std::string ShortStringField::Get() const { return std::string(reinterpret_cast<const char*>(Bytes + 1), Bytes[0]); }

void ShortStringField::SetOver(const std::string& s) {
    size_t n = s.size() < kMaxShortString ? s.size() : kMaxShortString;
    Bytes[0] = static_cast<uint8_t>(n);
    std::memcpy(Bytes + 1, s.data(), n);
}

void ShortStringField::Set(const std::string& s) {
    std::memset(Bytes, 0, sizeof Bytes);
    SetOver(s);
}

void EncodeTrailer(const SetupTrailer& t, uint8_t out[kTrailerSize]) {
    StoreLE32(out + 0, static_cast<uint32_t>(t.ImageSize));
    StoreLE32(out + 4, static_cast<uint32_t>(t.Count));
    std::memcpy(out + 8, t.Title.Bytes, kShortStringField);
    std::memcpy(out + 264, t.Signature, 3);
    out[267] = t.Padding;
}

SetupTrailer DecodeTrailer(const uint8_t in[kTrailerSize]) {
    SetupTrailer t;
    t.ImageSize = static_cast<int32_t>(LoadLE32(in + 0));
    t.Count = static_cast<int32_t>(LoadLE32(in + 4));
    std::memcpy(t.Title.Bytes, in + 8, kShortStringField);
    std::memcpy(t.Signature, in + 264, 3);
    t.Padding = in[267];
    return t;
}

void EncodeDirectoryEntry(const FileDirectoryEntry& e, uint8_t out[kDirectoryEntrySize]) {
    std::memcpy(out, e.Name.Bytes, kShortStringField);
    StoreLE32(out + 256, e.CompressedSize);
    StoreLE32(out + 260, e.Crc);
}

FileDirectoryEntry DecodeDirectoryEntry(const uint8_t in[kDirectoryEntrySize]) {
    FileDirectoryEntry e;
    std::memcpy(e.Name.Bytes, in, kShortStringField);
    e.CompressedSize = LoadLE32(in + 256);
    e.Crc = LoadLE32(in + 260);
    return e;
}

SetupTrailer MakeTrailer(int32_t imageSize, int32_t count, const std::string& title, const char signature[3]) {
    SetupTrailer t;
    t.ImageSize = imageSize;
    t.Count = count;
    t.Title.Set(title);
    std::memcpy(t.Signature, signature, 3);
    t.Padding = 0;
    return t;
}

FileDirectoryEntry MakeDirectoryEntry(const std::string& name, uint32_t compressedSize, uint32_t crc) {
    FileDirectoryEntry e;
    e.Name.Set(name);
    e.CompressedSize = compressedSize;
    e.Crc = crc;
    return e;
}

SetupRole CheckSignature(const SetupTrailer& t) {
    if (std::memcmp(t.Signature, "INS", 3) == 0) return SetupRole::Install;
    if (std::memcmp(t.Signature, "UNI", 3) == 0) return SetupRole::Uninstall;
    throw ESetupError(SE_CORRUPT);
}

bool MemoryByteSource::SeekFromEnd(int64_t distance) {
    if (distance < 0 || static_cast<uint64_t>(distance) > size_) return false;
    pos_ = size_ - static_cast<size_t>(distance);
    return true;
}

bool MemoryByteSource::SeekTo(int64_t offset) {
    if (offset < 0) return false;
    pos_ = static_cast<size_t>(offset);
    return true;
}

bool MemoryByteSource::Read(void* buffer, uint32_t size, uint32_t* got) {
    size_t avail = pos_ < size_ ? size_ - pos_ : 0;
    size_t n = size < avail ? size : avail;
    if (n) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    *got = static_cast<uint32_t>(n);
    return true;
}

SetupTrailer ReadTrailer(ByteSource& src, bool check) {
    if (check) {
        const TrailerRegion region = ReadTrailerRegion(src);
        if (region.Stored != region.Computed) throw ESetupError(SE_CORRUPT);
        return region.Trailer;
    }
    if (!src.SeekFromEnd(kTrailerDistance)) throw ESetupError(SE_SETFILEPOINTER);
    uint8_t raw[kTrailerSize];
    uint32_t got = 0;
    if (!src.Read(raw, kTrailerSize, &got) || got != kTrailerSize) throw ESetupError(SE_READFILE);
    return DecodeTrailer(raw);
}

TrailerRegion ReadTrailerRegion(ByteSource& src) {
    if (!src.SeekFromEnd(kTrailerDistance)) throw ESetupError(SE_SETFILEPOINTER);
    uint8_t raw[kTrailerSize + kChecksumSize];
    uint32_t got = 0;
    if (!src.Read(raw, kTrailerSize, &got) || got != kTrailerSize) throw ESetupError(SE_READFILE);
    if (!src.Read(raw + kTrailerSize, kChecksumSize, &got) || got != kChecksumSize) throw ESetupError(SE_READFILE);
    return {DecodeTrailer(raw), LoadLE32(raw + kTrailerSize), Crc32Of(raw, kTrailerSize)};
}
