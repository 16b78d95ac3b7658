#include "install/program_icons.h"

#include "errors.h"
#include "install/make_directory.h"
#include "install/registry.h"
#include "install/shell_link.h"
#include "paths.h"
#include "product.h"
#include "runtime/kept_copy.h"

void CreateProgramIcons(const std::string& programsDir, const std::string& folderName, const std::string& destDir,
                        UninstallLog& log) {
    if (programsDir.empty()) throw ESetupError(SE_GETPROGRAMSDIR);
    const std::string folder = JoinPath(programsDir, folderName);
    const struct {
        const char* file;
        const char* target;
        const char* description;
    } links[] = {
        {"Velto.lnk", "VELTO.EXE", "Velto"},
        {"Velto Documentation.lnk", "VELTO.DOC", "Velto Documentation"},
    };
    // Nothing is made that could not be logged whole.
    for (const auto& l : links) CheckRecordPath(JoinPath(folder, l.file));
    if (!MakeDirectory(folder, log)) throw ESetupError(SE_MAKEDIRECTORY);
    for (const auto& l : links) {
        const std::string linkPath = JoinPath(folder, l.file);
        // Logged before it is saved, like an extracted file, so that a
        // shortcut of an earlier installation is kept and comes back on a
        // rollback.
        LogFileBeforeCreating(log, linkPath);
        if (CreateLink(JoinPath(destDir, l.target), linkPath, destDir, l.description) != S_OK)
            throw ESetupError(SE_CREATELINK);
    }
}

void CreateRegistryEntries(const std::string& destDir, UninstallLog& log) {
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    // Not checked here: a key that cannot be opened fails the first write.
    // A key made now is logged at once, before its values are written; a key
    // of an earlier installation is logged with its former values, which a
    // rollback puts back instead of deleting the key.
    bool created = false;
    if (registry.OpenKey(kUninstallKey, true, &created)) {
        std::string kept;
        if (!created) {
            std::vector<KeptValue> values;
            for (const char* name : {"DisplayName", "UninstallString"}) {
                KeptValue v;
                v.Name = name;
                v.Existed = registry.ReadValue(name, v.Type, v.Data);
                values.push_back(v);
            }
            kept = EncodeKeptValues(values);
        }
        PushRecord(log, ukRegistryKey, kUninstallKey, kHKeyLocalMachine, kept);
    }
    registry.WriteString("DisplayName", kDisplayName);
    registry.WriteString("UninstallString", JoinPath(destDir, kUninstallerName));
    registry.CloseKey();
}
