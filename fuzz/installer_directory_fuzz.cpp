// Arbitrary bytes as the end of an installer: the directory reader accepts
// no directory whose checksum does not match the entries as stored, and no
// name that would leave the destination.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crc32.h"
#include "errors.h"
#include "installer_directory.h"
#include "payload_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte is the entry count; the rest is the file.
    const int32_t count = data[0] % 8;
    MemoryByteSource source(data + 1, size - 1);
    SetupTrailer trailer{};
    trailer.Count = count;
    std::vector<FileDirectoryEntry> entries;
    try {
        entries = ReadPayloadDirectory(source, trailer);
    } catch (const ESetupError&) {
        return 0;
    }
    if (entries.size() != static_cast<size_t>(count)) std::abort();
    std::vector<uint8_t> again(entries.size() * kDirectoryEntrySize);
    for (size_t i = 0; i < entries.size(); ++i) EncodeDirectoryEntry(entries[i], &again[i * kDirectoryEntrySize]);
    const uint8_t* stored = data + 1 + (size - 1) - kTailSize;
    if (Crc32Of(again.data(), again.size()) != LoadLE32(stored)) std::abort();
    for (const FileDirectoryEntry& e : entries) {
        const std::string name = e.Name.Get();
        if (!IsSafePayloadName(name) || name.empty() || name[0] == '\\' || name[0] == '/' ||
            name.find(':') != std::string::npos)
            std::abort();
    }
    return 0;
}
