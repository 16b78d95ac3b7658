#include "payload_names.h"

#include "paths.h"
#include "product.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

const char* UnsafeComponentReason(const std::string& c) {
    if (c == "..") return "has a '..' component";
    if (c == ".") return "has a '.' component";
    if (c.empty()) return nullptr;
    if (c.back() == '.' || c.back() == ' ') return "has a component ending in a dot or a blank, which Windows drops";
    if (IsDeviceName(c)) return "names a Windows device";
    return nullptr;
}

}  // namespace

const char* UnsafePayloadNameReason(const std::string& name) {
    if (name.empty()) return "empty name";
    if (IsSeparator(name[0])) return "absolute name";
    if (name.find(':') != std::string::npos) return "contains ':' (a drive or a stream)";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return "contains a control character";
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        if (const char* why = UnsafeComponentReason(name.substr(start, end - start))) return why;
        start = end + 1;
    }
    return nullptr;
}

bool IsDeviceName(const std::string& component) {
    std::string base = UpperCaseString(component.substr(0, component.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices) {
        if (base == d) return true;
    }
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const unsigned char n = static_cast<unsigned char>(base[3]);
    return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
}

std::string InstalledPayloadName(const std::string& name) {
    if (UpperCaseString(name) == kRedirectedDll) return JoinPath(kRedirectFolder, kRedirectedDll);
    return name;
}

std::string FoldCase1252(const std::string& s) {
    std::string result = s;
    for (char& ch : result) {
        const unsigned char c = static_cast<unsigned char>(ch);
        unsigned char folded = c;
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
            folded = static_cast<unsigned char>(c - 0x20);
        } else if (c == 0x9A || c == 0x9C || c == 0x9E) {
            folded = static_cast<unsigned char>(c - 0x10);
        } else if (c == 0xFF) {
            folded = 0x9F;
        }
        ch = static_cast<char>(folded);
    }
    return result;
}
