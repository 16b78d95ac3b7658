#include "run_log.h"

#include "paths.h"

namespace {

RunLogSink* g_sink = nullptr;

std::string ItemText(const UninstallRecord& r) {
    switch (r.Kind) {
        case ukDirectory: return "directory " + r.Path();
        case ukFile: return "file " + r.Path();
        case ukRegistryKey:
            return std::string("registry key ") + (r.RootKey == kHKeyLocalMachine ? "HKEY_LOCAL_MACHINE\\" : "") +
                   r.Path();
        default: return "record of kind " + std::to_string(r.Kind) + " " + r.Path();
    }
}

}  // namespace

void ConnectRunLog(RunLogSink* sink) { g_sink = sink; }

void ReportMade(const UninstallRecord& record) noexcept {
    try {
        if (g_sink) g_sink->Made(record);
    } catch (...) {}
}

void ReportRemoved(const UninstallRecord& record, bool done) noexcept {
    try {
        if (g_sink) g_sink->Removed(record, done);
    } catch (...) {}
}

void ReportMessage(const std::string& kind, const std::string& text) noexcept {
    try {
        if (g_sink) g_sink->Message(kind, text);
    } catch (...) {}
}

std::string MadeLogLines(const UninstallRecord& record) {
    if (record.Kept.empty()) return "Made " + ItemText(record);
    if (record.Kind == ukFile)
        return "Kept " + ItemText(record) + " as " + record.Kept + "\r\nMade " + ItemText(record);
    return "Changed " + ItemText(record) + ", its former values kept";
}

std::string RemovedLogLine(const UninstallRecord& record, bool done) {
    if (!record.Kept.empty()) {
        const std::string from = record.Kind == ukFile ? " from " + record.Kept : std::string();
        return (done ? "Restored " : "Could not restore ") + ItemText(record) + from;
    }
    if (record.Kind == ukDirectory && !done) return "Left " + ItemText(record) + ", which is not empty";
    return (done ? "Removed " : "Could not remove ") + ItemText(record);
}

std::string MessageLogLines(const std::string& kind, const std::string& text) {
    std::string out = kind.empty() ? std::string() : kind + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n    ";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string DefaultLogName(int n) { return "VeltoSetup-" + std::to_string(n) + ".log"; }

bool IsRefusedLogPath(const std::string& fullPath, const std::string& journalName,
                      const std::string& privateFolderName) {
    const std::string path = UpperCaseString(fullPath);
    const std::string folder = UpperCaseString(privateFolderName);
    size_t start = 0;
    for (;;) {
        const size_t sep = path.find_first_of("\\/", start);
        const std::string part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (sep == std::string::npos) return part == UpperCaseString(journalName);
        if (part == folder) return true;
        start = sep + 1;
    }
}
