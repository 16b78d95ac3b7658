#include "names.h"

#include <map>

#include "errors.h"
#include "layout.h"
#include "paths.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> SplitComponents(const std::string& name) {
    std::vector<std::string> parts(1);
    for (char c : name) {
        if (IsSeparator(c)) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Windows opens these as devices whatever extension follows.
bool IsDeviceName(const std::string& component) {
    std::string base = UpperCaseString(component.substr(0, component.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices) {
        if (base == d) return true;
    }
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
        base[3] <= '9') {
        return true;
    }
    return false;
}

std::string CheckComponent(const std::string& c) {
    if (c.empty()) return "has an empty path component";
    if (c == "." || c == "..") return "has a '" + c + "' component";
    for (char ch : c) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F) return "contains a control character";
        switch (ch) {
            case '<': case '>': case ':': case '"': case '|': case '?': case '*':
                return std::string("contains '") + ch + "', which Windows does not allow in file names";
            default:
                break;
        }
    }
    if (c.back() == '.' || c.back() == ' ') return "has a component ending in '" + std::string(1, c.back()) +
                                                   "', which Windows drops";
    if (IsDeviceName(c)) return "names the Windows device '" + UpperCaseString(c.substr(0, c.find('.'))) + "'";
    return std::string();
}

}  // namespace

std::string CheckInstallName(const std::string& name) {
    if (name.empty()) return "empty name";
    if (name.size() > kMaxShortString) return "longer than 255 bytes";
    if (IsSeparator(name[0])) return "absolute name";
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        return "drive-qualified name";
    }
    for (const std::string& c : SplitComponents(name)) {
        std::string why = CheckComponent(c);
        if (!why.empty()) return why;
    }
    return std::string();
}

std::string InstalledName(const std::string& name) {
    if (UpperCaseString(name) == "WSOCK32.DLL") return JoinPath("DLL", "WSOCK32.DLL");
    return name;
}

bool NeedsMissingFolder(const std::string& name) {
    std::vector<std::string> parts = SplitComponents(InstalledName(name));
    if (parts.size() == 1) return false;
    if (parts.size() > 2) return true;
    std::string folder = UpperCaseString(parts[0]);
    return folder != "DLL" && folder != "UPLOAD" && folder != "DOWNLOAD";
}

std::vector<NameProblem> CheckNameSet(const std::vector<std::string>& names, const NameSetOptions& options) {
    std::vector<NameProblem> problems;
    std::map<std::string, size_t> seen;  // upper-case installed name -> first index
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        std::string why = CheckInstallName(name);
        if (!why.empty()) {
            problems.push_back({i, "'" + name + "': " + why});
            continue;
        }
        std::string installed = InstalledName(name);
        std::string key = UpperCaseString(installed);
        // Either separator names the same file on Windows.
        for (char& c : key) {
            if (c == '/') c = '\\';
        }
        if (key == "UNINST.EXE") {
            problems.push_back({i, "'" + name + "': the installer writes its own UNINST.EXE there"});
            continue;
        }
        auto found = seen.find(key);
        if (found != seen.end()) {
            const std::string& other = names[found->second];
            std::string where = installed == name ? std::string() : " (installed as '" + installed + "')";
            problems.push_back({i, "'" + name + "'" + where + ": same file as '" + other +
                                       "' (names are compared without regard to letter case)"});
            continue;
        }
        seen.emplace(key, i);
        if (!options.AllowSubdirectories && NeedsMissingFolder(name)) {
            problems.push_back({i, "'" + name + "': the installer creates only the folders DLL, Upload and Download; "
                                   "put the file at the top level or in one of them (or use --allow-subdirs)"});
        }
    }
    return problems;
}

std::string StoredNameFromHostPath(const std::string& hostPath, bool allowEmpty) {
    if (!hostPath.empty() && hostPath[0] == '/') {
        throw Exception("'" + hostPath + "': absolute path; give files relative to the -C folder");
    }
    std::string stored;
    std::string component;
    auto flush = [&]() {
        if (component.empty() || component == ".") {
            component.clear();
            return;
        }
        if (component == "..") throw Exception("'" + hostPath + "': has a '..' component");
        if (component.find('\\') != std::string::npos) {
            throw Exception("'" + hostPath + "': contains '\\', which Windows reads as a folder separator");
        }
        if (!stored.empty()) stored += '\\';
        stored += component;
        component.clear();
    };
    for (char c : hostPath) {
        if (c == '/') {
            flush();
        } else {
            component += c;
        }
    }
    flush();
    if (stored.empty() && !allowEmpty) throw Exception("'" + hostPath + "': names no file below the -C folder");
    return stored;
}
