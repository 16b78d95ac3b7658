#include "paths.h"

#include <cstdio>

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    std::string result = dir;
    if (result.back() == '\\') result.pop_back();
    result += '\\';
    result += name;
    return result;
}

std::string FolderOf(const std::string& path) {
    const size_t sep = path.find_last_of('\\');
    if (sep == std::string::npos) return std::string();
    return path.substr(0, sep == 2 && path[1] == ':' ? 3 : sep);
}

std::string UpperCaseString(const std::string& s) {
    std::string result = s;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    }
    return result;
}

std::string AddPathSeparator(const std::string& dir) {
    if (dir.empty()) return dir;
    char last = dir.back();
    if (last == ':' || last == '\\') return dir;
    if (dir.size() == 1 && ((last >= 'A' && last <= 'Z') || (last >= 'a' && last <= 'z'))) return dir + ":\\";
    return dir + "\\";
}

namespace {

// Decimal text of a small non-negative number. Written out here because the
// C library's number formatting would bring a whole printf engine into the
// setup program.
std::string SmallDecimal(int n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + n % 10));
        n /= 10;
    } while (n > 0);
    return digits;
}

}  // namespace

std::string GetUniqueFilenameInDir(const std::string& dir, const std::string& format, FileExistsProc fileExists) {
    const size_t at = format.find("%d");
    for (int i = 0; i <= 99; ++i) {
        std::string name = format;
        if (at != std::string::npos) name.replace(at, 2, SmallDecimal(i));
        if (!fileExists(JoinPath(dir, name))) return name;
    }
    return std::string();
}
