// The program folder with its two shortcuts, and the uninstall entry in the
// registry. Every item is logged as soon as it exists.
#pragma once

#include <string>

#include "product.h"
#include "uninstall_log.h"

constexpr const char* kDisplayName = kProductTitle;

// Makes the folder `folderName` under `programsDir` (the Start menu's
// Programs folder; empty: ESetupError 20009), logging each level it
// created (failure: 20010), then "Velto.lnk" and "Velto Documentation.lnk"
// in it for VELTO.EXE and VELTO.DOC in `destDir` (failure: 20011), each
// logged right after it is saved.
void CreateProgramIcons(const std::string& programsDir, const std::string& folderName, const std::string& destDir,
                        UninstallLog& log);

// Writes "DisplayName" and "UninstallString" (UNINST.EXE in `destDir`,
// without quotation marks) under HKEY_LOCAL_MACHINE\kUninstallKey and
// logs the key. A failure raises ERegistryException naming the value
// ("DisplayName" when the key cannot be opened or created).
void CreateRegistryEntries(const std::string& destDir, UninstallLog& log);
