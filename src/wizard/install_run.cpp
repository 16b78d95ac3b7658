#include "wizard/install_run.h"

#include "container/decompress_form.h"
#include "container/extract_payload.h"
#include "errors.h"
#include "install/process_uninstall_log.h"
#include "install/program_icons.h"
#include "install/programs_dir.h"
#include "install/setup_log.h"
#include "install/status_dialog.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "ui/application.h"
#include "ui/error_box.h"
#include "wizard/choose_dest.h"
#include "wizard/select_program.h"
#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

namespace {

// Pumps messages; a close of the backdrop confirmed meanwhile cancels the
// run here, so the rollback below removes everything.
void PumpMessages() {
    Application.ProcessMessages();
    if (Decompress->Cancelled) throw ESetupError(SE_CANCELLED);
}

}  // namespace

void RunInstall(const InstallChoices& choices) {
    UninstallLog& log = SetupLog();
    // The install run is at work for as long as it runs.
    StartCopy->Installing = true;
    ScopeExit installing([] { StartCopy->Installing = false; });
    StartCopy->Hide();
    Decompress->Label1.SetText(Decompress->Label1.Text() + " " + choices.DestCaption);
    Decompress->Show();
    try {
        Application.ProcessMessages();
        const uint64_t installedBytes = ExtractPayload(*Decompress, choices.SourcePath, choices.DestDir, log);
        Decompress->Hide();
        PumpMessages();
        UnInstall1->SetCaption("Progress");
        UnInstall1->Label1.SetText("Creating Icons");
        UnInstall1->Show();
        PumpMessages();
        CreateProgramIcons(GetProgramsDir(), choices.ProgramFolder, choices.DestDir, log);
        UnInstall1->Label1.SetText("Creating Registry Entries");
        PumpMessages();
        CreateRegistryEntries(choices.DestDir, installedBytes, log);
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
