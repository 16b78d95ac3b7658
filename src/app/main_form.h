// The main form: the full-screen backdrop, the owner of the uninstall log
// and of the product title, and the start-up dispatch on the first idle.
#pragma once

#include <memory>
#include <string>

#include "app/prev_inst.h"
#include "command_line.h"
#include "install/log_journal.h"
#include "ui/form.h"
#include "ui/graphics.h"
#include "uninstall/uninstall_run.h"
#include "uninstall_log.h"

// The backdrop's picture: 256 bands from blue 255 at the top to blue 0 at
// the bottom (band i from MulDiv(i, h, 256) to MulDiv(i + 1, h, 256)), and
// `title` in "Times New Roman" bold italic 24 pt, black at (25, 25) under
// white at (20, 20), over the bands.
void PaintBackdrop(HDC dc, int width, int height, const std::string& title);

// The refusal of an argument the program does not know (or a log path it
// does not accept).
std::string BadSwitchText(const std::string& argument);

// The action of the single-instance guard's event for this program: a copy
// named UNINST.EXE (any case) may run beside exactly one other instance;
// every other case keeps `action`.
TlornFoundAction AllowedInstancesAction(const std::string& exePath, int instanceCount, TlornFoundAction action);

class TMain : public TForm {
public:
    TMain();
    ~TMain() override;

    TLornPrevInstance LornPrevInstance1;
    // The product title from the trailer; drawn on the backdrop.
    std::string SetupTitle;
    // The backdrop's off-screen picture, as large as the client area.
    std::unique_ptr<TBitmap> Backdrop;
    // True until the first idle call: RunSetup runs exactly once.
    bool SetupPending = false;
    // Every item setup has put on the machine, newest first.
    ::UninstallLog UninstallLog;
    // What the command line asks for; read when the form is created,
    // before the single-instance check.
    SetupOptions Options;
    // The setup file the run reads: the running executable (tests give
    // another).
    std::string SetupPath;
    // The process's exit code (core/exit_codes.h): 0, but for a silent run
    // a failure's code until it has completed its work.
    int ExitCode = 0;
    // True while the silent run installs: a request to close then cancels
    // it, and it rolls back what it made.
    bool SilentInstalling = false;
    // The uninstaller's batch file, started after the forms are gone.
    PendingBatch Batch;
    // The log's copy on disk while the installer runs (none for the
    // uninstaller).
    std::unique_ptr<TLogJournal> Journal;
    // The journal of an earlier run still has a replaced file to put back.
    bool RecoveryIncomplete = false;

    void Loaded() override;
    void FormCreate() override;
    void FormCloseQuery(bool& canClose) override;
    void FormClose(TCloseAction& action) override;
    void FormDestroy() override;
    void FormShow() override;
    void FormResize() override;
    void FormPaint(HDC dc, const RECT& clip) override;
    void LornPrevInstance1AllowedInstancesExceeded(TLornPrevInstance& sender, int instanceCount,
                                                   TlornFoundAction& action);

    // The application's idle handler: runs RunSetup on the first call only;
    // whatever it raises is shown and then the log is rolled back.
    void ApplicationIdle(bool& done);
    // Reads and checks the running executable's trailer and starts the
    // installer wizard or the uninstall run.
    virtual void RunSetup();
    // Undoes what an interrupted earlier run left (telling the user unless
    // silent), then starts this run's journal.
    void StartJournal();
    // The silent runs: no backdrop, page or box.
    void RunSilently(const struct AcceptedSetup& setup);
};

// The process's main form.
extern TMain* Main;
