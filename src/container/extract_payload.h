// Extraction of the payload: every compressed stream appended to the
// installer is decoded into its file in the destination, in directory
// order, with the progress shown in the "Decompressing..." dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "layout.h"
#include "uninstall_log.h"

class TDecompress;

// Reads the file directory of the installer `source` whose trailer is
// `trailer`, checks its checksum and that every name is safe. Raises
// ESetupError: 20003 when it cannot be positioned, 20002 when it is read
// short, 20004 for a damaged directory or an unsafe name.
std::vector<FileDirectoryEntry> ReadPayloadDirectory(ByteSource& source, const SetupTrailer& trailer);

// The longest path below the destination that installing these files can
// make: installed names (the DLL folder included), UNINST.EXE, and the kept
// copy of a replaced file beside any of them.
size_t LongestInstalledName(const std::vector<FileDirectoryEntry>& entries);

// Reads the installer at `sourcePath` (the running executable), checks its
// file directory and decodes every file into `destDir`, which must exist
// with the subdirectories the destination page creates. Each file is
// logged in `log` just before it is created, so a rollback also removes a
// partly written one. Cancellation through the dialog takes effect after
// the current file (ESetupError 20008). Raises on every failure; the
// current directory, the decoder's buffers and the source file are put
// back or released on every way out. `dialog` must be the process's
// `Decompress` instance (the decoder's callbacks reach it through that).
void ExtractPayload(TDecompress& dialog, const std::string& sourcePath, const std::string& destDir,
                    UninstallLog& log);

// The decoder's callbacks for the running extraction.
int ReadCompressedBlock(uint8_t* block);
int WriteDecodedBlock(const uint8_t* block, int count);

// Gauge position 0..1000 for `read` of `total` compressed bytes, truncated.
// Never overflows; a payload of no bytes counts as done.
int ProgressPosition(int64_t read, int64_t total);

// True when a stored file name stays inside the destination: not empty,
// not absolute, not drive-qualified (no ":" at all), no ".." component.
// Both "\" and "/" count as separators.
bool IsSafePayloadName(const std::string& name);

// Where a stored name is written, relative to the destination: any case of
// "WSOCK32.DLL" goes to "DLL\WSOCK32.DLL"; other names stay as they are.
std::string InstalledPayloadName(const std::string& name);
