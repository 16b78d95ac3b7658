#include "uninstall_entry.h"

#include "paths.h"
#include "product.h"

uint32_t EstimatedSizeKb(uint64_t bytes) {
    const uint64_t kb = bytes / 1024 + (bytes % 1024 != 0);
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kb);
}

std::vector<UninstallEntryValue> UninstallEntryValues(const std::string& destDir, uint64_t installedBytes) {
    const std::string uninstaller = JoinPath(destDir, kUninstallerName);
    return {
        {"DisplayName", kRegSz, kProductTitle, 0},
        // The bare path, as the list of installed programs has always read it.
        {"UninstallString", kRegSz, uninstaller, 0},
        {"DisplayIcon", kRegSz, uninstaller, 0},
        {"InstallLocation", kRegSz, destDir, 0},
        {"EstimatedSize", kRegDword, std::string(), EstimatedSizeKb(installedBytes)},
        // The uninstaller only removes: no "Change" or "Repair" to offer.
        {"NoModify", kRegDword, std::string(), 1},
        {"NoRepair", kRegDword, std::string(), 1},
        {"QuietUninstallString", kRegSz, "\"" + uninstaller + "\" /S", 0},
    };
}

bool IsUninstallEntryValue(const std::string& name) {
    const std::string upper = UpperCaseString(name);
    for (const UninstallEntryValue& v : UninstallEntryValues(std::string(), 0))
        if (UpperCaseString(v.Name) == upper) return true;
    return false;
}
