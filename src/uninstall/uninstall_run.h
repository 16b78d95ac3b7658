// The uninstall run: removes what an installation logged, started by the
// start-up dispatch for a file with the "UNI" trailer.
//
// Files, shortcuts and the registry key go at once through the uninstall
// log. What the running uninstaller cannot remove itself (its own file,
// VELTO.INI beside it, the logged directories) goes through a batch file
// in the setup program's own folder in the temporary directory
// (runtime/private_folder.h), started hidden as the very last action; its
// final line deletes the batch file and that folder, when it is empty.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uninstall_log.h"
#include "uninstaller_records.h"

// `file` is the running uninstaller, open for reading; its records start
// at `imageSize`, `count` of them. Asks for confirmation first; a refusal
// ends the program without any change. Ends by asking the application to
// terminate. Raises on failure (the dispatch reports and rolls back);
// every check that can fail comes before anything is removed.
// The batch file a finished uninstall run has written, and the folder to
// start it from.
struct PendingBatch {
    std::string Path;
    std::string TempDir;
};

// `silent`: no question, no window and no box. True when every item is
// gone (the batch file then removes the rest). The batch file is started
// at once, or, with `startLater`, handed back to be started as the
// process's very last action, once its windows are gone: the sooner this
// program has ended, the surer the batch file can delete it.
bool RunUninstall(HANDLE file, int32_t imageSize, int32_t count, bool silent = false,
                  PendingBatch* startLater = nullptr);

// Starts the batch file hidden from its folder; nothing waits for it.
void StartBatchFile(const PendingBatch& batch);

// The directory for the batch file: "TMP" when it is set and shorter than
// 256 characters, else the system's temporary directory; empty when
// neither is available. Given as a full path ("C:" as C:\, a relative
// name below the current directory), since the batch file is started and
// deletes itself after the current directory has changed.
std::string BatchTempDirectory();

// Removes an installation: writes the batch file "DELUN<n>.BAT" (the first
// free n of 0..99, else ESetupError 20005) into `tempDir` with a CD/RD pair
// for every directory record, moves every other record into `log` in file
// order (registry keys after the rest), processes the log (which posts the
// quit message) and completes the batch file. Returns the batch file's path, JoinPath of `tempDir` and
// its name; it is not started. With a `folder` (a name in `tempDir`), the
// batch file goes into that folder instead, and removes it at its end
// (BatchClosingLines).
// A failure before the batch file is complete removes it again.
// Items that are still there afterwards (a file another program holds
// open, say) are listed in `notRemoved` when it is given.
std::string RemoveInstallation(RecordList records, const std::string& exePath, const std::string& tempDir,
                               UninstallLog& log, std::vector<std::string>* notRemoved = nullptr,
                               const std::string& folder = std::string());
// The same with the log processed by `processLog` (tests make it fail).
std::string RemoveInstallation(RecordList records, const std::string& exePath, const std::string& tempDir,
                               UninstallLog& log, const std::function<void(UninstallLog&)>& processLog,
                               const std::string& folder = std::string());

// The box that names what the uninstaller could not remove.
std::string NotRemovedText(const std::vector<std::string>& items);

// The command line that starts the batch file: its path in quotation
// marks, so a temporary directory with spaces names the batch file and not
// a program at the first space.
std::string BatchCommandLine(const std::string& batchPath);
