#include "installer_directory.h"

#include <string>

#include "crc32.h"
#include "errors.h"
#include "payload_names.h"
#include "product.h"

DirectoryRegion ReadDirectoryRegion(ByteSource& source, int32_t count) {
    // A count that reaches before the start of the file fails the
    // positioning before anything is allocated.
    const int64_t entries = count < 0 ? -1 : count;
    const int64_t directoryBytes = entries * kDirectoryEntrySize;
    if (entries < 0 || !source.SeekFromEnd(directoryBytes + kTailSize)) throw ESetupError(SE_SETFILEPOINTER);
    std::vector<uint8_t> directory(static_cast<size_t>(directoryBytes));
    uint32_t got = 0;
    if (!directory.empty() &&
        (!source.Read(directory.data(), static_cast<uint32_t>(directory.size()), &got) || got != directory.size()))
        throw ESetupError(SE_READFILE);
    uint8_t stored[kChecksumSize];
    if (!source.Read(stored, kChecksumSize, &got) || got != kChecksumSize) throw ESetupError(SE_READFILE);
    DirectoryRegion region;
    region.Stored = LoadLE32(stored);
    region.Computed = Crc32Of(directory.data(), directory.size());
    region.Entries.reserve(static_cast<size_t>(entries));
    for (int64_t i = 0; i < entries; ++i)
        region.Entries.push_back(DecodeDirectoryEntry(&directory[static_cast<size_t>(i) * kDirectoryEntrySize]));
    return region;
}

std::vector<FileDirectoryEntry> ReadPayloadDirectory(ByteSource& source, const SetupTrailer& trailer) {
    // The directory, its checksum, and the names it holds: all checked
    // before any file is created.
    DirectoryRegion region = ReadDirectoryRegion(source, trailer.Count);
    if (region.Stored != region.Computed) throw ESetupError(SE_CORRUPT);
    // A name that would be written outside the destination makes the whole
    // setup unusable, like any other damage of the directory.
    for (const FileDirectoryEntry& entry : region.Entries)
        if (!IsSafePayloadName(entry.Name.Get())) throw ESetupError(SE_CORRUPT);
    return std::move(region.Entries);
}

size_t LongestInstalledName(const std::vector<FileDirectoryEntry>& entries) {
    // UNINST.EXE, and a kept copy beside any file, are made in the
    // destination's folders too.
    size_t longest = sizeof kUninstallerName - 1;
    if (longest < kKeptNameLength) longest = kKeptNameLength;
    for (const FileDirectoryEntry& entry : entries) {
        const std::string name = InstalledPayloadName(entry.Name.Get());
        const size_t sep = name.find_last_of("\\/");
        const size_t folder = sep == std::string::npos ? 0 : sep + 1;
        const size_t base = name.size() - folder;
        const size_t length = folder + (base < kKeptNameLength ? kKeptNameLength : base);
        if (length > longest) longest = length;
    }
    return longest;
}
