// The few fields of a Windows program's headers (the PE format) that the
// installer's layout depends on. A signing tool (Authenticode) appends a
// certificate table at the very end of the file and names it in the image's
// security directory; the installer's trailer then sits just before that
// table instead of at the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "layout.h"

constexpr uint16_t kPeMachineI386 = 0x14C;
constexpr uint16_t kPeMachineAmd64 = 0x8664;
constexpr uint16_t kPeMagic32 = 0x10B;
constexpr uint16_t kPeMagic64 = 0x20B;
constexpr uint16_t kPeSubsystemGui = 2;
constexpr uint16_t kPeSubsystemConsole = 3;
// File header characteristics: no relocations (loaded at its base only).
constexpr uint16_t kPeRelocsStripped = 0x0001;
// DllCharacteristics: 64-bit address space layout randomisation, address
// space layout randomisation, data execution prevention.
constexpr uint16_t kPeHighEntropyVa = 0x0020;
constexpr uint16_t kPeDynamicBase = 0x0040;
constexpr uint16_t kPeNxCompat = 0x0100;
// Data directories by index.
constexpr uint32_t kPeImportDirectory = 1;
constexpr uint32_t kPeResourceDirectory = 2;
constexpr uint32_t kPeRelocationDirectory = 5;

struct PeHeaders {
    uint16_t Machine = 0;
    uint16_t Magic = 0;
    uint16_t Subsystem = 0;
    uint16_t Characteristics = 0;     // of the file header
    uint16_t DllCharacteristics = 0;  // of the optional header
    // File offsets of the data directories (8 bytes each: address and size)
    // and of the section table (40 bytes a section), with their counts.
    uint32_t DirectoriesAt = 0;
    uint32_t DirectoryCount = 0;
    uint32_t SectionsAt = 0;
    uint16_t SectionCount = 0;
    uint32_t ChecksumAt = 0;  // file offset of the optional header's CheckSum
    // File offset of the security directory entry (offset and size of the
    // certificate table); 0 when the header has no such entry.
    uint32_t SecurityEntryAt = 0;
    uint32_t SecurityOffset = 0;
    uint32_t SecuritySize = 0;
};

// Parses the headers from the first `size` bytes of a file: "MZ", the
// offset of "PE\0\0" at 0x3C, the file header and the optional header
// (PE32 or PE32+). False when any of them is missing or does not fit.
bool ParsePeHeaders(const uint8_t* data, size_t size, PeHeaders* out);

// The same through a byte source (headers within the first 64 KiB).
bool ReadPeHeaders(ByteSource& src, PeHeaders* out);

// Where the data appended to a program ends: the offset of the certificate
// table when the security directory names a table that ends exactly at
// `fileSize` and leaves room for a trailer before it; otherwise `fileSize`.
// An unsigned installer therefore keeps its trailer at the end of the file.
int64_t AppendedDataEnd(ByteSource& src, int64_t fileSize);

// Clears the security directory entry and the checksum in a program's
// first `size` bytes, so a copy of a signed program's image carries no
// reference to a certificate table it no longer has. False (nothing changed)
// when the headers are not within those bytes.
bool ClearSignatureFields(uint8_t* data, size_t size);

// The first `size` bytes of another source, seen as a whole file: the
// readers that look for the trailer from the end then find it before a
// certificate table.
class LimitedByteSource : public ByteSource {
public:
    LimitedByteSource(ByteSource& inner, int64_t size) : inner_(inner), size_(size) {}
    bool SeekFromEnd(int64_t distance) override;
    bool SeekTo(int64_t offset) override;
    bool Read(void* buffer, uint32_t size, uint32_t* got) override;

private:
    ByteSource& inner_;
    int64_t size_;
    int64_t pos_ = 0;
};
