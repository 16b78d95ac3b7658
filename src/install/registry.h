// A small registry accessor: a root key and at most one open current key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "errors.h"
#include "runtime/handles.h"

// A value could not be written.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class TRegistry {
public:
    // Root HKEY_CURRENT_USER, no current key.
    TRegistry() = default;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    // Closes the current key.
    ~TRegistry() = default;

    HKEY RootKey() const { return root_; }
    // A different root closes the current key.
    void SetRootKey(HKEY root);
    HKEY CurrentKey() const { return current_.Get(); }
    const std::string& CurrentPath() const { return currentPath_; }

    // Opens `key` (from the root when it starts with "\" or when no key is
    // open, else below the current key), creating what is missing when
    // `canCreate`. On success the new key becomes the current one. False
    // when it cannot be opened or created.
    bool OpenKey(const std::string& key, bool canCreate, bool* created = nullptr);
    // Reads a value of the current key as it is stored; false when it does
    // not exist (or no key is open).
    bool ReadValue(const std::string& name, uint32_t& type, std::string& data) const;
    // Writes a REG_SZ value (with its terminating zero) to the current key;
    // a failure, also when no key is open, raises ERegistryException
    // "Failed to set data for 'name'".
    void WriteString(const std::string& name, const std::string& value);
    // Writes a REG_DWORD value; failures as for WriteString.
    void WriteInteger(const std::string& name, uint32_t value);
    void CloseKey();

private:
    void WriteData(const std::string& name, DWORD type, const void* data, size_t size);

    HKEY root_ = HKEY_CURRENT_USER;
    RegKey current_;
    std::string currentPath_;
};
