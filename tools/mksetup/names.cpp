#include "names.h"

#include <map>

#include "errors.h"
#include "layout.h"
#include "paths.h"
#include "payload_names.h"
#include "product.h"

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

// What Windows cannot store in a file name beyond the shared safety rules.
std::string CheckComponent(const std::string& c) {
    if (c.empty()) return "has an empty path component";
    for (char ch : c) {
        if (ch == 0x7F) return "contains a control character";
        switch (ch) {
            case '<':
            case '>':
            case '"':
            case '|':
            case '?':
            case '*': return std::string("contains '") + ch + "', which Windows does not allow in file names";
            default: break;
        }
    }
    return std::string();
}

std::string Quoted(const std::string& name) { return "'" + CodePage1252ToUtf8(name) + "'"; }

}  // namespace

std::string CheckInstallName(const std::string& name) {
    if (name.size() > kMaxShortString) return "longer than 255 bytes";
    if (const char* why = UnsafePayloadNameReason(name)) return why;
    for (const std::string& c : SplitComponents(name)) {
        std::string why = CheckComponent(c);
        if (!why.empty()) return why;
    }
    return std::string();
}

bool NeedsMissingFolder(const std::string& name) {
    std::vector<std::string> parts = SplitComponents(InstalledPayloadName(name));
    if (parts.size() == 1) return false;
    if (parts.size() > 2) return true;
    const std::string folder = UpperCaseString(parts[0]);
    for (const char* made : kDestinationFolders)
        if (folder == UpperCaseString(made)) return false;
    return true;
}

std::vector<NameProblem> CheckNameSet(const std::vector<std::string>& names, const NameSetOptions& options) {
    std::vector<NameProblem> problems;
    std::map<std::string, size_t> seen;  // folded installed name -> first index
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        std::string why = CheckInstallName(name);
        if (!why.empty()) {
            problems.push_back({i, Quoted(name) + ": " + why});
            continue;
        }
        std::string installed = InstalledPayloadName(name);
        std::string key = FoldCase1252(installed);
        // Either separator names the same file on Windows.
        for (char& c : key) {
            if (c == '/') c = '\\';
        }
        if (key == kUninstallerName) {
            problems.push_back({i, Quoted(name) + ": the installer writes its own UNINST.EXE there"});
            continue;
        }
        auto found = seen.find(key);
        if (found != seen.end()) {
            const std::string& other = names[found->second];
            std::string where = installed == name ? std::string() : " (installed as " + Quoted(installed) + ")";
            problems.push_back({i, Quoted(name) + where + ": same file as " + Quoted(other) +
                                       " (names are compared without regard to letter case)"});
            continue;
        }
        seen.emplace(key, i);
        if (!options.AllowSubdirectories && NeedsMissingFolder(name)) {
            problems.push_back({i, Quoted(name) +
                                       ": the installer creates only the folders DLL, Upload and Download; "
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
        std::string converted, bad;
        switch (Utf8ToCodePage1252(component, &converted, &bad)) {
            case Utf8Conversion::Ok: break;
            case Utf8Conversion::NotUtf8:
                throw Exception("'" + hostPath + "': the name is not UTF-8 (byte " + bad + ")");
            case Utf8Conversion::NotInCodePage:
                throw Exception("'" + hostPath + "': the character '" + bad +
                                "' does not exist in Windows code page 1252, which installers store names in");
        }
        if (!stored.empty()) stored += '\\';
        stored += converted;
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
