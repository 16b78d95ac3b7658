// Arbitrary command lines: the parser never reads past the line, "/S" is
// seen only as a word of its own after the program's path, and a
// destination always stands in the line and ends in a separator only when
// it is a root ("C:\", "\").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const SetupOptions o = ParseSetupCommandLine(line);
    if (!o.DestDir.empty() && line.find(o.DestDir) == std::string::npos) std::abort();
    const std::string& d = o.DestDir;
    const bool root = d.size() == 1 || (d.size() == 3 && d[1] == ':');
    if (!d.empty() && (d.back() == '\\' || d.back() == '/') && !root) std::abort();
    if (o.Silent && line.find("/S") == std::string::npos && line.find("/s") == std::string::npos) std::abort();
    return 0;
}
