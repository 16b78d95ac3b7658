#include "app/main_form.h"

#include "app/run_log_file.h"
#include "app/setup_file.h"
#include "app/silent_install.h"
#include "container/decompress_form.h"
#include "container/extract_payload.h"
#include "exit_codes.h"
#include "install/process_uninstall_log.h"
#include "install/program_icons.h"
#include "install/setup_log.h"
#include "paths.h"
#include "pe_image.h"
#include "product.h"
#include "run_log.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/private_folder.h"
#include "runtime/win_byte_source.h"
#include "ui/dpi.h"
#include "ui/error_box.h"
#include "ui/message_dialog.h"
#include "uninstall/uninstall_run.h"
#include "wizard/choose_dest.h"
#include "wizard/exit_setup.h"
#include "wizard/start_copy.h"

TMain* Main = nullptr;

namespace {

const FormLayout kMainLayout = {
    "TMain",
    "Setup",
    427,
    273,
    FormBorder::Single,
    FormPosition::Designed,
    kDialogFontName,
    kDialogFontHeight,
    static_cast<int>(RGB(0, 0, 0)),
    nullptr,
    0,
};

constexpr int kBands = 256;

// A directory that cannot be read is reported by the extraction, as before;
// until then the destination page uses its own estimate.
void ReadLongestInstalledName(const AcceptedSetup& setup) {
    try {
        HandleByteSource whole(setup.File.Get());
        LimitedByteSource source(whole, setup.DataEnd);
        ChooseDest->LongestInstalledName = LongestInstalledName(ReadPayloadDirectory(source, setup.Trailer));
    } catch (const Exception&) {}
}

// The message of the exception being handled, as the error box would
// show it. Only inside a catch block.
std::string CaughtMessage() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return EOutOfMemory().what();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

}  // namespace

std::string BadSwitchText(const std::string& argument) { return "Setup does not accept the switch '" + argument + "'"; }

void PaintBackdrop(HDC dc, int width, int height, const std::string& title) {
    for (int i = 0; i < kBands; ++i) {
        RECT band = {0, MulDiv(i, height, kBands), width, MulDiv(i + 1, height, kBands)};
        if (band.bottom <= band.top) continue;
        BrushHandle brush(CreateSolidBrush(RGB(0, 0, 255 - i)));
        FillRect(dc, &band, brush.Get());
    }
    FontHandle font = MakeFont("Times New Roman", PointsToHeight(24), fsBold | fsItalic, FF_ROMAN);
    SelectedObject selected(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    const int length = static_cast<int>(title.size());
    // The font's points follow the screen's resolution; so do the places.
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, Scaled(25), Scaled(25), title.data(), length);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, Scaled(20), Scaled(20), title.data(), length);
}

TlornFoundAction AllowedInstancesAction(const std::string& exePath, int instanceCount, TlornFoundAction action) {
    const size_t sep = exePath.find_last_of("\\:");
    const std::string name = sep == std::string::npos ? exePath : exePath.substr(sep + 1);
    if (UpperCaseString(name) == kUninstallerName && instanceCount == 2) return lornfaNone;
    return action;
}

TMain::TMain() : TForm(kMainLayout) {
    ConnectSetupLog(&UninstallLog, &SetupTitle);
    LornPrevInstance1.AllowedInstances = 1;
    LornPrevInstance1.FoundAction = lornfaRestoreAndQuit;
    LornPrevInstance1.OnAllowedInstancesExceeded = [this](TLornPrevInstance& sender, int count,
                                                          TlornFoundAction& action) {
        LornPrevInstance1AllowedInstancesExceeded(sender, count, action);
    };
    // A second copy ends at once. It has installed nothing: a silent one
    // says so through its exit code, which deployment tools retry on.
    LornPrevInstance1.Halt = [this] {
        ExitCode = ExitCodeOf(RunOutcome::AnotherCopyRunning, Options.Silent);
        ReportMessage(std::string(), "Another copy of Setup is running.");
        ReportMessage(std::string(), ExitLogLine(ExitCode, Options.Silent));
        ExitProcess(static_cast<UINT>(ExitCode));
    };
}

TMain::~TMain() { ConnectSetupLog(nullptr, nullptr); }

void TMain::Loaded() {
    // Read before the single-instance check, which may end the process.
    Options = ParseSetupCommandLine(GetCommandLineA());
    if (Options.Log && Options.BadSwitch.empty() && IsRefusedLog(Options.LogPath))
        Options.BadSwitch = "/LOG=" + Options.LogPath;
    ExitCode = ExitCodeOf(RunOutcome::RolledBack, Options.Silent);
    LornPrevInstance1.Loaded();
}

void TMain::LornPrevInstance1AllowedInstancesExceeded(TLornPrevInstance& sender, int instanceCount,
                                                      TlornFoundAction& action) {
    (void)sender;
    action = AllowedInstancesAction(ExecutablePath(), instanceCount, action);
}

void TMain::FormCreate() {
    SetupPath = ExecutablePath();
    SetupPending = true;
    Application.OnIdle = [this](bool& done) { ApplicationIdle(done); };
    UninstallLog.Clear();
    Backdrop.reset(new TBitmap());
}

void TMain::ApplicationIdle(bool& done) {
    (void)done;
    if (!SetupPending) return;
    SetupPending = false;
    try {
        RunSetup();
    } catch (...) {
        // Nothing in the log: the run failed before it changed anything.
        const bool changed = !UninstallLog.Empty();
        if (Options.Silent)
            ReportMessage(Application.Title(), ErrorBoxText(CaughtMessage()));
        else
            ShowCurrentException();
        std::vector<std::string> notRestored;
        ProcessUninstallLog(UninstallLog, &notRestored);
        // A journal whose replaced file could not be put back is an undo
        // left incomplete, though this run changed nothing.
        ExitCode = ExitCodeOf(FailureOutcome(changed || RecoveryIncomplete, notRestored.empty() && !RecoveryIncomplete),
                              Options.Silent);
    }
}

void TMain::RunSetup() {
    if (!Options.BadSwitch.empty()) throw Exception(BadSwitchText(Options.BadSwitch));
    AcceptedSetup setup = OpenSetupFile(SetupPath);
    SetupTitle = setup.Trailer.Title.Get();
    ReportMessage(std::string(), std::string(setup.Role == SetupRole::Install ? "Installer" : "Uninstaller") + " of '" +
                                     SetupTitle + "', " + SetupPath);
    if (setup.Role == SetupRole::Install) {
        // Before anything is changed, with or without a window.
        const std::string other = OtherArchitectureInstallation();
        if (!other.empty()) throw Exception(OtherArchitectureText(other));
    }
    if (Options.Silent) {
        RunSilently(setup);
        return;
    }
    Show();
    if (setup.Role == SetupRole::Install) {
        if (!Options.DestDir.empty()) ChooseDest->SetDestDir(Options.DestDir);
        StartJournal();
        ReadLongestInstalledName(setup);
        ChooseDest->Show();
        return;
    }
    RunUninstall(setup.File.Get(), setup.Trailer.ImageSize, setup.Trailer.Count, false, &Batch);
}

void TMain::RunSilently(const AcceptedSetup& setup) {
    if (setup.Role == SetupRole::Install) {
        SilentInstalling = true;
        ScopeExit installing([this] { SilentInstalling = false; });
        StartJournal();
        ReadLongestInstalledName(setup);
        SilentInstall(SetupPath, Options.DestDir, UninstallLog);
        ExitCode = kExitSuccess;
        Application.Terminate();
        return;
    }
    const bool allRemoved = RunUninstall(setup.File.Get(), setup.Trailer.ImageSize, setup.Trailer.Count, true, &Batch);
    ExitCode = ExitCodeOf(allRemoved ? RunOutcome::Completed : RunOutcome::NotAllRemoved, true);
}

void TMain::StartJournal() {
    const PrivateFolder own = OpenPrivateFolder();
    const std::string path = JoinPath(own.Path, kJournalName);
    // Made first: it removes the folder again, when it is left empty, even
    // if this run goes no further.
    Journal.reset(new TLogJournal(path));
    std::string folder, refused;
    switch (RecoverInterruptedInstall(path, folder, &refused, !own.TakenOver)) {
        case RecoveryResult::Recovered:
            if (!Options.Silent)
                MessageDlg(RecoveredText(folder), mtInformation, mbOK);
            else
                ReportMessage(MessageDlgCaption(mtInformation), RecoveredText(folder));
            break;
        case RecoveryResult::Refused:
            // Under /S the run ends as a failure: an administrator learns of
            // it from the exit code.
            if (Options.Silent) throw Exception(RefusedJournalText(path, refused));
            MessageDlg(RefusedJournalText(path, refused), mtWarning, mbOK);
            break;
        case RecoveryResult::Incomplete:
            // A new run would write its journal over the one that still
            // has a file to put back: this one ends here.
            RecoveryIncomplete = true;
            throw Exception(NotPutBackText({refused}));
        default: break;
    }
    UninstallLog.Journal = Journal.get();
}

void TMain::FormCloseQuery(bool& canClose) {
    // Under /S nobody is there to answer: a request to close ends the run.
    if (Options.Silent) return;
    if (!ExitSetup->ConfirmExit()) canClose = false;
}

void TMain::FormClose(TCloseAction& action) {
    if ((StartCopy && StartCopy->Installing) || SilentInstalling) {
        // The install run (the wizard's or the silent one) is inside its
        // message pump with files open: it finishes the current file and
        // rolls everything back itself, the wizard's after reporting "Setup
        // Cancelled.". The backdrop stays until then.
        Decompress->Cancelled = true;
        action = TCloseAction::caNone;
        return;
    }
    ProcessUninstallLog(UninstallLog);
}

void TMain::FormDestroy() {
    Backdrop.reset();
    // The journal stays on disk when records are left: they are what a
    // later start must undo.
    UninstallLog.Journal = nullptr;
}

void TMain::FormShow() {
    SetWindowPos(Handle(), HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0);
}

void TMain::FormResize() {
    if (!Backdrop) return;
    const int width = ClientWidth();
    const int height = ClientHeight();
    Backdrop->SetSize(width, height);
    PaintBackdrop(Backdrop->Canvas(), width, height, SetupTitle);
}

void TMain::FormPaint(HDC dc, const RECT& clip) {
    if (!Backdrop || Backdrop->Empty()) return;
    BitBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, Backdrop->Canvas(), clip.left,
           clip.top, SRCCOPY);
}
