// The records of an uninstaller file, read only when the file is intact.
// The uninstall run and the uninstaller writer's merge both go through
// here, so a damaged or padded file's records are refused by one rule.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "layout.h"
#include "uninstall_log.h"

using RecordList = std::vector<std::unique_ptr<UninstallRecord>>;

// True when an uninstaller of `fileLength` bytes holds exactly its image,
// `count` records and the tail: imageSize + count * 264 + 276.
bool UninstallerLengthFits(int64_t fileLength, int32_t imageSize, int32_t count);

// The `count` records from offset `imageSize`, with the records checksum
// stored after them and the one computed over them; compares nothing.
// Positioning fails (a negative size or count too): ESetupError 20003; a
// failed or short read: 20002.
struct RecordsRegion {
    RecordList Records;
    uint32_t Stored = 0;
    uint32_t Computed = 0;
};
RecordsRegion ReadRecordsRegion(ByteSource& source, int32_t imageSize, int32_t count);

// The `count` records of an uninstaller file of `fileLength` bytes whose
// records start at `imageSize`, in file order, into `records`. False (and
// `records` empty) unless the file is exactly imageSize + count * 264 + 276
// bytes long and the records checksum (at fileLength - 276) matches: a
// damaged record could name any file or key. Positioning fails:
// ESetupError 20003; a failed or short read: 20002.
bool ReadIntactUninstallRecords(ByteSource& source, int64_t fileLength, int32_t imageSize, int32_t count,
                                RecordList& records);

// The same, with a file that is not intact raising ESetupError 20004
// "Setup Corrupt.".
RecordList ReadUninstallRecords(ByteSource& source, int64_t fileLength, int32_t imageSize, int32_t count);
