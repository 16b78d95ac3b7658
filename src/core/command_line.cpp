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

// "/LOG" (any case), followed by "=" when `length` is 5.
bool IsLogSwitch(const std::string& word, size_t length) {
    if (word.size() < length || word[0] != '/') return false;
    static const char kLog[] = "log";
    for (size_t k = 0; k < 3; ++k)
        if ((word[k + 1] | 0x20) != kLog[k]) return false;
    return length == 4 || word[4] == '=';
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
        // One argument: up to the next blank, or, when it starts with a
        // quotation mark, up to the closing one.
        size_t end = at;
        if (quoted) {
            const size_t close = commandLine.find('"', at);
            end = close == std::string::npos ? commandLine.size() : close;
        } else {
            while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
        }
        std::string word = commandLine.substr(at, end - at);
        size_t next = quoted && end < commandLine.size() ? end + 1 : end;
        // "/LOG=" with its path in quotation marks ("/LOG="C:\My Logs\a.log"").
        if (!quoted && word.size() >= 6 && IsLogSwitch(word, 5) && word[5] == '"') {
            const size_t close = commandLine.find('"', at + 6);
            end = close == std::string::npos ? commandLine.size() : close;
            word = commandLine.substr(at, end - at);
            word.erase(5, 1);
            next = end < commandLine.size() ? end + 1 : end;
        }
        if (word.size() == 2 && word[0] == '/' && (word[1] | 0x20) == 's') {
            options.Silent = true;
        } else if (word.size() == 4 && IsLogSwitch(word, 4)) {
            options.Log = true;
            options.LogPath.clear();
        } else if (word.size() > 5 && IsLogSwitch(word, 5)) {
            options.Log = true;
            options.LogPath = word.substr(5);
        } else if (options.BadSwitch.empty()) {
            options.BadSwitch = word.empty() ? std::string("\"\"") : word;
        }
        i = next;
    }
    return options;
}
