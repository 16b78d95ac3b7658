#include "process_uninstall_log.h"

#include <vector>

#include "run_log.h"
#include "runtime/change_point.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/kept_copy.h"
#include "ui/error_box.h"

namespace {

// A path read from a record names what was logged only when it holds no NUL
// byte; Win32 would stop at the NUL and act on a shorter, different path.
bool IsUsablePath(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

// The names of every direct subkey of `key`. They are collected before any
// is deleted: deleting while enumerating shifts the indexes and would skip
// every other subkey.
std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return names;
    if (count == 0) return names;
    names.reserve(count);
    // Room for the terminator; key names are at most 255 characters, and a
    // subkey added since the query may be longer than the one announced.
    std::vector<char> name((longest < 255 ? 255 : longest) + 1);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        LONG rc = RegEnumKeyExA(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        // ERROR_NO_MORE_ITEMS ends the list; any other failure ends it too
        // (the buffer already holds the longest possible name).
        if (rc != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

void DeleteSubkeys(HKEY key) {
    for (const std::string& name : SubkeyNames(key)) DeleteRegistryKey(key, name);
}

bool FileGone(const std::string& path) { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; }

bool KeyGone(HKEY root, const std::string& path) {
    RegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS;
}

// A key that existed before setup wrote to it gets its former values back
// instead of being deleted: it belongs to an earlier installation.
bool RestoreKeptValues(HKEY root, const std::string& path, const std::string& kept) {
    std::vector<KeptValue> values;
    if (!DecodeKeptValues(kept, values)) return false;
    RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS) return false;
    bool ok = true;
    for (const KeptValue& v : values) {
        const LONG rc =
            v.Existed ? RegSetValueExA(key.Get(), v.Name.c_str(), 0, v.Type,
                                       reinterpret_cast<const BYTE*>(v.Data.data()), static_cast<DWORD>(v.Data.size()))
                      : RegDeleteValueA(key.Get(), v.Name.c_str());
        if (rc != ERROR_SUCCESS && (v.Existed || rc != ERROR_FILE_NOT_FOUND)) ok = false;
    }
    return ok;
}

}  // namespace

HKEY PredefinedRootKey(uint32_t rootKey) {
    // HKEY_CLASSES_ROOT (0x80000000) to HKEY_DYN_DATA (0x80000006). Any
    // other value read from a file is no root, and might even equal a handle
    // this process has open.
    if (rootKey < 0x80000000u || rootKey > 0x80000006u) return nullptr;
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(rootKey))));
}

bool DeleteRegistryKey(HKEY root, const std::string& path) {
    if (!IsUsablePath(path)) return false;
    {
        RegKey key;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.Receive()) == ERROR_SUCCESS)
            DeleteSubkeys(key.Get());
    }
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

bool RemoveLoggedItem(const UninstallRecord& record) {
    const std::string path = record.Path();
    if (!IsUsablePath(path)) return true;
    switch (record.Kind) {
        case ukDirectory:
            // Fails when the directory still holds files or is gone: dropped.
            RemoveDirectoryA(path.c_str());
            return true;
        case ukFile:
            if (!record.Kept.empty()) return RestoreKeptCopy(path, record.Kept);
            // Only a file that bears the very name setup gave it: the path
            // may reach another one (a short name of a user's file that
            // setup kept and put back), which is not setup's to delete.
            if (!BearsLoggedName(path)) return true;
            return DeleteFileA(path.c_str()) || FileGone(path);
        case ukRegistryKey: {
            HKEY root = PredefinedRootKey(record.RootKey);
            if (!root) return true;
            if (!record.Kept.empty()) return RestoreKeptValues(root, path, record.Kept);
            return DeleteRegistryKey(root, path) || KeyGone(root, path);
        }
        default: return true;
    }
}

std::string LoggedItemName(const UninstallRecord& record) {
    if (record.Kind != ukRegistryKey) return record.Path();
    return (record.RootKey == kHKeyLocalMachine ? "HKEY_LOCAL_MACHINE\\" : "") + record.Path();
}

std::string NotPutBackText(const std::vector<std::string>& paths) {
    std::string text = "Setup could not put back the file it had replaced in '" + paths.front() + "'";
    if (paths.size() > 1) text += " and " + std::to_string(paths.size() - 1) + " more";
    return text + ": it is in use.  The earlier version is kept beside it, and Setup will put it back the next " +
           "time it starts";
}

void ProcessUninstallLog(UninstallLog& log, std::vector<std::string>* notRemoved) {
    std::vector<std::string> notPutBack;
    while (std::unique_ptr<UninstallRecord> record = log.Unlink()) {
        try {
            const bool removed = RemoveLoggedItem(*record);
            ChangePoint();
            // A directory that still holds files stays, which a rollback
            // does not count as a failure; the log says so all the same.
            ReportRemoved(*record, removed && (record->Kind != ukDirectory || FileGone(record->Path())));
            if (removed) continue;
            if (notRemoved) notRemoved->push_back(LoggedItemName(*record));
            if (record->Kind == ukFile && !record->Kept.empty() && FileExists(record->Kept))
                notPutBack.push_back(record->Path());
        } catch (...) {
            // A failed removal is skipped; the next record is still processed.
        }
    }
    if (notPutBack.empty()) {
        if (log.Journal) log.Journal->Discard();
    } else {
        // The journal stays: the next start puts the user's file back. The
        // box (only a rollback keeps copies) comes before the quit message,
        // which would end it at once.
        try {
            throw Exception(NotPutBackText(notPutBack));
        } catch (...) {
            ShowCurrentException();
        }
    }
    PostQuitMessage(0);
}
