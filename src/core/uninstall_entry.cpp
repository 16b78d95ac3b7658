#include "uninstall_entry.h"

#include "paths.h"
#include "product.h"

namespace {

// The values in the order they are written.
const struct {
    const char* Name;
    uint32_t Type;
} kValues[] = {
    {"DisplayName", kRegSz},     {"UninstallString", kRegSz},      {"DisplayIcon", kRegSz},
    {"InstallLocation", kRegSz}, {"EstimatedSize", kRegDword},     {"NoModify", kRegDword},
    {"NoRepair", kRegDword},     {"QuietUninstallString", kRegSz},
};
constexpr size_t kValueCount = sizeof kValues / sizeof kValues[0];

}  // namespace

uint32_t EstimatedSizeKb(uint64_t bytes) {
    const uint64_t kb = bytes / 1024 + (bytes % 1024 != 0);
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kb);
}

std::vector<UninstallEntryValue> UninstallEntryValues(const std::string& destDir, uint64_t installedBytes) {
    std::vector<UninstallEntryValue> values(kValueCount);
    for (size_t i = 0; i < kValueCount; ++i) {
        values[i].Name = kValues[i].Name;
        values[i].Type = kValues[i].Type;
    }
    const std::string uninstaller = JoinPath(destDir, kUninstallerName);
    values[0].Text = kProductTitle;
    // The bare path, as the list of installed programs has always read it.
    values[1].Text = uninstaller;
    values[2].Text = uninstaller;
    values[3].Text = destDir;
    values[4].Number = EstimatedSizeKb(installedBytes);
    // The uninstaller only removes: no "Change" or "Repair" to offer.
    values[5].Number = 1;
    values[6].Number = 1;
    values[7].Text = "\"" + uninstaller + "\" /S";
    return values;
}

bool IsUninstallEntryValue(const std::string& name) {
    const std::string upper = UpperCaseString(name);
    for (const auto& v : kValues)
        if (UpperCaseString(v.Name) == upper) return true;
    return false;
}
