#include "install/program_icons.h"

#include "errors.h"
#include "install/registry.h"
#include "install/shell_link.h"
#include "paths.h"
#include "wizard/make_directory.h"

void CreateProgramIcons(const std::string& programsDir, const std::string& folderName, const std::string& destDir,
                        UninstallLog& log) {
    if (programsDir.empty()) throw ESetupError(SE_GETPROGRAMSDIR);
    const std::string folder = JoinPath(programsDir, folderName);
    if (!MakeDirectory(folder, log)) throw ESetupError(SE_MAKEDIRECTORY);
    const struct {
        const char* file;
        const char* target;
        const char* description;
    } links[] = {
        {"Velto.lnk", "VELTO.EXE", "Velto"},
        {"Velto Documentation.lnk", "VELTO.DOC", "Velto Documentation"},
    };
    for (const auto& l : links) {
        const std::string linkPath = JoinPath(folder, l.file);
        if (CreateLink(JoinPath(destDir, l.target), linkPath, destDir, l.description) != S_OK)
            throw ESetupError(SE_CREATELINK);
        PushRecord(log, ukFile, linkPath, 0);
    }
}

void CreateRegistryEntries(const std::string& destDir, UninstallLog& log) {
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    // Not checked here: a key that cannot be opened fails the first write.
    registry.OpenKey(kUninstallKey, true);
    registry.WriteString("DisplayName", kDisplayName);
    registry.WriteString("UninstallString", JoinPath(destDir, "UNINST.EXE"));
    registry.CloseKey();
    RecordRegistryKey(log, kHKeyLocalMachine, kUninstallKey);
}
