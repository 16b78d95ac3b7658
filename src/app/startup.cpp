#include "app/startup.h"

#include <windows.h>

#include "app/main_form.h"
#include "app/run_log_file.h"
#include "command_line.h"
#include "container/decompress_form.h"
#include "exit_codes.h"
#include "install/status_dialog.h"
#include "runtime/handles.h"
#include "runtime/system_library.h"
#include "ui/application.h"
#include "ui/error_box.h"
#include "uninstall/uninstall_run.h"
#include "wizard/change_dir.h"
#include "wizard/choose_dest.h"
#include "wizard/exit_setup.h"
#include "wizard/select_program.h"
#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

namespace {

// A failure reached the application's handler during a silent run.
bool failedSilently = false;

}  // namespace

void CreateForms() {
    Application.CreateForm(Main);
    Application.CreateForm(Decompress);
    Application.CreateForm(ChooseDest);
    Application.CreateForm(ChangeDir);
    Application.CreateForm(ExitSetup);
    Application.CreateForm(SelectProgram);
    Application.CreateForm(StartCopy);
    Application.CreateForm(SetupComplete);
    Application.CreateForm(UnInstall1);
    ConnectForms();
}

void ConnectForms() {
    // The progress dialog asks before it quits, with the wizard's dialog.
    Decompress->ConfirmQuit = [] { return ExitSetup->ConfirmExit(); };
}

int RunSetupProgram() {
    // Before any DLL is loaded but those the image imports: none other may
    // come from the folder the program was started from.
    RestrictDllSearch();
    // The standard controls are those of version 6 as long as a window lives.
    const CommonControls commonControls = LoadCommonControls();
    return RunSetupProgram(GetCommandLineA(), &CreateForms);
}

int RunSetupProgram(const std::string& commandLine, void (*createForms)()) {
    // A drive without its disk (an empty removable drive named as the
    // destination) fails the call that reads it, and this program reports
    // that, instead of the system holding the run in a box of its own.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const SetupOptions options = ParseSetupCommandLine(commandLine);
    const bool silent = options.Silent;
    // The process's one log sink, for the whole run. A log path that is
    // refused is not opened: the run refuses it as a bad switch.
    TRunLogFile runLog;
    if (options.Log && !IsRefusedLog(options.LogPath)) runLog.Open(options.LogPath, commandLine);
    ConnectRunLog(&runLog);
    ScopeExit disconnect([] { ConnectRunLog(nullptr); });
    Application.Initialize();
    Application.SetTitle("Setup");
    // Under /S nobody would answer a box: a failure that reaches the
    // application's handler is not shown, but it fails the run.
    failedSilently = false;
    if (silent)
        Application.OnException = [](const std::exception&) { failedSilently = true; };
    else
        Application.OnException = [](const std::exception& e) { ShowErrorBox(e); };
    bool created = false;
    try {
        createForms();
        // Under /S a request to close any of its (hidden) windows ends the
        // run without a question.
        if (ExitSetup) ExitSetup->Unattended = silent;
        created = true;
    } catch (...) {
        ShowCurrentException();
    }
    // Nothing is shown here: the first idle call of the loop decides.
    // Without its forms the program has done nothing, which a silent run
    // must not report as success.
    int exitCode = ExitCodeOf(RunOutcome::Refused, silent);
    PendingBatch batch;
    if (created) {
        Application.Run();
        exitCode = Main->ExitCode;
        batch = Main->Batch;
    }
    Application.DestroyForms();
    // A failure no handler of the run caught: reported as a failed run.
    if (failedSilently && exitCode == kExitSuccess) exitCode = kExitRolledBack;
    ReportMessage(std::string(), ExitLogLine(exitCode, silent));
    // The uninstaller's very last action: its windows are gone, and the
    // batch file that deletes it starts as the process ends.
    StartBatchFile(batch);
    return exitCode;
}
