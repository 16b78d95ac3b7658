// Byte layouts of the installer and uninstaller files.
//
// Installer (length F):   image | N streams | N directory entries |
//                         directory checksum | trailer | trailer checksum
// Uninstaller (length F): image | N uninstall records | records checksum |
//                         trailer | trailer checksum
// Integers are 32-bit little-endian. A string field is 256 bytes: a length
// byte and that many characters; the bytes after them carry no meaning but
// are covered by the checksums as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kTrailerSize = 268;
constexpr uint32_t kDirectoryEntrySize = 264;
constexpr uint32_t kRecordSize = 264;
constexpr uint32_t kChecksumSize = 4;
// Directory/records checksum + trailer + trailer checksum.
constexpr uint32_t kTailSize = kChecksumSize + kTrailerSize + kChecksumSize;  // 276
// Trailer + its checksum: the trailer starts this far before the end.
constexpr uint32_t kTrailerDistance = kTrailerSize + kChecksumSize;  // 272
constexpr size_t kShortStringField = 256;
constexpr size_t kMaxShortString = 255;

// A 256-byte length-prefixed string field, kept byte for byte as stored.
struct ShortStringField {
    uint8_t Bytes[kShortStringField];

    std::string Get() const;
    // Writes the length byte and the characters (cut to 255) and leaves the
    // rest of the field as it was.
    void SetOver(const std::string& s);
    // Writes the string and fills every unused byte with zero.
    void Set(const std::string& s);
};
static_assert(sizeof(ShortStringField) == 256, "string field is 256 bytes");

struct SetupTrailer {
    int32_t ImageSize;
    int32_t Count;
    ShortStringField Title;
    char Signature[3];
    uint8_t Padding;
};
static_assert(sizeof(SetupTrailer) == kTrailerSize, "trailer is 268 bytes");

struct FileDirectoryEntry {
    ShortStringField Name;
    uint32_t CompressedSize;
    uint32_t Crc;
};
static_assert(sizeof(FileDirectoryEntry) == kDirectoryEntrySize, "directory entry is 264 bytes");

// Encode to / decode from the exact on-disk bytes. Decoding keeps every
// byte, the meaningless ones included, so encode(decode(x)) == x.
void EncodeTrailer(const SetupTrailer& t, uint8_t out[kTrailerSize]);
SetupTrailer DecodeTrailer(const uint8_t in[kTrailerSize]);
void EncodeDirectoryEntry(const FileDirectoryEntry& e, uint8_t out[kDirectoryEntrySize]);
FileDirectoryEntry DecodeDirectoryEntry(const uint8_t in[kDirectoryEntrySize]);

// A trailer filled by this project's writers: unused bytes zero.
SetupTrailer MakeTrailer(int32_t imageSize, int32_t count, const std::string& title, const char signature[3]);
FileDirectoryEntry MakeDirectoryEntry(const std::string& name, uint32_t compressedSize, uint32_t crc);

void StoreLE32(uint8_t* p, uint32_t v);
uint32_t LoadLE32(const uint8_t* p);

// Which role a trailer gives the file.
enum class SetupRole { Install, Uninstall };

// "INS" or "UNI" exactly (case-sensitive); anything else is ESetupError 20004.
SetupRole CheckSignature(const SetupTrailer& t);

// Where the directory (installer) or the records' checksum sits, from the
// file length and the entry count. Valid files keep these non-negative.
inline int64_t DirectoryOffset(int64_t fileLength, int32_t count) {
    return fileLength - kTailSize - static_cast<int64_t>(count) * kDirectoryEntrySize;
}
inline int64_t RegionChecksumOffset(int64_t fileLength) { return fileLength - kTailSize; }

// Random-access source of bytes: a Win32 file handle, a POSIX file or a
// memory buffer in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Positions at `distance` bytes before the end. False when that is
    // before the start of the file or positioning fails.
    virtual bool SeekFromEnd(int64_t distance) = 0;
    // Positions at an absolute offset. False on failure.
    virtual bool SeekTo(int64_t offset) = 0;
    // Reads up to `size` bytes; false when the read itself fails. `got`
    // receives the number of bytes read (fewer at the end of the file).
    virtual bool Read(void* buffer, uint32_t size, uint32_t* got) = 0;
};

// A ByteSource over a memory buffer (tests, the packaging tool).
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    bool SeekFromEnd(int64_t distance) override;
    bool SeekTo(int64_t offset) override;
    bool Read(void* buffer, uint32_t size, uint32_t* got) override;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Reads the trailer: position 272 bytes before the end (failure: 20003),
// read 268 bytes (failed or short: 20002). With `check`, reads the next 4
// bytes (failed or short: 20002) and compares them with the checksum of the
// 268 bytes (mismatch: 20004). Raises ESetupError.
SetupTrailer ReadTrailer(ByteSource& src, bool check);

// The trailer with its stored checksum and the one computed over it, read
// from 272 bytes before the end, for a reader that reports both. Raises as
// ReadTrailer does for positioning and reading; compares nothing.
struct TrailerRegion {
    SetupTrailer Trailer;
    uint32_t Stored;
    uint32_t Computed;
};
TrailerRegion ReadTrailerRegion(ByteSource& src);
