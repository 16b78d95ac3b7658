// Start-up of the setup program: the trailer step, the error box, the
// one-shot dispatch, closing the backdrop and the string table.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/main_form.h"
#include "app/setup_file.h"
#include "app/startup.h"
#include "crc32.h"
#include "errors.h"
#include "install/process_uninstall_log.h"
#include "layout.h"
#include "shell_fixture.h"
#include "ui/error_box.h"
#include "wizard/exit_setup.h"

namespace {

// An image of `imageBytes` bytes followed by a trailer and its checksum;
// `corrupt` spoils the stored checksum.
std::string SetupImage(size_t imageBytes, const char signature[3], const std::string& title, bool corrupt = false) {
    std::string bytes(imageBytes, 'M');
    uint8_t trailer[kTrailerSize];
    EncodeTrailer(MakeTrailer(static_cast<int32_t>(imageBytes), 0, title, signature), trailer);
    uint8_t crc[4];
    StoreLE32(crc, Crc32Of(trailer, kTrailerSize) ^ (corrupt ? 1u : 0u));
    bytes.append(reinterpret_cast<const char*>(trailer), kTrailerSize);
    bytes.append(reinterpret_cast<const char*>(crc), 4);
    return bytes;
}

struct TrailerCase {
    const char* name;
    std::string bytes;  // empty: no file at all
    int expectedId;     // 0: accepted
    const char* expectedBox;
};

TEST(SetupFileTest, RejectsEveryBadFileWithItsMessage) {
    const TrailerCase cases[] = {
        {"missing file", "", SE_CREATEFILE, "CreateFile failed."},
        {"shorter than the trailer", std::string(100, 'x'), SE_SETFILEPOINTER, "SetFilePointer failed."},
        {"empty file", std::string(), SE_SETFILEPOINTER, "SetFilePointer failed."},
        {"bad checksum", SetupImage(64, "INS", "T", true), SE_CORRUPT, "Setup Corrupt.."},
        {"lower-case signature", SetupImage(64, "ins", "T"), SE_CORRUPT, "Setup Corrupt.."},
        {"other signature", SetupImage(64, "XYZ", "T"), SE_CORRUPT, "Setup Corrupt.."},
        {"exactly 272 bytes, valid", SetupImage(0, "INS", "T"), 0, nullptr},
    };
    ScratchDir dir;
    for (const TrailerCase& c : cases) {
        SCOPED_TRACE(c.name);
        const bool noFile = std::string(c.name) == "missing file";
        std::string path = noFile ? dir.Path() + "\\absent.exe" : dir.Write("s.exe", c.bytes);
        try {
            AcceptedSetup setup = OpenSetupFile(path);
            EXPECT_EQ(c.expectedId, 0);
            EXPECT_TRUE(setup.File.Valid());
        } catch (const ESetupError& e) {
            EXPECT_EQ(e.Id, c.expectedId);
            EXPECT_EQ(ErrorBoxText(e.what()), c.expectedBox);
        }
    }
}

TEST(SetupFileTest, AcceptsBothRolesAndKeepsTheTitle) {
    ScratchDir dir;
    AcceptedSetup ins = OpenSetupFile(dir.Write("i.exe", SetupImage(500, "INS", "Velto - Technology Demo")));
    EXPECT_EQ(ins.Role, SetupRole::Install);
    EXPECT_EQ(ins.Trailer.Title.Get(), "Velto - Technology Demo");
    EXPECT_EQ(ins.Trailer.ImageSize, 500);
    AcceptedSetup uni = OpenSetupFile(dir.Write("u.exe", SetupImage(10, "UNI", "")));
    EXPECT_EQ(uni.Role, SetupRole::Uninstall);
    EXPECT_EQ(uni.Trailer.Title.Get(), "");
}

TEST(SetupFileTest, LeavesTheFileUnchangedAndShareableForReading) {
    ScratchDir dir;
    const std::string bytes = SetupImage(32, "INS", "T", true);
    const std::string path = dir.Write("c.exe", bytes);
    EXPECT_THROW(OpenSetupFile(path), ESetupError);
    AcceptedSetup ok = OpenSetupFile(dir.Write("ok.exe", SetupImage(32, "INS", "T")));
    // Another reader may open the executable while setup holds it.
    HANDLE other = CreateFileA((dir.Path() + "\\ok.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string back(bytes.size() + 16, '\0');
    DWORD got = 0;
    ReadFile(h, &back[0], static_cast<DWORD>(back.size()), &got, nullptr);
    CloseHandle(h);
    back.resize(got);
    EXPECT_EQ(back, bytes);
}

TEST(ErrorBoxTest, AppendsExactlyOneFullStop) {
    const struct {
        const char* message;
        const char* text;
    } cases[] = {
        {"CreateFile failed", "CreateFile failed."},
        {"Setup Corrupt.", "Setup Corrupt.."},
        {"Setup Cancelled.", "Setup Cancelled.."},
        {"", "."},
        {"Failed to set data for 'DisplayName'", "Failed to set data for 'DisplayName'."},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.text) << c.message;
}

class StartupTest : public ShellTest {};

TEST_F(StartupTest, ErrorBoxIsCaptionedWithTheTitleAndHasTheErrorIcon) {
    ShowErrorBox(ESetupError(SE_READFILE));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "ReadFile failed.");
    EXPECT_EQ(Boxes[0].Caption, "Setup");
    EXPECT_EQ(Boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Boxes[0].Flags & MB_TYPEMASK, static_cast<UINT>(MB_OK));
}

TEST_F(StartupTest, StringTableResourceMatchesTheMessageTable) {
    for (int id = kFirstSetupMessage; id <= kLastSetupMessage; ++id) {
        char buf[256] = {};
        int n = LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
        ASSERT_GT(n, 0) << id;
        EXPECT_STREQ(buf, SetupMessageText(id)) << id;
        EXPECT_STREQ(ESetupError(id).what(), buf) << id;
    }
}

void FormsThatCannotBeMade() { throw Exception("CreateWindow failed"); }

TEST_F(StartupTest, FormsThatCannotBeMadeFailOnlyASilentRunAndShowNoBoxThere) {
    const struct {
        const char* line;
        int exitCode;
        size_t boxes;
    } cases[] = {
        {"SETUP.EXE", 0, 1}, {"SETUP.EXE /S", 2, 0},  // nothing was changed: refused
    };
    const UINT before = SetErrorMode(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Boxes.clear();
        SetErrorMode(0);
        EXPECT_EQ(RunSetupProgram(c.line, &FormsThatCannotBeMade), c.exitCode);
        ASSERT_EQ(Boxes.size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(Boxes[0].Text, "CreateWindow failed.");
        }
        // A drive without its disk fails the call, never with the system's box.
        const UINT mode = SetErrorMode(0);
        EXPECT_EQ(mode & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
                  static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    }
    SetErrorMode(before);
}

// A main form whose dispatch is replaced by a step that fails.
class FailingMain : public TMain {
public:
    int Runs = 0;
    void RunSetup() override {
        ++Runs;
        throw ESetupError(SE_CORRUPT);
    }
};

TEST_F(StartupTest, RunSetupRunsOnceEvenWhenItFails) {
    FailingMain main;
    main.Create();
    ASSERT_TRUE(Application.OnIdle);  // FormCreate hooked the idle event
    EXPECT_TRUE(main.SetupPending);
    for (int i = 0; i < 3; ++i) {
        bool done = true;
        Application.OnIdle(done);
        EXPECT_TRUE(done);  // the handler never touches the flag
    }
    EXPECT_EQ(main.Runs, 1);
    EXPECT_FALSE(main.SetupPending);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Setup Corrupt..");
    // The rollback after the box ends the program.
    EXPECT_TRUE(DrainQuit());
    main.Destroy();
}

// The main form with a real exit dialog, driven by posted button presses.
class CloseBackdropTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        MakeForm(exitSetup_, ExitSetup);
        main_.reset(new TMain());
        main_->Create();
        logged_ = dir_.Write("installed.txt", "x");
        PushRecord(main_->UninstallLog, ukFile, logged_, 0);
    }
    void TearDown() override {
        main_->Destroy();
        exitSetup_->Destroy();
        ExitSetup = nullptr;
        ShellTest::TearDown();
    }
    // Queues a press of one of the exit dialog's buttons, taken up by the
    // modal loop as soon as the dialog runs.
    void PostPress(TButton& button) {
        PostMessageA(ExitSetup->Handle(), WM_COMMAND, MAKEWPARAM(button.Id(), BN_CLICKED), 0);
    }
    bool LoggedFileExists() const { return GetFileAttributesA(logged_.c_str()) != INVALID_FILE_ATTRIBUTES; }

    ScratchDir dir_;
    std::unique_ptr<TExitSetup> exitSetup_;
    std::unique_ptr<TMain> main_;
    std::string logged_;
};

TEST_F(CloseBackdropTest, ResumeKeepsEverything) {
    PostPress(ExitSetup->Button1);
    bool canClose = true;
    main_->FormCloseQuery(canClose);
    EXPECT_FALSE(canClose);
    EXPECT_FALSE(ExitSetup->Visible());
    EXPECT_EQ(main_->UninstallLog.Size(), 1u);
    EXPECT_TRUE(LoggedFileExists());
    EXPECT_FALSE(DrainQuit());
}

TEST_F(CloseBackdropTest, ExitSetupRemovesWhatIsLoggedAndEnds) {
    main_->Show();
    PostPress(ExitSetup->Button2);
    main_->Close();
    EXPECT_TRUE(main_->UninstallLog.Empty());
    EXPECT_FALSE(LoggedFileExists());
    EXPECT_FALSE(main_->Visible());
    EXPECT_TRUE(DrainQuit());
}

TEST_F(CloseBackdropTest, EveryWayOutOfTheDialogButExitSetupResumes) {
    // Posted to the dialog: what the keyboard and the close box deliver.
    const struct {
        const char* name;
        UINT msg;
        WPARAM wp;
        int expected;
    } cases[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE, mrCancel}, {"Enter", WM_KEYDOWN, VK_RETURN, mrCancel},
        {"close box", WM_CLOSE, 0, mrCancel},     {"Alt+R", WM_SYSCHAR, 'r', mrCancel},
        {"Alt+X", WM_SYSCHAR, 'x', mrOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PostMessageA(ExitSetup->Handle(), c.msg, c.wp, 0);
        EXPECT_EQ(ExitSetup->ShowModal(), c.expected);
        EXPECT_FALSE(ExitSetup->Visible());
    }
    EXPECT_EQ(main_->UninstallLog.Size(), 1u);
}

// Enter goes to whatever has the focus once the dialog is up.
void CALLBACK PressEnterOnFocus(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(CloseBackdropTest, EnterMeansResumeEvenAfterTheLastShowingLeftTheFocusOnExit) {
    // Tab to "E&xit Setup", then Esc: resumed, with the focus left on Exit.
    PostMessageA(ExitSetup->Button1.Handle(), WM_KEYDOWN, VK_TAB, 0);
    PostMessageA(ExitSetup->Button2.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(ExitSetup->ShowModal(), mrCancel);
    for (int showing = 0; showing < 2; ++showing) {
        SetTimer(nullptr, 0, 10, PressEnterOnFocus);
        EXPECT_EQ(ExitSetup->ShowModal(), mrCancel) << "showing " << showing;
    }
}

}  // namespace
