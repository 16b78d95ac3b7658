// Fuzzes the payload name rules with arbitrary names. Invariants: a name the
// rules accept never leaves the destination (not absolute, no drive or
// stream, no "." or ".." component, no component Windows would shorten or
// open as a device), also after the WSOCK32.DLL redirect; folding letter case
// keeps the length and is idempotent; a converted host name converts back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "payload_names.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> parts(1);
    for (char c : name) {
        if (c == '\\' || c == '/') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Written apart from the rules under test: the part before the first dot,
// blanks dropped from its end, compared letter by letter without case.
bool NamesDevice(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    static const std::vector<std::string> devices = [] {
        std::vector<std::string> d = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
        for (const char* port : {"COM", "LPT"}) {
            for (char n : std::string("0123456789\xB9\xB2\xB3")) d.push_back(std::string(port) + n);
        }
        return d;
    }();
    for (const std::string& d : devices) {
        if (base == d) return true;
    }
    return false;
}

void CheckStaysInside(const std::string& name) {
    Check(!name.empty() && name[0] != '\\' && name[0] != '/');
    Check(name.find(':') == std::string::npos);
    for (unsigned char c : name) Check(c >= 0x20);
    for (const std::string& part : Components(name)) {
        Check(part != "." && part != "..");
        if (!part.empty()) Check(part.back() != '.' && part.back() != ' ');
        Check(!NamesDevice(part));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (IsSafePayloadName(name)) {
        CheckStaysInside(name);
        CheckStaysInside(InstalledPayloadName(name));
    }

    const std::string folded = FoldCase1252(name);
    Check(folded.size() == name.size() && FoldCase1252(folded) == folded);
    Check(IsSafePayloadName(folded) == IsSafePayloadName(name));

    std::string converted, bad;
    if (Utf8ToCodePage1252(name, &converted, &bad) == Utf8Conversion::Ok) {
        Check(CodePage1252ToUtf8(converted) == name);
    } else {
        Check(!bad.empty());
    }
    return 0;
}
