// The file directory of an installer: read, checked and measured once here
// for the setup program and the packaging tool alike.
#pragma once

#include <cstddef>
#include <vector>

#include "layout.h"

// The longest name a kept copy of a replaced file gets ("~KEPT9999.TMP").
constexpr size_t kKeptNameLength = 13;

// The `count` directory entries that end 276 bytes before the end of
// `source`, with the directory checksum stored after them and the one
// computed over them; compares nothing. Raises ESetupError 20003 when they
// cannot be positioned (a negative count too), 20002 when read short.
struct DirectoryRegion {
    std::vector<FileDirectoryEntry> Entries;
    uint32_t Stored = 0;
    uint32_t Computed = 0;
};
DirectoryRegion ReadDirectoryRegion(ByteSource& source, int32_t count);

// Reads the file directory of the installer `source` whose trailer is
// `trailer`, checks its checksum and that every name is safe. Raises
// ESetupError: 20003 when it cannot be positioned, 20002 when it is read
// short, 20004 for a damaged directory or an unsafe name.
std::vector<FileDirectoryEntry> ReadPayloadDirectory(ByteSource& source, const SetupTrailer& trailer);

// The longest path below the destination that installing these files can
// make: installed names (the DLL folder included), UNINST.EXE, and the kept
// copy of a replaced file beside any of them.
size_t LongestInstalledName(const std::vector<FileDirectoryEntry>& entries);
