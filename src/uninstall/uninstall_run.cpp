#include "uninstall/uninstall_run.h"

#include "batch_script.h"
#include "errors.h"
#include "install/process_uninstall_log.h"
#include "install/setup_log.h"
#include "install/status_dialog.h"
#include "paths.h"
#include "run_log.h"
#include "runtime/change_point.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/private_folder.h"
#include "runtime/win_byte_source.h"
#include "ui/application.h"
#include "ui/message_dialog.h"

namespace {

const char kBatchNameFormat[] = "DELUN%d.BAT";
// The temporary directory is read into a buffer of this size.
constexpr DWORD kTempBufferSize = 256;

// `dir` as a full path, resolved the way JoinPath names a file in it: a
// bare drive ("C:") is its root, a relative folder lies below the current
// directory. Empty when it cannot be resolved.
std::string FullDirectory(const std::string& dir) {
    const std::string probe = JoinPath(dir, "X");
    char full[MAX_PATH + 1];
    const DWORD n = GetFullPathNameA(probe.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return std::string();
    std::string result(full, n);
    if (result.size() < 3 || result.compare(result.size() - 2, 2, "\\X") != 0) return std::string();
    result.resize(result.size() - 2);
    // A root keeps its separator (C:\), as "TMP" names it.
    if (result.back() == ':') result += '\\';
    return result;
}

}  // namespace

std::string BatchTempDirectory() {
    char buffer[kTempBufferSize];
    DWORD n = GetEnvironmentVariableA("TMP", buffer, kTempBufferSize);
    if (n > 0 && n < kTempBufferSize) return FullDirectory(std::string(buffer, n));

    char system[MAX_PATH + 1];
    n = GetTempPathA(sizeof system, system);
    if (n == 0 || n >= sizeof system) return std::string();
    // Given with a final "\"; the batch file's CD line names the directory
    // without one, as "TMP" does (a root keeps its "\").
    return FullDirectory(std::string(system, n));
}

std::string RemoveInstallation(RecordList records, const std::string& exePath, const std::string& tempDir,
                               UninstallLog& log, std::vector<std::string>* notRemoved, const std::string& folder) {
    return RemoveInstallation(
        std::move(records), exePath, tempDir, log,
        [notRemoved](UninstallLog& items) { ProcessUninstallLog(items, notRemoved); }, folder);
}

std::string RemoveInstallation(RecordList records, const std::string& exePath, const std::string& tempDir,
                               UninstallLog& log, const std::function<void(UninstallLog&)>& processLog,
                               const std::string& folder) {
    const std::string batchDir = folder.empty() ? tempDir : JoinPath(tempDir, folder);
    std::string name;
    if (folder.empty()) {
        name = GetUniqueFilenameInDir(batchDir, kBatchNameFormat, FileExists);
    } else {
        // A batch file left here by an uninstall that was ended before it
        // could start it would keep the folder forever: it goes now (one
        // that a command interpreter is still running stays open, and stays).
        WIN32_FIND_DATAA found;
        FindHandle find(FindFirstFileA(JoinPath(batchDir, "DELUN*.BAT").c_str(), &found));
        for (bool more = find.Valid(); more; more = FindNextFileA(find.Get(), &found))
            DeleteFileA(JoinPath(batchDir, found.cFileName).c_str());
        // It is moved into the temporary directory at its end: free there too.
        for (int i = 0; i < 100 && name.empty(); ++i) {
            const std::string candidate = "DELUN" + std::to_string(i) + ".BAT";
            if (!FileExists(JoinPath(batchDir, candidate)) && !FileExists(JoinPath(tempDir, candidate)))
                name = candidate;
        }
    }
    if (name.empty()) throw ESetupError(SE_UNIQUEFILENAME);
    const std::string path = JoinPath(batchDir, name);

    TTextFile batch;
    batch.Rewrite(path);
    // A batch file that was not completed is closed and deleted (closed
    // first: the system does not delete a file that is still open).
    ScopeExit unfinished([&] {
        batch.Discard();
        DeleteFileA(path.c_str());
        if (!folder.empty()) RemovePrivateFolderIfEmpty(batchDir);
    });
    batch.Write(BatchOpeningLines(exePath));
    // The uninstall entry goes last: an uninstall that is killed half-way
    // stays in the list of installed programs, to be run again.
    std::vector<std::unique_ptr<UninstallRecord>> keys;
    for (std::unique_ptr<UninstallRecord>& record : records) {
        if (record->Kind == ukDirectory) {
            const std::string dir = record->Path();
            if (IsBatchDirectory(dir)) {
                batch.Write(BatchDirectoryLines(dir));
                ReportMessage(std::string(), "Left to the batch file, once Setup has ended: directory " + dir);
            }
            record.reset();
        } else if (record->Kind == ukRegistryKey) {
            keys.push_back(std::move(record));
        } else {
            AppendRecord(log, std::move(record));
        }
    }
    for (std::unique_ptr<UninstallRecord>& key : keys) AppendRecord(log, std::move(key));
    processLog(log);
    batch.Write(BatchClosingLines(tempDir, name, folder));
    batch.Close();
    ChangePoint();
    unfinished.Dismiss();
    return path;
}

std::string NotRemovedText(const std::vector<std::string>& items) {
    // A long list is cut: the box must still fit the screen.
    constexpr size_t kShown = 10;
    std::string text = "Setup could not remove these items:\r";
    for (size_t i = 0; i < items.size() && i < kShown; ++i) text += "\r'" + items[i] + "'";
    if (items.size() > kShown) text += "\r... and " + std::to_string(items.size() - kShown) + " more";
    return text + "\r\rThey may be in use by another program.  You can delete them yourself.";
}

std::string BatchCommandLine(const std::string& batchPath) { return "\"" + batchPath + "\""; }

bool RunUninstall(HANDLE file, int32_t imageSize, int32_t count, bool silent, PendingBatch* startLater) {
    if (!silent && MessageDlg("Are you sure you want to uninstall?", mtConfirmation, mbYesNo) != mrYes) {
        Application.Terminate();
        return false;
    }
    if (!silent) {
        UnInstall1->Show();
        Application.ProcessMessages();
    }

    // Every check comes first: nothing is removed and no batch file is
    // written for a damaged file or without a temporary directory.
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) throw ESetupError(SE_GETFILESIZE);
    HandleByteSource source(file);
    RecordList records = ReadUninstallRecords(source, size.QuadPart, imageSize, count);
    const std::string tempDir = BatchTempDirectory();
    if (tempDir.empty()) throw ESetupError(SE_UNIQUEFILENAME);
    // The batch file runs with this program's rights and is read line by
    // line while it runs: it goes into the folder only administrators can
    // write.
    const PrivateFolder own = OpenPrivateFolder(tempDir);

    std::vector<std::string> notRemoved;
    const std::string batch = RemoveInstallation(std::move(records), ExecutablePath(), own.TempDir, SetupLog(),
                                                 &notRemoved, kPrivateFolderName);
    if (!notRemoved.empty() && !silent) {
        // The log processing has asked the application to end; the box
        // needs the loop once more, and the batch file must wait for it
        // (it deletes this very program).
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        MessageDlg(NotRemovedText(notRemoved), mtWarning, mbOK);
    } else if (!notRemoved.empty()) {
        ReportMessage(MessageDlgCaption(mtWarning), NotRemovedText(notRemoved));
    }
    Application.Terminate();
    const PendingBatch pending = {batch, tempDir};
    if (startLater)
        *startLater = pending;
    else
        StartBatchFile(pending);
    return notRemoved.empty();
}

void StartBatchFile(const PendingBatch& batch) {
    if (batch.Path.empty()) return;
    // The batch file (and the console host the system starts for it)
    // inherits this process's current directory, and a directory that is
    // any process's current directory cannot be removed. The uninstaller is
    // usually started from the destination itself: leave it first.
    SetCurrentDir(batch.TempDir);
    ChangePoint();
    // Nothing waits for the batch file; it outlives this process.
    WinExec(BatchCommandLine(batch.Path).c_str(), SW_HIDE);
}
