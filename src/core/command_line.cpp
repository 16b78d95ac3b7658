#include "command_line.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "C:\Apps\Velto\" names the folder C:\Apps\Velto: trailing separators go,
// but not a root's ("C:\", "\").
void DropTrailingSeparators(std::string& dir) {
    while (dir.size() > 1 && IsSeparator(dir.back()) && !(dir.size() == 3 && dir[1] == ':')) dir.pop_back();
}

// The position after the program's own path.
size_t SkipProgramPath(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i < line.size() && line[i] == '"') {
        const size_t close = line.find('"', i + 1);
        return close == std::string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !IsBlank(line[i])) ++i;
    return i;
}

}  // namespace

SetupOptions ParseSetupCommandLine(const std::string& commandLine) {
    SetupOptions options;
    size_t i = SkipProgramPath(commandLine);
    while (i < commandLine.size()) {
        while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
        if (i >= commandLine.size()) break;
        // The whole argument may stand in quotation marks ("/D=C:\My Apps"),
        // as programs that start others with a path holding spaces write it.
        const bool quoted = commandLine[i] == '"';
        const size_t at = quoted ? i + 1 : i;
        if (commandLine.size() - at >= 3 && commandLine[at] == '/' && (commandLine[at + 1] | 0x20) == 'd' &&
            commandLine[at + 2] == '=') {
            std::string dir = commandLine.substr(at + 3);
            while (!dir.empty() && IsBlank(dir.back())) dir.pop_back();
            if (quoted && !dir.empty() && dir.back() == '"') dir.pop_back();
            // A path given in quotation marks is taken without them.
            if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
            DropTrailingSeparators(dir);
            options.DestDir = dir;
            break;
        }
        size_t end = i;
        while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
        const std::string word = commandLine.substr(i, end - i);
        if (word.size() == 2 && word[0] == '/' && (word[1] | 0x20) == 's') options.Silent = true;
        i = end;
    }
    return options;
}
