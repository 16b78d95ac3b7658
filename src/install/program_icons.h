// The program folder with its two shortcuts, and the uninstall entry in the
// registry. Every item is logged as soon as it exists.
#pragma once

#include <cstdint>
#include <string>

#include "product.h"
#include "uninstall_log.h"

// Makes the folder `folderName` under `programsDir` (the Start menu's
// Programs folder; empty: ESetupError 20009), logging each level it
// created (failure: 20010), then "Velto.lnk" and "Velto Documentation.lnk"
// in it for VELTO.EXE and VELTO.DOC in `destDir` (failure: 20011), each
// logged right after it is saved.
void CreateProgramIcons(const std::string& programsDir, const std::string& folderName, const std::string& destDir,
                        UninstallLog& log);

// Writes the uninstall entry's values (uninstall_entry.h) for an
// installation into `destDir` whose files hold `installedBytes` bytes under
// HKEY_LOCAL_MACHINE\kUninstallKey and logs the key. A failure raises
// ERegistryException naming the value ("DisplayName" when the key cannot be
// opened or created).
void CreateRegistryEntries(const std::string& destDir, uint64_t installedBytes, UninstallLog& log);

// The destination of an installation that the setup program of the other
// architecture made on this machine; "" when there is none. On 64-bit
// Windows the i686 setup program's uninstall entry is in the 32-bit
// registry view and the x86-64 one's in the 64-bit view, while both share
// the program folder and its shortcuts: neither may install over the other.
std::string OtherArchitectureInstallation();

// The refusal that names it (or its registry key, when the key does not
// name UNINST.EXE).
std::string OtherArchitectureText(const std::string& destDir);
