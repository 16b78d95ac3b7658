#include "wizard/setup_complete.h"

#include <windows.h>

#include <iterator>

#include "container/uninstaller_writer.h"
#include "install/setup_log.h"
#include "paths.h"
#include "product.h"
#include "runtime/files.h"
#include "runtime/kept_copy.h"
#include "wizard/choose_dest.h"

TSetupComplete* SetupComplete = nullptr;

namespace {

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", kPageMargin, 16, kPageTextWidth, 13,
     "Setup has finished copying files to your computer."},
    {ControlKind::Label, "Label2", kPageMargin, 44, kPageTextWidth, 13,
     "Setup will now launch the program.  Select your option below."},
    {ControlKind::CheckBox, "CheckBox1", 24, 76, 288, 17, "Yes, launch Velto", cfChecked},
    {ControlKind::Label, "Label3", kPageMargin, 112, kPageTextWidth, 13, "Click Finish to complete Setup."},
    {ControlKind::Button, "Button2", kPageBackLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "< &Back",
     cfDisabled},
    {ControlKind::Button, "Button3", kPageNextLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "Finish",
     cfDefault},
};

const FormLayout kLayout = WizardPageLayout("TSetupComplete", "Setup Complete", kRows, std::size(kRows));

}  // namespace

std::string LaunchCommand(const std::string& destDir) { return "\"" + JoinPath(destDir, kProductProgram) + "\""; }

TSetupComplete::TSetupComplete()
    : TWizardPage(kLayout),
      Label1(Control<TLabel>("Label1")),
      Label2(Control<TLabel>("Label2")),
      CheckBox1(Control<TCheckBox>("CheckBox1")),
      Label3(Control<TLabel>("Label3")),
      Button2(Control<TButton>("Button2")),
      Button3(Control<TButton>("Button3")) {}

void TSetupComplete::FormCreate() {
    Button3.OnClick = [this] { Button3Click(); };
}

void FinishInstallation(const std::string& destDir) {
    UninstallLog& log = SetupLog();
    UninstallerJob job;
    job.InstallerPath = ExecutablePath();
    job.DestDir = destDir;
    job.Title = ProductTitle();
    job.LeftFiles = KeptCopies(log);
    WriteUninstallerFile(job, log);
    DeleteKeptCopies(job.LeftFiles);
    if (log.Journal) log.Journal->Discard();
}

void TSetupComplete::Button3Click() {
    // The log becomes the uninstaller's record list: from here on nothing
    // rolls the installation back, and what setup kept of the files it
    // replaced is no longer needed.
    FinishInstallation(ChooseDest->DestDir);
    if (CheckBox1.Checked()) {
        // The program starts in its own folder. A failure to get there
        // raises, and setup then stays on this page.
        ChDir(ChooseDest->DestDir);
        WinExec(LaunchCommand(ChooseDest->DestDir).c_str(), SW_SHOW);
    }
    Application.Terminate();
}
