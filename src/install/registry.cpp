#include "install/registry.h"

void TRegistry::SetRootKey(HKEY root) {
    if (root == root_) return;
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate, bool* created) {
    const bool fromRoot = !key.empty() && key[0] == '\\';
    const std::string path = fromRoot ? key.substr(1) : key;
    HKEY base = (fromRoot || !current_) ? root_ : current_.Get();
    RegKey opened;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    LONG rc = canCreate ? RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                          nullptr, opened.Receive(), &disposition)
                        : RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, opened.Receive());
    if (rc != ERROR_SUCCESS) return false;
    if (created) *created = disposition == REG_CREATED_NEW_KEY;
    currentPath_ = (fromRoot || !current_) ? path : currentPath_ + "\\" + path;
    current_ = std::move(opened);
    return true;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    WriteData(name, REG_SZ, value.c_str(), value.size() + 1);
}

void TRegistry::WriteInteger(const std::string& name, uint32_t value) {
    const DWORD data = value;
    WriteData(name, REG_DWORD, &data, sizeof data);
}

void TRegistry::WriteData(const std::string& name, DWORD type, const void* data, size_t size) {
    LONG rc = current_ ? RegSetValueExA(current_.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                        static_cast<DWORD>(size))
                       : ERROR_INVALID_HANDLE;
    if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + name + "'");
}

void TRegistry::CloseKey() {
    current_.Reset();
    currentPath_.clear();
}

bool TRegistry::ReadValue(const std::string& name, uint32_t& type, std::string& data) const {
    if (!current_) return false;
    DWORD t = 0, size = 0;
    if (RegQueryValueExA(current_.Get(), name.c_str(), nullptr, &t, nullptr, &size) != ERROR_SUCCESS) return false;
    data.assign(size, '\0');
    if (RegQueryValueExA(current_.Get(), name.c_str(), nullptr, &t, size ? reinterpret_cast<BYTE*>(&data[0]) : nullptr,
                         &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    type = t;
    return true;
}
