// The product's entry in the system's list of installed programs: the
// values an installation writes to HKEY_LOCAL_MACHINE\kUninstallKey. The
// one list serves writing them, keeping an earlier installation's values
// for a rollback, and checking what the journal of an interrupted
// installation may put back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kRegSz = 1;     // REG_SZ
constexpr uint32_t kRegDword = 4;  // REG_DWORD

struct UninstallEntryValue {
    const char* Name;
    uint32_t Type;     // kRegSz or kRegDword
    std::string Text;  // for kRegSz
    uint32_t Number;   // for kRegDword
};

// The values for an installation into `destDir` whose files hold
// `installedBytes` bytes, in the order they are written ("DisplayName"
// first: a key that cannot be opened fails on it).
std::vector<UninstallEntryValue> UninstallEntryValues(const std::string& destDir, uint64_t installedBytes);

// True when `name` is one of those values (letter case does not count, as
// in the registry).
bool IsUninstallEntryValue(const std::string& name);

// "EstimatedSize": kilobytes, rounded up; at most 0xFFFFFFFF.
uint32_t EstimatedSizeKb(uint64_t bytes);
