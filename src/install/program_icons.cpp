#include "install/program_icons.h"

#include "errors.h"
#include "install/make_directory.h"
#include "install/registry.h"
#include "install/shell_link.h"
#include "paths.h"
#include "product.h"
#include "runtime/kept_copy.h"
#include "uninstall_entry.h"

void CreateProgramIcons(const std::string& programsDir, const std::string& folderName, const std::string& destDir,
                        UninstallLog& log) {
    if (programsDir.empty()) throw ESetupError(SE_GETPROGRAMSDIR);
    const std::string folder = JoinPath(programsDir, folderName);
    // Nothing is made that could not be logged whole.
    for (const ProductShortcut& l : kShortcuts) CheckRecordPath(JoinPath(folder, l.File));
    if (!MakeDirectory(folder, log)) throw ESetupError(SE_MAKEDIRECTORY);
    for (const ProductShortcut& l : kShortcuts) {
        const std::string linkPath = JoinPath(folder, l.File);
        // Logged before it is saved, like an extracted file, so that a
        // shortcut of an earlier installation is kept and comes back on a
        // rollback.
        LogFileBeforeCreating(log, linkPath);
        if (CreateLink(JoinPath(destDir, l.Target), linkPath, destDir, l.Description) != S_OK)
            throw ESetupError(SE_CREATELINK);
    }
}

void CreateRegistryEntries(const std::string& destDir, uint64_t installedBytes, UninstallLog& log) {
    const std::vector<UninstallEntryValue> values = UninstallEntryValues(destDir, installedBytes);
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    // Not checked here: a key that cannot be opened fails the first write.
    // A key made now is logged at once, before its values are written; a key
    // of an earlier installation is logged with its former values (each one
    // the entry has, or that it had none), which a rollback puts back instead
    // of deleting the key.
    bool created = false;
    if (registry.OpenKey(kUninstallKey, true, &created)) {
        std::string kept;
        if (!created) {
            std::vector<KeptValue> former;
            for (const UninstallEntryValue& v : values) {
                KeptValue k;
                k.Name = v.Name;
                k.Existed = registry.ReadValue(v.Name, k.Type, k.Data);
                former.push_back(k);
            }
            kept = EncodeKeptValues(former);
        }
        PushRecord(log, ukRegistryKey, kUninstallKey, kHKeyLocalMachine, kept);
    }
    for (const UninstallEntryValue& v : values) {
        if (v.Type == kRegDword)
            registry.WriteInteger(v.Name, v.Number);
        else
            registry.WriteString(v.Name, v.Text);
    }
    registry.CloseKey();
}

namespace {

// The registry view of the other setup program, 0 when there is none: the
// i686 one has a 64-bit view beside its own only on 64-bit Windows (it
// asks the system, which knows no such call before Windows XP SP2).
REGSAM OtherRegistryView() {
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = reinterpret_cast<IsWow64ProcessProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (!isWow64 || !isWow64(GetCurrentProcess(), &wow64) || !wow64) return 0;
    return KEY_WOW64_64KEY;
#endif
}

}  // namespace

std::string OtherArchitectureInstallation() {
    const REGSAM view = OtherRegistryView();
    RegKey key;
    if (view == 0 ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE | view, key.Receive()) != ERROR_SUCCESS)
        return std::string();
    // UNINST.EXE's path; its folder is the destination. A key without it
    // still stands for an installation.
    char value[MAX_PATH + 1] = {};
    DWORD type = 0, size = MAX_PATH;
    std::string path;
    if (RegQueryValueExA(key.Get(), "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ)
        path = value;
    const size_t sep = path.find_last_of('\\');
    return sep == std::string::npos ? "HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) : path.substr(0, sep);
}

std::string OtherArchitectureText(const std::string& destDir) {
#ifdef _WIN64
    const char* other = "32-bit";
#else
    const char* other = "64-bit";
#endif
    return std::string("An installation made by the ") + other + " setup program is in '" + destDir +
           "'.\rUninstall it first, then run Setup again";
}
