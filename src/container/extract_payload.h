// Extraction of the payload: every compressed stream appended to the
// installer is decoded into its file in the destination, in directory
// order, with the progress shown in the "Decompressing..." dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installer_directory.h"
#include "layout.h"
#include "payload_names.h"
#include "uninstall_log.h"

class TDecompress;

// Reads the installer at `sourcePath` (the running executable), checks its
// file directory and decodes every file into `destDir`, which must exist
// with the subdirectories the destination page creates. Each file is
// logged in `log` just before it is created, so a rollback also removes a
// partly written one. Cancellation through the dialog takes effect after
// the current file (ESetupError 20008). Raises on every failure; the
// current directory, the decoder's buffers and the source file are put
// back or released on every way out. `dialog` must be the process's
// `Decompress` instance (the decoder's callbacks reach it through that).
// Returns the size of the files written, all together.
uint64_t ExtractPayload(TDecompress& dialog, const std::string& sourcePath, const std::string& destDir,
                        UninstallLog& log);

// Messages are processed before a block is read when this many
// milliseconds have passed since the last time (and before the first block
// of an extraction): a click or a repaint is answered at once, while a fast
// disk does not wait on the window system's round trips (several for every
// pass, even with nothing to do) once per block. A block that takes longer
// than this still gets a pass of its own. The dialog's file name and gauge
// are brought up to date by these passes.
constexpr uint32_t kExtractMessageInterval = 25;

// The decoder's callbacks for the running extraction.
int ReadCompressedBlock(uint8_t* block);
int WriteDecodedBlock(const uint8_t* block, int count);

// Gauge position 0..1000 for `read` of `total` compressed bytes, truncated.
// Never overflows; a payload of no bytes counts as done.
int ProgressPosition(int64_t read, int64_t total);
