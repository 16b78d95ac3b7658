#include "app/startup.h"

#include "app/error_box.h"
#include "app/main_form.h"
#include "container/decompress_form.h"
#include "ui/application.h"
#include "uninstall/uninstall_form.h"
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
    Application.DestroyForms();
    return exitCode;
}
