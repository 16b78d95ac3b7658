#include "app/startup.h"

#include "app/main_form.h"
#include "container/decompress_form.h"
#include "install/status_dialog.h"
#include "ui/application.h"
#include "ui/error_box.h"
#include "uninstall/uninstall_run.h"
#include "wizard/change_dir.h"
#include "wizard/choose_dest.h"
#include "wizard/exit_setup.h"
#include "wizard/select_program.h"
#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

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
    Decompress->ConfirmQuit = [] { return ExitSetup->ShowModal() == mrOk; };
}

int RunSetupProgram() {
    Application.Initialize();
    Application.SetTitle("Setup");
    Application.OnException = [](const std::exception& e) { ShowErrorBox(e); };
    bool created = false;
    try {
        CreateForms();
        created = true;
    } catch (...) {
        ShowCurrentException();
    }
    // Nothing is shown here: the first idle call of the loop decides.
    if (created) Application.Run();
    const int exitCode = Main ? Main->ExitCode : 0;
    const PendingBatch batch = Main ? Main->Batch : PendingBatch();
    Application.DestroyForms();
    // The uninstaller's very last action: its windows are gone, and the
    // batch file that deletes it starts as the process ends.
    StartBatchFile(batch);
    return exitCode;
}
