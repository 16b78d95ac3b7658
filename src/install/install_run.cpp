#include "install/install_run.h"

#include "app/error_box.h"
#include "app/main_form.h"
#include "container/decompress_form.h"
#include "container/extract_payload.h"
#include "install/process_uninstall_log.h"
#include "install/program_icons.h"
#include "runtime/files.h"
#include "ui/application.h"
#include "uninstall/uninstall_form.h"
#include "wizard/choose_dest.h"
#include "wizard/programs_dir.h"
#include "wizard/select_program.h"
#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

void RunInstall(const InstallChoices& choices) {
    UninstallLog& log = Main->UninstallLog;
    StartCopy->Hide();
    Decompress->Label1.SetText(Decompress->Label1.Text() + " " + choices.DestCaption);
    Decompress->Show();
    try {
        Application.ProcessMessages();
        ExtractPayload(*Decompress, choices.SourcePath, choices.DestDir, log);
        Decompress->Hide();
        Application.ProcessMessages();
        UnInstall1->SetCaption("Progress");
        UnInstall1->Label1.SetText("Creating Icons");
        UnInstall1->Show();
        Application.ProcessMessages();
        CreateProgramIcons(GetProgramsDir(), choices.ProgramFolder, choices.DestDir, log);
        UnInstall1->Label1.SetText("Creating Registry Entries");
        Application.ProcessMessages();
        CreateRegistryEntries(choices.DestDir, log);
        UnInstall1->Hide();
    } catch (...) {
        // The dialog of the failed step stays up behind the box and while
        // everything logged so far is removed; then setup ends.
        ShowCurrentException();
        ProcessUninstallLog(log);
        return;
    }
    SetupComplete->Show();
}

// The wizard's choices as the pages hold them when "&Next >" is pressed.
InstallChoices ChoicesFromPages() {
    InstallChoices choices;
    choices.SourcePath = ExecutablePath();
    choices.DestDir = ChooseDest->DestDir;
    choices.DestCaption = ChooseDest->Label5.Text();
    choices.ProgramFolder = SelectProgram->Edit1.Text();
    return choices;
}

void RunInstall() { RunInstall(ChoicesFromPages()); }
