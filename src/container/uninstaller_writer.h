// Writes UNINST.EXE into the destination from the uninstall log (called by
// Finish): the running installer's image, every logged record (the log is
// emptied), the records' checksum and a "UNI" trailer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "product.h"
#include "uninstall_log.h"

struct UninstallerJob {
    std::string InstallerPath;  // the installer whose image is copied
    std::string DestDir;        // where UNINST.EXE goes
    std::string Title;          // the product title for the trailer
    // Files recorded ahead of the log's records, not logged themselves: the
    // kept copies Finish deletes, so that one it cannot delete (a replaced
    // program still running) goes with the uninstall.
    std::vector<std::string> LeftFiles;
    // Test hook: the new file fails with "disk full" once this many bytes
    // would have been written to it; negative: never.
    int64_t FailAfterBytes = -1;
};

// First merges the records of an intact UNINST.EXE already in the
// destination that the log does not hold (same kind and upper-cased path),
// at the log's tail in their old order; a damaged one is ignored. Then
// writes the new file under a temporary name in the destination and
// replaces UNINST.EXE with it only once it is complete. On success the log
// is empty. On failure the old UNINST.EXE is as it was, the temporary file
// is gone and the log holds exactly what it held before the call.
void WriteUninstallerFile(const UninstallerJob& job, UninstallLog& log);
