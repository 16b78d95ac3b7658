#include "app/run_log_file.h"

#include <windows.h>

#include "install/log_journal.h"
#include "paths.h"
#include "product.h"
#include "runtime/private_folder.h"

namespace {

constexpr int kMaxLogNumber = 9999;

std::string TimeText(bool withDate) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    if (withDate)
        wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    else
        wsprintfA(text, "%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
    return text;
}

HANDLE CreateLog(const std::string& path, DWORD disposition) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

#ifdef _WIN64
constexpr char kArchitecture[] = "x86-64";
#else
constexpr char kArchitecture[] = "i686";
#endif

}  // namespace

std::string FullLogPath(const std::string& path) {
    char full[MAX_PATH + 1];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return path;
    std::string result(full, n);
    // A short name (VELTOS~1) names the same folder: compare long names.
    char longName[MAX_PATH + 1];
    DWORD m = GetLongPathNameA(result.c_str(), longName, sizeof longName);
    if (m > 0 && m < sizeof longName) return std::string(longName, m);
    const size_t sep = result.find_last_of('\\');
    if (sep == std::string::npos) return result;
    m = GetLongPathNameA(result.substr(0, sep).c_str(), longName, sizeof longName);
    if (m == 0 || m >= sizeof longName) return result;
    return JoinPath(std::string(longName, m), result.substr(sep + 1));
}

bool IsRefusedLog(const std::string& path) {
    return IsRefusedLogPath(FullLogPath(path), kJournalName, kPrivateFolderName);
}

void TRunLogFile::Open(const std::string& path, const std::string& commandLine) {
    if (!path.empty()) {
        path_ = FullLogPath(path);
        file_.Reset(CreateLog(path_, CREATE_ALWAYS));
    } else {
        char temp[MAX_PATH + 1];
        const DWORD n = GetTempPathA(sizeof temp, temp);
        if (n == 0 || n >= sizeof temp) return;
        for (int i = 1; i <= kMaxLogNumber && !file_; ++i) {
            path_ = JoinPath(std::string(temp, n), DefaultLogName(i));
            file_.Reset(CreateLog(path_, CREATE_NEW));
            if (!file_ && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
        }
    }
    if (!file_) return;
    Write("Velto setup log, started " + TimeText(true) + "\r\nCommand line: " + commandLine + "\r\nSetup " +
          kSetupVersion + ", " + kArchitecture);
}

void TRunLogFile::Made(const UninstallRecord& record) { Write(MadeLogLines(record)); }

void TRunLogFile::Removed(const UninstallRecord& record, bool done) { Write(RemovedLogLine(record, done)); }

void TRunLogFile::Message(const std::string& kind, const std::string& text) { Write(MessageLogLines(kind, text)); }

void TRunLogFile::Write(const std::string& lines) {
    if (!file_) return;
    const std::string time = TimeText(false) + "  ";
    std::string out = time;
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (lines[i] == '\n' && i + 1 < lines.size()) out += time;
    }
    out += "\r\n";
    DWORD written = 0;
    if (!WriteFile(file_.Get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr) || written != out.size())
        file_.Reset();
}
