// Arbitrary directory records, one per input line, through the uninstall
// run's filter into the batch file: every line of the text is one command
// of the expected form, and no argument can end its quotation or start a
// second command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch_script.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// A quoted argument: nothing after the closing quotation mark, and none
// inside it.
void CheckQuoted(const std::string& rest) {
    Check(rest.size() >= 2 && rest.front() == '"' && rest.back() == '"');
    Check(rest.find('"', 1) == rest.size() - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> dirs;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF) {
            dirs.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    dirs.push_back(current);
    std::vector<std::string> kept;
    for (const std::string& d : dirs)
        if (IsBatchDirectory(d)) kept.push_back(d);
    const std::string text = UninstallBatchText("C:\\Program Files\\Velto\\UNINST.EXE", "C:\\TEMP", "DELUN0.BAT", kept);
    size_t lines = 0, pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        Check(end != std::string::npos);
        const std::string line = text.substr(pos, end - pos);
        Check(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
        for (char c : line) Check(static_cast<unsigned char>(c) >= 0x20);
        if (line == "@ECHO OFF") {
            Check(lines == 0);
        } else if (line.compare(0, 4, "DEL ") == 0) {
            CheckQuoted(line.substr(4));
        } else if (line.compare(0, 3, "RD ") == 0) {
            CheckQuoted(line.substr(3));
        } else if (line.compare(0, 6, "CD /D ") == 0) {
            CheckQuoted(line.substr(6));
        } else {
            // CD to a drive's root: a letter, ":" and "\".
            Check(line.size() == 6 && line.compare(0, 3, "CD ") == 0 && line.compare(4, 2, ":\\") == 0);
            const char d = line[3];
            Check((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z'));
        }
        ++lines;
        pos = end + 2;
    }
    Check(lines == 5 + 2 * kept.size());
    return 0;
}
