// The install run with the real forms: extraction, icons and registry
// entry in order, and the rollback after each kind of failure, also of the
// silent run.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/startup.h"

#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "container/decompress_form.h"
#include "install/process_uninstall_log.h"
#include "install/program_icons.h"
#include "install/programs_dir.h"
#include "install/status_dialog.h"
#include "install_fixture.h"
#include "shell_fixture.h"
#include "wizard/choose_dest.h"
#include "wizard/exit_setup.h"
#include "wizard/install_run.h"
#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

using namespace install_test;

namespace {

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class InstallRunTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        MakeForm(main_, Main);
        MakeForm(decompress_, Decompress);
        MakeForm(exitSetup_, ExitSetup);
        MakeForm(startCopy_, StartCopy);
        MakeForm(setupComplete_, SetupComplete);
        MakeForm(unInstall_, UnInstall1);
        MakeForm(chooseDest_, ChooseDest);
        ConnectForms();
        programs_ = GetProgramsDir();
        ASSERT_FALSE(programs_.empty());
        choices_.SourcePath = scratch_ / "SETUP.EXE";
        choices_.DestDir = dest_.Path();
        choices_.DestCaption = "C:\\...\\Velto";
        choices_.ProgramFolder = "Velto Run Test";
        // The destination page has logged the destination it made.
        PushRecord(main_->UninstallLog, ukDirectory, dest_.Path(), 0);
        for (const char* sub : {"DLL", "Upload", "Download"})
            PushRecord(main_->UninstallLog, ukDirectory, dest_ / sub, 0);
    }
    void TearDown() override {
        ProcessUninstallLog(main_->UninstallLog);
        for (TForm* f : std::vector<TForm*>{chooseDest_.get(), unInstall_.get(), setupComplete_.get(), startCopy_.get(),
                                            exitSetup_.get(), decompress_.get(), main_.get()})
            f->Destroy();
        ChooseDest = nullptr;
        Main = nullptr;
        Decompress = nullptr;
        ExitSetup = nullptr;
        StartCopy = nullptr;
        SetupComplete = nullptr;
        UnInstall1 = nullptr;
        ShellTest::TearDown();
    }
    std::string Folder() const { return programs_ + "\\" + choices_.ProgramFolder; }
    // Nothing of the installation is left: files, folders, shortcuts, key.
    void ExpectNothingLeft() {
        EXPECT_TRUE(main_->UninstallLog.Empty());
        EXPECT_TRUE(DrainQuit()) << "setup does not end after the rollback";
        EXPECT_FALSE(IsDir(dest_.Path()));
        EXPECT_FALSE(IsDir(Folder()));
        EXPECT_FALSE(KeyExists(kUninstallKey));
    }

    std::unique_ptr<TMain> main_;
    std::unique_ptr<TDecompress> decompress_;
    std::unique_ptr<TExitSetup> exitSetup_;
    std::unique_ptr<TStartCopy> startCopy_;
    std::unique_ptr<TSetupComplete> setupComplete_;
    std::unique_ptr<TUnInstall1> unInstall_;
    std::unique_ptr<TChooseDest> chooseDest_;
    Destination scratch_;
    Destination dest_;
    std::string programs_;
    InstallChoices choices_;
    const std::vector<PackedFile> files_ = {{"VELTO.EXE", SampleBytes(40000, 1)},
                                            {"VELTO.DOC", SampleBytes(3000, 2)},
                                            {"WSOCK32.DLL", SampleBytes(900, 3)}};
};

TEST_F(InstallRunTest, SuccessLogsEverythingInOrderAndShowsTheLastPage) {
    WriteBytes(choices_.SourcePath, BuildInstaller(files_).File);
    RunInstall(choices_);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(DrainQuit());
    EXPECT_TRUE(setupComplete_->Visible());
    EXPECT_FALSE(startCopy_->Visible());
    EXPECT_FALSE(decompress_->Visible());
    EXPECT_FALSE(unInstall_->Visible());
    EXPECT_EQ(decompress_->Label1.Text(), "Decompressing files in C:\\...\\Velto");
    EXPECT_EQ(unInstall_->Caption(), "Progress");
    EXPECT_EQ(unInstall_->Label1.Text(), "Creating Registry Entries");
    EXPECT_EQ(decompress_->Gauge1.Progress(), 1000);
    const std::vector<std::pair<int, std::string>> expected = {
        {ukRegistryKey, kUninstallKey},       {ukFile, Folder() + "\\Velto Documentation.lnk"},
        {ukFile, Folder() + "\\Velto.lnk"},   {ukDirectory, Folder()},
        {ukFile, dest_ / "DLL\\WSOCK32.DLL"}, {ukFile, dest_ / "VELTO.DOC"},
        {ukFile, dest_ / "VELTO.EXE"},        {ukDirectory, dest_ / "Download"},
        {ukDirectory, dest_ / "Upload"},      {ukDirectory, dest_ / "DLL"},
        {ukDirectory, dest_.Path()},
    };
    EXPECT_EQ(LogItems(main_->UninstallLog), expected);
    EXPECT_TRUE(KeyExists(kUninstallKey));
    // Abandoning setup on the last page removes the whole installation.
    ProcessUninstallLog(main_->UninstallLog);
    ExpectNothingLeft();
}

TEST_F(InstallRunTest, EachFailureIsShownThenEverythingIsRolledBack) {
    const struct {
        const char* what;
        const char* box;
    } cases[] = {
        {"damaged stream", "Setup Corrupt.."},
        {"second shortcut", "CreateLink failed."},
        {"cancelled", "Setup Cancelled.."},
        {"backdrop closed", "Setup Cancelled.."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string what = c.what;
        BuiltInstaller b = BuildInstaller(files_);
        if (what == "damaged stream") b.File[b.StreamOffsets[1] + 5] ^= 1;
        WriteBytes(choices_.SourcePath, b.File);
        std::string blocker;
        if (what == "second shortcut") {
            // A folder where the second shortcut should go; made here, so
            // the test removes it itself afterwards.
            choices_.ProgramFolder = "Velto Blocked";
            blocker = Folder() + "\\Velto Documentation.lnk";
            fs::create_directories(blocker);
        }
        if (what == "cancelled") {
            PostMessageA(decompress_->Handle(), WM_COMMAND, MAKEWPARAM(decompress_->Button1.Id(), BN_CLICKED), 0);
            PostMessageA(exitSetup_->Handle(), WM_COMMAND, MAKEWPARAM(exitSetup_->Button2.Id(), BN_CLICKED), 0);
        }
        if (what == "backdrop closed") {
            // Closing the backdrop during extraction cancels the run; the run
            // then rolls back itself, after the file it is writing.
            PostMessageA(main_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
            PostMessageA(exitSetup_->Handle(), WM_COMMAND, MAKEWPARAM(exitSetup_->Button2.Id(), BN_CLICKED), 0);
        }
        RunInstall(choices_);
        EXPECT_FALSE(startCopy_->Installing);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Text, c.box);
        if (!blocker.empty()) {
            EXPECT_FALSE(IsFile(Folder() + "\\Velto.lnk"));
            fs::remove(blocker);
            fs::remove(Folder());
        }
        ExpectNothingLeft();
        EXPECT_FALSE(setupComplete_->Visible());
        Boxes.clear();
        // The next case starts from the destination page's state again.
        fs::create_directories(dest_.Path());
        for (const char* sub : {"DLL", "Upload", "Download"}) fs::create_directories(dest_ / sub);
        PushRecord(main_->UninstallLog, ukDirectory, dest_.Path(), 0);
        for (const char* sub : {"DLL", "Upload", "Download"})
            PushRecord(main_->UninstallLog, ukDirectory, dest_ / sub, 0);
        decompress_->Cancelled = false;
        decompress_->Hide();
        unInstall_->Hide();
    }
}

// Under /S nobody answers a question (a dialog shown would wait for the
// watchdog): a request to close, which reaches the main form from the
// hidden application window, cancels the silent run during the
// extraction; it rolls back and fails.
TEST_F(InstallRunTest, SilentRunAskedToCloseRollsBackWithoutAQuestion) {
    WriteBytes(choices_.SourcePath, BuildInstaller(files_).File);
    main_->SetupPath = choices_.SourcePath;
    main_->Options.Silent = true;
    main_->Options.DestDir = dest_.Path();
    main_->ExitCode = 1;
    main_->SetupPending = true;
    PostMessageA(main_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    bool done = true;
    Application.OnIdle(done);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(main_->ExitCode, 1);
    ExpectNothingLeft();
}

}  // namespace
