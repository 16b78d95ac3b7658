// Arbitrary command lines: the parser never reads past the line, "/S" is
// seen only as a word of its own after the program's path, and a
// destination is always a tail of the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const SetupOptions o = ParseSetupCommandLine(line);
    if (!o.DestDir.empty() && line.find(o.DestDir) == std::string::npos) std::abort();
    if (o.Silent && line.find("/S") == std::string::npos && line.find("/s") == std::string::npos) std::abort();
    return 0;
}
