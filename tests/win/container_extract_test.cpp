// Payload extraction into a real destination: files byte for byte, the
// log, the progress, damaged installers, unsafe names and cancellation.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/startup.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/decompress_form.h"
#include "container/extract_payload.h"
#include "errors.h"
#include "install_fixture.h"
#include "lzss_decoder.h"
#include "runtime/files.h"
#include "shell_fixture.h"
#include "wizard/exit_setup.h"

using namespace install_test;

namespace {

TEST(ExtractHelpersTest, ProgressStaysWithinTheGaugeWithoutOverflow) {
    const struct {
        int64_t read, total;
        int expected;
    } cases[] = {
        {0, 100, 0},
        {1, 1000, 1},
        {999, 1000, 999},
        {1, 3, 333},
        {100, 100, 1000},
        {150, 100, 1000},  // more read than announced
        {0, 0, 1000},      // empty payload: done
        {5, 0, 1000},
        {-5, 100, 0},
        {2147483000, 2147483647, 999},  // TotalRead * 1000 overflows 32 bits
        {2147483647, 2147483647, 1000},
        {1073741824, 2147483647, 500},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressPosition(c.read, c.total), c.expected) << c.read << " of " << c.total;
}

TEST(ExtractHelpersTest, OnlyNamesInsideTheDestinationAreSafe) {
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"VELTO.EXE", true},
        {"DLL\\WSOCK32.DLL", true},
        {"sub/dir/file.txt", true},
        {"..file", true},
        {"file..", false},  // Windows drops the trailing dots
        {"a\\...\\b", false},
        {"", false},
        {"..\\evil.txt", false},
        {"../evil.txt", false},
        {"..", false},
        {"a\\..\\..\\evil.txt", false},
        {"a\\..", false},
        {"\\evil.txt", false},
        {"/evil.txt", false},
        {"\\\\server\\share\\evil.txt", false},
        {"C:\\evil.txt", false},
        {"C:evil.txt", false},
        {"file.txt:stream", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafePayloadName(c.name), c.safe) << c.name;
}

TEST(ExtractHelpersTest, OnlyWsock32GoesIntoDll) {
    EXPECT_EQ(InstalledPayloadName("WSOCK32.DLL"), "DLL\\WSOCK32.DLL");
    EXPECT_EQ(InstalledPayloadName("wSock32.dll"), "DLL\\WSOCK32.DLL");
    EXPECT_EQ(InstalledPayloadName("DLL\\wsock32.dll"), "DLL\\wsock32.dll");
    EXPECT_EQ(InstalledPayloadName("WSOCK32.DLL.BAK"), "WSOCK32.DLL.BAK");
}

// The installer with another Count in its trailer (extraction does not
// check the trailer's checksum again; start-up has done that).
Bytes WithCount(Bytes file, int32_t count) {
    StoreLE32(&file[file.size() - kTrailerDistance + 4], static_cast<uint32_t>(count));
    return file;
}

class ExtractTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        MakeForm(exitSetup_, ExitSetup);
        MakeForm(dialog_, Decompress);
        ConnectForms();
        cwd_ = GetCurrentDir();
    }
    void TearDown() override {
        EXPECT_EQ(GetCurrentDir(), cwd_) << "current directory not restored";
        EXPECT_FALSE(LzssBuffersHeld());
        dialog_->Destroy();
        Decompress = nullptr;
        exitSetup_->Destroy();
        ExitSetup = nullptr;
        ShellTest::TearDown();
    }
    // Writes the installer beside the destination and extracts it; the
    // size of the files written.
    uint64_t Extract(const Bytes& installer) {
        WriteBytes(setupPath_, installer);
        return ExtractPayload(*dialog_, setupPath_, dest_.Path(), log_);
    }
    int ExtractFailure(const Bytes& installer) {
        try {
            Extract(installer);
        } catch (const ESetupError& e) {
            return e.Id;
        } catch (const EInOutError&) {
            return -1;
        }
        return 0;
    }
    // Queues presses: the dialog's Cancel, then an answer in "Exit Setup".
    void PostCancel(bool exitSetup) {
        PostMessageA(dialog_->Handle(), WM_COMMAND, MAKEWPARAM(dialog_->Button1.Id(), BN_CLICKED), 0);
        PostExitAnswer(exitSetup);
    }
    void PostExitAnswer(bool exitSetup) {
        TButton& b = exitSetup ? ExitSetup->Button2 : ExitSetup->Button1;
        PostMessageA(ExitSetup->Handle(), WM_COMMAND, MAKEWPARAM(b.Id(), BN_CLICKED), 0);
    }

    std::unique_ptr<TExitSetup> exitSetup_;
    std::unique_ptr<TDecompress> dialog_;
    Destination dest_;
    Destination scratch_;
    std::string setupPath_ = scratch_ / "SETUP.EXE";
    UninstallLog log_;
    std::string cwd_;
};

TEST_F(ExtractTest, DialogLayoutGaugeAndButton) {
    EXPECT_EQ(dialog_->Caption(), "Decompressing...");
    EXPECT_EQ(dialog_->ClientWidth(), 336);
    EXPECT_EQ(dialog_->ClientHeight(), 112);
    EXPECT_EQ(dialog_->Gauge1.MinValue, 0);
    EXPECT_EQ(dialog_->Gauge1.MaxValue, 1000);
    EXPECT_EQ(dialog_->Gauge1.Progress(), 0);
    EXPECT_EQ(dialog_->DefaultButton(), &dialog_->Button1);
    EXPECT_EQ(dialog_->CancelButton(), &dialog_->Button1);
    // The percentage is drawn in the gauge's own bold font.
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog_->Gauge1.Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTA lf = {};
    ASSERT_NE(GetObjectA(font, sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, -13);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
}

TEST_F(ExtractTest, EveryFileArrivesByteForByteAndIsLoggedNewestFirst) {
    const std::vector<PackedFile> files = {
        {"EMPTY.TXT", {}},
        {"ONE.BIN", {0x42}},
        {"BLOCK.BIN", SampleBytes(32000, 1)},
        {"wsock32.dll", SampleBytes(4000, 2)},
        {"TWOBLOCKS.BIN", SampleBytes(64001, 3)},
        {"Upload\\NOTE.TXT", SampleBytes(300, 4)},
        {"BIG.BIN", SampleBytes(700000, 5)},
    };
    // A file of the same name as one of the payload is replaced.
    WriteBytes(dest_ / "ONE.BIN", SampleBytes(9000, 9));
    // The installed size counts the new file, not the one it replaced.
    EXPECT_EQ(Extract(BuildInstaller(files).File), 1u + 32000 + 4000 + 64001 + 300 + 700000);

    const std::vector<std::string> installedAs = {"EMPTY.TXT",     "ONE.BIN",          "BLOCK.BIN", "DLL\\WSOCK32.DLL",
                                                  "TWOBLOCKS.BIN", "Upload\\NOTE.TXT", "BIG.BIN"};
    std::vector<std::pair<int, std::string>> expectedLog;
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(installedAs[i]);
        EXPECT_EQ(ReadBytes(dest_ / installedAs[i]), files[i].Data);
        expectedLog.insert(expectedLog.begin(), {ukFile, dest_ / installedAs[i]});
    }
    EXPECT_FALSE(IsFile(dest_ / "wsock32.dll"));
    EXPECT_EQ(LogItems(log_), expectedLog);
    EXPECT_EQ(dialog_->Gauge1.Progress(), 1000);
    EXPECT_EQ(dialog_->Label2.Text(), "BIG.BIN");
    EXPECT_FALSE(dialog_->SourceHandle.Valid());
    EXPECT_FALSE(dialog_->OutFile.IsOpen());
}

TEST_F(ExtractTest, NoFilesAndEmptyStreams) {
    Extract(BuildInstaller({}).File);
    EXPECT_TRUE(log_.Empty());
    EXPECT_EQ(dialog_->Gauge1.Progress(), 0);

    // Every stream empty: the payload has no bytes, the gauge ends full.
    Extract(BuildInstaller({{"A.TXT", {}}, {"B.TXT", {}}}).File);
    EXPECT_EQ(dest_.Files(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_EQ(dialog_->Gauge1.Progress(), 1000);
}

TEST_F(ExtractTest, DamageIsReportedAndNothingIsWrittenPastIt) {
    const std::vector<PackedFile> files = {
        {"FIRST.TXT", SampleBytes(5000, 1)}, {"SECOND.TXT", SampleBytes(5000, 2)}, {"THIRD.TXT", SampleBytes(5000, 3)}};
    const BuiltInstaller good = BuildInstaller(files);
    const struct {
        const char* what;
        size_t offset;  // byte to flip
        int expectedId;
        std::vector<std::string> files;  // on disk afterwards, each logged
    } cases[] = {
        {"directory byte", good.DirectoryOffset + 264 + 100, SE_CORRUPT, {}},
        {"directory checksum", good.DirectoryOffset + 3 * 264, SE_CORRUPT, {}},
        {"second stream", good.StreamOffsets[1] + 10, SE_CORRUPT, {"FIRST.TXT", "SECOND.TXT"}},
        {"last byte of the last stream",
         good.DirectoryOffset - 1,
         SE_CORRUPT,
         {"FIRST.TXT", "SECOND.TXT", "THIRD.TXT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes damaged = good.File;
        damaged[c.offset] ^= 0x01;
        dialog_->Label2.SetText("");
        EXPECT_EQ(ExtractFailure(damaged), c.expectedId);
        EXPECT_EQ(dest_.Files(), c.files);
        // The dialog names the file the extraction ended with.
        EXPECT_EQ(dialog_->Label2.Text(), c.files.empty() ? "" : c.files.back());
        std::vector<std::pair<int, std::string>> expectedLog;
        for (const std::string& f : c.files) expectedLog.insert(expectedLog.begin(), {ukFile, dest_ / f});
        EXPECT_EQ(LogItems(log_), expectedLog);
        for (const std::string& f : c.files) DeleteFileA((dest_ / f).c_str());
        log_.Clear();
    }
}

TEST_F(ExtractTest, UnsafeNamesMakeTheSetupCorruptBeforeAnyFile) {
    for (const char* bad : {"..\\evil.txt", "DLL\\..\\..\\evil.txt", "\\evil.txt", "C:\\evil.txt", "C:evil.txt", ""}) {
        SCOPED_TRACE(bad);
        const std::vector<PackedFile> files = {{"GOOD.TXT", SampleBytes(100, 1)}, {bad, SampleBytes(100, 2)}};
        EXPECT_EQ(ExtractFailure(BuildInstaller(files).File), SE_CORRUPT);
        EXPECT_TRUE(dest_.Files().empty());
        EXPECT_TRUE(log_.Empty());
        EXPECT_FALSE(IsFile(scratch_.Path() + "\\..\\evil.txt"));
    }
}

TEST_F(ExtractTest, FailuresOfTheFileAndTheSystem) {
    const Bytes one = BuildInstaller({{"A.TXT", SampleBytes(10, 1)}}).File;
    // A subdirectory the destination page does not create: logged, then
    // the create fails.
    EXPECT_EQ(ExtractFailure(BuildInstaller({{"NOSUCH\\A.TXT", {1, 2}}}).File), -1);
    EXPECT_EQ(LogItems(log_), (std::vector<std::pair<int, std::string>>{{ukFile, dest_ / "NOSUCH\\A.TXT"}}));
    log_.Clear();

    const struct {
        const char* what;
        Bytes file;
        int expectedId;
    } cases[] = {
        {"shorter than a trailer", Bytes(100, 'x'), SE_SETFILEPOINTER},
        {"count reaching before the start", WithCount(one, 1000), SE_SETFILEPOINTER},
        {"negative count", WithCount(one, -1), SE_SETFILEPOINTER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExtractFailure(c.file), c.expectedId);
        EXPECT_TRUE(log_.Empty());
    }
    try {
        ExtractPayload(*dialog_, scratch_ / "ABSENT.EXE", dest_.Path(), log_);
        ADD_FAILURE() << "no error for a missing installer";
    } catch (const ESetupError& e) {
        EXPECT_EQ(e.Id, SE_CREATEFILE);
    }
    // A destination that cannot be made current.
    WriteBytes(setupPath_, one);
    EXPECT_THROW(ExtractPayload(*dialog_, setupPath_, dest_ / "MISSING", log_), EInOutError);
    EXPECT_TRUE(log_.Empty());
}

TEST_F(ExtractTest, CancelFinishesTheCurrentFileThenStops) {
    const std::vector<PackedFile> files = {{"FIRST.BIN", SampleBytes(100000, 1)}, {"SECOND.BIN", SampleBytes(100, 2)}};
    // Taken up by the first block's message processing.
    PostCancel(true);
    EXPECT_EQ(ExtractFailure(BuildInstaller(files).File), SE_CANCELLED);
    EXPECT_TRUE(dialog_->Cancelled);
    EXPECT_EQ(ReadBytes(dest_ / "FIRST.BIN"), files[0].Data);
    EXPECT_FALSE(IsFile(dest_ / "SECOND.BIN"));
    EXPECT_EQ(LogItems(log_), (std::vector<std::pair<int, std::string>>{{ukFile, dest_ / "FIRST.BIN"}}));
    // While cancelled the button asks nothing.
    dialog_->Button1Click();
    EXPECT_FALSE(ExitSetup->Visible());
}

// Runs `onPush` when the record of the file `name` (its path ends so) is
// pushed, just before that file is made.
class FileStartHook : public UninstallLogJournal {
public:
    FileStartHook(std::string name, std::function<void()> onPush)
        : name_(std::move(name)), onPush_(std::move(onPush)) {}
    void Pushed(const UninstallRecord& record) override {
        const std::string path = record.Path();
        if (path.size() >= name_.size() && path.compare(path.size() - name_.size(), name_.size(), name_) == 0)
            onPush_();
    }
    void Discard() override {}

private:
    std::string name_;
    std::function<void()> onPush_;
};

TEST_F(ExtractTest, ClickDuringALaterFileIsAnsweredWithinTheMessageInterval) {
    // The first block processes messages at once; later ones only when the
    // interval has passed since. A Cancel pressed during SECOND.BIN, once
    // that much time has gone by, is answered before THIRD.BIN is made.
    const std::vector<PackedFile> files = {
        {"FIRST.BIN", SampleBytes(1000, 1)}, {"SECOND.BIN", SampleBytes(1000, 2)}, {"THIRD.BIN", SampleBytes(1000, 3)}};
    FileStartHook hook("SECOND.BIN", [this] {
        Sleep(kExtractMessageInterval + 15);
        PostCancel(true);
    });
    log_.Journal = &hook;
    EXPECT_EQ(ExtractFailure(BuildInstaller(files).File), SE_CANCELLED);
    log_.Journal = nullptr;
    EXPECT_EQ(dest_.Files(), (std::vector<std::string>{"FIRST.BIN", "SECOND.BIN"}));
    EXPECT_EQ(dialog_->Label2.Text(), "SECOND.BIN");
}

TEST_F(ExtractTest, DamageOfTheCancelledFileIsReportedInstead) {
    BuiltInstaller b = BuildInstaller({{"ONLY.BIN", SampleBytes(50000, 1)}});
    b.File[b.DirectoryOffset - 10] ^= 0x10;  // near the end of the only stream
    PostCancel(true);
    EXPECT_EQ(ExtractFailure(b.File), SE_CORRUPT);
}

TEST_F(ExtractTest, ResumeGoesOnAndCancelWorksAgain) {
    const std::vector<PackedFile> files = {{"A.BIN", SampleBytes(70000, 1)}, {"B.BIN", SampleBytes(70000, 2)}};
    PostCancel(false);
    Extract(BuildInstaller(files).File);
    EXPECT_FALSE(dialog_->Cancelled);
    EXPECT_EQ(dest_.Files(), (std::vector<std::string>{"A.BIN", "B.BIN"}));
    PostExitAnswer(true);
    dialog_->Button1Click();
    EXPECT_TRUE(dialog_->Cancelled);
}

TEST_F(ExtractTest, ClosingTheDialogAsksAndCancels) {
    dialog_->Show();
    PostExitAnswer(false);
    dialog_->Close();
    EXPECT_TRUE(dialog_->Visible());
    EXPECT_FALSE(dialog_->Cancelled);
    PostExitAnswer(true);
    dialog_->Close();
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_TRUE(dialog_->Cancelled);
    // Asked again even when already cancelled.
    dialog_->Show();
    PostExitAnswer(false);
    dialog_->Close();
    EXPECT_TRUE(dialog_->Visible());
    dialog_->Hide();
}

}  // namespace
