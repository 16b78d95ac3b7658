#include "pe_image.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kNewHeaderPointerAt = 0x3C;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kMaxHeaderOffset = 0x10000;
constexpr uint32_t kSecurityDirectory = 4;
// Signature, file header and the largest optional header (PE32+ with 16
// directory entries).
constexpr uint32_t kHeadersAfterPointer = 4 + kFileHeaderSize + 240;

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Reads exactly `size` bytes at `offset`, or fewer at the end of the source.
size_t ReadAt(ByteSource& src, int64_t offset, uint8_t* buffer, size_t size) {
    if (!src.SeekTo(offset)) return 0;
    size_t done = 0;
    while (done < size) {
        uint32_t got = 0;
        if (!src.Read(buffer + done, static_cast<uint32_t>(size - done), &got) || got == 0) break;
        done += got;
    }
    return done;
}

}  // namespace

bool ParsePeHeaders(const uint8_t* data, size_t size, PeHeaders* out) {
    if (size < kNewHeaderPointerAt + 4 || data[0] != 'M' || data[1] != 'Z') return false;
    const uint32_t pe = LoadLE32(data + kNewHeaderPointerAt);
    if (pe > kMaxHeaderOffset || size < pe + 4 + kFileHeaderSize) return false;
    if (std::memcmp(data + pe, "PE\0\0", 4) != 0) return false;
    const uint8_t* file = data + pe + 4;
    const uint32_t optionalAt = pe + 4 + kFileHeaderSize;
    const uint32_t optionalSize = Load16(file + 16);
    // Only the fields read here have to lie within the bytes given.
    auto fits = [&](uint32_t end) { return end <= optionalSize && optionalAt + end <= size; };
    if (!fits(2)) return false;
    const uint8_t* optional = data + optionalAt;

    PeHeaders h;
    h.Machine = Load16(file);
    h.Magic = Load16(optional);
    uint32_t countAt, directoriesAt;
    if (h.Magic == kPeMagic32) {
        countAt = 92, directoriesAt = 96;
    } else if (h.Magic == kPeMagic64) {
        countAt = 108, directoriesAt = 112;
    } else {
        return false;
    }
    if (!fits(countAt + 4)) return false;
    h.Subsystem = Load16(optional + 68);
    h.DllCharacteristics = Load16(optional + 70);
    h.Characteristics = Load16(file + 18);
    h.DirectoriesAt = optionalAt + directoriesAt;
    h.DirectoryCount = LoadLE32(optional + countAt);
    h.SectionsAt = optionalAt + optionalSize;
    h.SectionCount = Load16(file + 2);
    h.ChecksumAt = optionalAt + 64;
    const uint32_t securityAt = directoriesAt + kSecurityDirectory * 8;
    if (LoadLE32(optional + countAt) > kSecurityDirectory && securityAt + 8 <= optionalSize) {
        if (!fits(securityAt + 8)) return false;
        h.SecurityEntryAt = optionalAt + securityAt;
        h.SecurityOffset = LoadLE32(data + h.SecurityEntryAt);
        h.SecuritySize = LoadLE32(data + h.SecurityEntryAt + 4);
    }
    *out = h;
    return true;
}

bool ReadPeHeaders(ByteSource& src, PeHeaders* out) {
    uint8_t dos[kNewHeaderPointerAt + 4];
    if (ReadAt(src, 0, dos, sizeof dos) != sizeof dos || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint32_t pe = LoadLE32(dos + kNewHeaderPointerAt);
    if (pe > kMaxHeaderOffset) return false;
    std::vector<uint8_t> headers(pe + kHeadersAfterPointer);
    const size_t got = ReadAt(src, 0, headers.data(), headers.size());
    return ParsePeHeaders(headers.data(), got, out);
}

int64_t AppendedDataEnd(ByteSource& src, int64_t fileSize) {
    PeHeaders h;
    if (!ReadPeHeaders(src, &h) || h.SecuritySize == 0) return fileSize;
    const int64_t table = h.SecurityOffset;
    if (table < kTrailerDistance || table + h.SecuritySize != fileSize) return fileSize;
    return table;
}

bool ClearSignatureFields(uint8_t* data, size_t size) {
    PeHeaders h;
    if (!ParsePeHeaders(data, size, &h)) return false;
    std::memset(data + h.ChecksumAt, 0, 4);
    if (h.SecurityEntryAt) std::memset(data + h.SecurityEntryAt, 0, 8);
    return true;
}

bool LimitedByteSource::SeekFromEnd(int64_t distance) {
    if (distance < 0 || distance > size_) return false;
    return SeekTo(size_ - distance);
}

bool LimitedByteSource::SeekTo(int64_t offset) {
    if (offset < 0 || !inner_.SeekTo(offset)) return false;
    pos_ = offset;
    return true;
}

bool LimitedByteSource::Read(void* buffer, uint32_t size, uint32_t* got) {
    const int64_t left = pos_ < size_ ? size_ - pos_ : 0;
    if (size > left) size = static_cast<uint32_t>(left);
    *got = 0;
    if (size == 0) return true;
    if (!inner_.Read(buffer, size, got)) return false;
    pos_ += *got;
    return true;
}
