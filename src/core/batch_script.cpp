#include "batch_script.h"

#include "paths.h"
#include "product.h"

namespace {

const char kEol[] = "\r\n";

std::string Quoted(const std::string& s) { return "\"" + BatchLiteral(s) + "\""; }

}  // namespace

std::string UninstallerDirectory(const std::string& exePath) {
    size_t cut = exePath.find_last_of("\\:");
    if (cut == std::string::npos) return std::string();
    std::string dir = exePath.substr(0, cut + 1);
    if (dir.size() >= 2 && dir.back() == '\\' && dir[dir.size() - 2] != ':' && dir[dir.size() - 2] != '\\') {
        dir.pop_back();
    }
    return dir;
}

bool IsBatchDirectory(const std::string& path) {
    if (path.size() < 3 || path[1] != ':') return false;
    const char drive = path[0];
    if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))) return false;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '"') return false;
    }
    return true;
}

std::string BatchLiteral(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

std::string BatchOpeningLines(const std::string& exePath) {
    std::string text = "@ECHO OFF";
    text += kEol;
    text += "DEL " + Quoted(exePath) + kEol;
    text += "DEL " + Quoted(JoinPath(UninstallerDirectory(exePath), kProductSettingsName)) + kEol;
    return text;
}

std::string BatchDirectoryLines(const std::string& directory) {
    std::string text = "CD ";
    if (!directory.empty()) text += BatchLiteral(directory.substr(0, 1));
    text += ":\\";
    text += kEol;
    // The whole path: a line cut short would name a different directory.
    text += "RD " + Quoted(directory) + kEol;
    return text;
}

std::string BatchClosingLines(const std::string& tempDir, const std::string& batchName, const std::string& folder) {
    if (folder.empty()) return "CD /D " + Quoted(tempDir) + kEol + "DEL " + Quoted(batchName) + kEol;
    return "CD /D " + Quoted(tempDir) + kEol + "MOVE /Y " + Quoted(folder + "\\" + batchName) + " " +
           Quoted(batchName) + " & RD " + Quoted(folder) + " & DEL " + Quoted(batchName) + " & EXIT" + kEol;
}

std::string UninstallBatchText(const std::string& exePath, const std::string& tempDir, const std::string& batchName,
                               const std::vector<std::string>& directories, const std::string& folder) {
    std::string text = BatchOpeningLines(exePath);
    for (const std::string& dir : directories) text += BatchDirectoryLines(dir);
    text += BatchClosingLines(tempDir, batchName, folder);
    return text;
}
