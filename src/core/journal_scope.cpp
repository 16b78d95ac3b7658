#include "journal_scope.h"

#include "paths.h"
#include "product.h"
#include "uninstall_entry.h"

namespace {

// A plain absolute path on a drive: "X:\" then names, no empty, "." or ".."
// component, no second ":" (an alternate data stream) and no "/".
bool IsPlainDrivePath(const std::string& path) {
    if (path.size() < 3 || !((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) ||
        path[1] != ':' || path[2] != '\\')
        return false;
    if (path.find_first_of(":/", 2) != std::string::npos) return false;
    size_t start = 3;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return path.back() != '\\';
}

// `inner` is `outer` or inside it (letter case does not count).
bool Within(const std::string& inner, const std::string& outer) {
    const std::string a = UpperCaseString(inner), b = UpperCaseString(outer);
    if (a == b) return true;
    const std::string prefix = b.back() == '\\' ? b : b + "\\";
    return a.compare(0, prefix.size(), prefix) == 0;
}

// The longest folder that holds both.
std::string CommonFolder(const std::string& a, const std::string& b) {
    std::string folder = a;
    while (!folder.empty() && !Within(b, folder)) {
        const std::string up = FolderOf(folder);
        folder = up == folder ? std::string() : up;
    }
    return folder;
}

bool IsKeptCopyName(const std::string& name) {
    const std::string upper = UpperCaseString(name);
    if (upper.size() < 10 || upper.compare(0, 5, "~KEPT") != 0 || upper.compare(upper.size() - 4, 4, ".TMP") != 0)
        return false;
    for (size_t i = 5; i < upper.size() - 4; ++i) {
        if (upper[i] < '0' || upper[i] > '9') return false;
    }
    return true;
}

}  // namespace

std::string JournalItemOutOfScope(const std::vector<std::unique_ptr<UninstallRecord>>& records,
                                  const JournalScope& scope) {
    const std::string uninstallKey = UpperCaseString(kUninstallKey);
    std::string destination;
    bool first = true;
    // Every item is one the product may make at all; the files and folders
    // outside the Programs folder give the destination: the folder that
    // holds them all (with the levels made above the destination, the
    // highest of those).
    for (const auto& r : records) {
        const std::string path = r->Path();
        if (r->Kind == ukRegistryKey) {
            const std::string key = "HKEY_LOCAL_MACHINE\\" + path;
            if (r->RootKey != kUninstallRoot || UpperCaseString(path) != uninstallKey) return key;
            // An earlier entry's values come back only as values of the
            // entry.
            std::vector<KeptValue> values;
            if (!DecodeKeptValues(r->Kept, values)) return key;
            for (const KeptValue& v : values)
                if (!IsUninstallEntryValue(v.Name)) return key + "\\" + v.Name;
            continue;
        }
        if ((r->Kind != ukFile && r->Kind != ukDirectory && r->Kind != kJournalCommit) || !IsPlainDrivePath(path))
            return path;
        if (r->Kind == ukFile && !r->Kept.empty() &&
            (UpperCaseString(FolderOf(r->Kept)) != UpperCaseString(FolderOf(path)) ||
             !IsKeptCopyName(r->Kept.substr(r->Kept.find_last_of('\\') + 1))))
            return r->Kept;
        if (Within(path, scope.ProgramsDir)) {
            if (r->Kind == ukDirectory) {
                if (UpperCaseString(path) == UpperCaseString(scope.ProgramsDir)) return path;
                continue;
            }
            const std::string name = UpperCaseString(path.substr(path.find_last_of('\\') + 1));
            if (r->Kind != ukFile ||
                (name != UpperCaseString(kShortcutNames[0]) && name != UpperCaseString(kShortcutNames[1])))
                return path;
            continue;
        }
        const std::string holder = r->Kind == ukDirectory ? path : FolderOf(path);
        destination = first ? holder : CommonFolder(destination, holder);
        first = false;
        if (destination.size() <= 3 || Within(scope.WindowsDir, destination) || Within(destination, scope.WindowsDir))
            return path;
    }
    return std::string();
}
