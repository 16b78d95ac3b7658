// Removing what the uninstall log holds: rollback of an abandoned or failed
// setup, and the uninstaller's removal of an installation.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "uninstall_log.h"

// Empties the log head first (newest item first), removing each item:
// directories with RemoveDirectoryA, files with DeleteFileA, registry keys
// with every subkey. Failures are skipped silently so one item that cannot
// go never keeps the others. Records of an unknown kind are only freed.
// Always posts the quit message (exit code 0) at the end, also for an empty
// log: a processed log ends the program once control is back in the loop.
// Items that cannot be removed are listed in `notRemoved` when it is given
// (full paths; registry keys as ROOT\path). A file record that names a kept
// copy puts the replaced file back instead of only deleting. The log's
// journal, if any, is discarded: nothing is left to undo. Unless a replaced
// file could not be put back (the new one is in use): the journal then
// stays for the next start to try again, and the failure reaches the
// application's exception handler (a box; under /S the run's failure).
void ProcessUninstallLog(UninstallLog& log, std::vector<std::string>* notRemoved = nullptr);

// The text for files whose kept copies could not be put back.
std::string NotPutBackText(const std::vector<std::string>& paths);

// Removes one logged item by the rules above. True when the item is gone
// (or, for a replaced item, back as it was); false when it is still there.
bool RemoveLoggedItem(const UninstallRecord& record);

// How a record names its item to the user.
std::string LoggedItemName(const UninstallRecord& record);

// Deletes `path` under `root` with all its subkeys, depth first. True when
// the key itself was deleted. An empty path (which would name the root
// itself) or one holding a NUL byte is refused: the key must be named in full.
bool DeleteRegistryKey(HKEY root, const std::string& path);

// The predefined root a record's RootKey names, or nullptr when the value is
// not one of the predefined roots (HKEY_CLASSES_ROOT .. HKEY_DYN_DATA).
HKEY PredefinedRootKey(uint32_t rootKey);
