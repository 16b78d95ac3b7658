// The wizard's pages on real forms: the destination checks of Next with a
// replaced free-space query, the Choose Directory dialog's OK and drive
// handling, Browse's fallbacks, the summary and the folder list.
#include <gtest/gtest.h>

#include "paths.h"
#include "ui/message_dialog.h"
#include "wizard/shorten_path.h"
#include "wizard_fixture.h"

namespace {

class DestinationChecksTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        ChooseDest->FreeSpace = [this](const std::string& root) {
            Roots.push_back(root);
            return Free;
        };
    }
    std::vector<std::string> Roots;
    int64_t Free = 10000000;
    ScratchTree tree_;
};

TEST_F(DestinationChecksTest, LowFreeSpaceAsksAndYesStaysOnThePage) {
    const struct {
        const char* name;
        int64_t free;
        int answer;  // 0: no question expected
        bool passes;
    } cases[] = {
        {"plenty", 10000000, 0, true},
        {"exactly the threshold", 2000000, 0, true},
        {"one byte short, Yes", 1999999, mrYes, false},
        {"one byte short, No", 1999999, mrNo, true},
        {"unknown, Yes", -1, mrYes, false},
        {"unknown, No", -1, mrNo, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchTree tree;
        ChooseDest->DestDir = tree / "Velto";
        Free = c.free;
        Roots.clear();
        Dialogs.clear();
        if (c.answer) Answers = {c.answer};
        const std::string cwd = CurrentDirectory();
        EXPECT_EQ(ChooseDest->CheckDestination(), c.passes);
        EXPECT_EQ(Roots, std::vector<std::string>{tree.Path().substr(0, 1) + ":\\"});
        if (c.answer) {
            ASSERT_EQ(Dialogs.size(), 1u);
            EXPECT_EQ(Dialogs[0].Text, LowFreeSpaceQuestion(ChooseDest->DestDir));
            EXPECT_EQ(Dialogs[0].Type, mtWarning);
            EXPECT_EQ(Dialogs[0].Buttons, static_cast<unsigned>(mbYesNo));
        } else {
            EXPECT_TRUE(Dialogs.empty());
        }
        EXPECT_EQ(DirExists(tree / "Velto\\Download"), c.passes);
        EXPECT_EQ(CurrentDirectory(), cwd);
        Main->UninstallLog.Clear();
    }
}

TEST_F(DestinationChecksTest, CreatesTheDestinationAndItsSubdirectoriesAndLogsThem) {
    ChooseDest->DestDir = tree_ / "Apps\\Velto";
    ASSERT_TRUE(ChooseDest->CheckDestination());
    EXPECT_TRUE(Dialogs.empty());  // made without asking
    const std::string dest = ChooseDest->DestDir;
    EXPECT_EQ(LoggedPaths(Main->UninstallLog),
              (std::vector<std::string>{dest + "\\Download", dest + "\\Upload", dest + "\\DLL", dest, tree_ / "Apps"}));
    // Again (Back, then Next): nothing new is made or logged.
    ASSERT_TRUE(ChooseDest->CheckDestination());
    EXPECT_EQ(Main->UninstallLog.Size(), 5u);
}

TEST_F(DestinationChecksTest, RefusesUnusableDestinations) {
    // (Wine keeps no read-only mark on a directory; the end-to-end tests
    // refuse a read-only one.)
    const std::string system = tree_.Dir("System", FILE_ATTRIBUTE_SYSTEM);
    // A file where the destination should be: neither entered nor created.
    const std::string file = tree_ / "file";
    CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (const std::string& dest : {system, file, std::string("Velto"), tree_ / "bad\\"}) {
        SCOPED_TRACE(dest);
        ChooseDest->DestDir = dest;
        Dialogs.clear();
        const std::string cwd = CurrentDirectory();
        EXPECT_FALSE(ChooseDest->CheckDestination());
        ASSERT_EQ(Dialogs.size(), 1u);
        EXPECT_EQ(Dialogs[0].Text, InvalidDirectoryText(dest));
        EXPECT_EQ(Dialogs[0].Type, mtError);
        EXPECT_EQ(CurrentDirectory(), cwd);
        EXPECT_FALSE(DirExists(dest + "\\DLL"));
    }
    EXPECT_TRUE(Main->UninstallLog.Empty());
}

TEST_F(DestinationChecksTest, RefusesADestinationWhoseInstalledPathsWouldNotBeLoggedWhole) {
    // With the longest installed name of 15 (DLL\WSOCK32.DLL), a
    // destination of 239 bytes fits (239 + 1 + 15 = 255), one of 240 not.
    ChooseDest->LongestInstalledName = 15;
    const std::string base = tree_.Path() + "\\";
    for (size_t length : {239u, 240u}) {
        const std::string dest = base + std::string(length - base.size(), 'd');
        SCOPED_TRACE(length);
        ChooseDest->DestDir = dest;
        Dialogs.clear();
        EXPECT_EQ(ChooseDest->CheckDestination(), length == 239u);
        if (length == 240u) {
            ASSERT_EQ(Dialogs.size(), 1u);
            EXPECT_EQ(Dialogs[0].Text, DestinationTooLongText(dest));
            EXPECT_FALSE(DirExists(dest));
        }
    }
    // And the program folder: its longer shortcut must fit a record.
    EXPECT_TRUE(ProgramFolderFits("C:\\P", std::string(200, 'f')));
    EXPECT_FALSE(ProgramFolderFits("C:\\P", std::string(230, 'f')));
}

TEST_F(DestinationChecksTest, ASubdirectoryThatCannotBeMadeIsASetupError) {
    const std::string dest = tree_.Dir("Velto");
    // A file named like the second subdirectory.
    CloseHandle(CreateFileA((dest + "\\Upload").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ChooseDest->DestDir = dest;
    const std::string cwd = CurrentDirectory();
    try {
        ChooseDest->CheckDestination();
        ADD_FAILURE() << "no error";
    } catch (const ESetupError& e) {
        EXPECT_EQ(e.Id, SE_MAKEDIRECTORY);
    }
    // DLL stays made and logged; the current directory is back.
    EXPECT_EQ(LoggedPaths(Main->UninstallLog), std::vector<std::string>{dest + "\\DLL"});
    EXPECT_EQ(CurrentDirectory(), cwd);
}

TEST_F(DestinationChecksTest, NextMovesToPageTwoOnlyWhenTheChecksPass) {
    ChooseDest->DestDir = tree_ / "Velto";
    ChooseDest->Show();
    Free = 0;
    Answers = {mrYes};
    ChooseDest->Button3.Click();
    EXPECT_TRUE(ChooseDest->Visible());
    EXPECT_FALSE(SelectProgram->Visible());
    Answers = {mrNo};
    ChooseDest->Button3.Click();
    EXPECT_FALSE(ChooseDest->Visible());
    EXPECT_TRUE(SelectProgram->Visible());
    // Pages are topmost and centred.
    EXPECT_TRUE(GetWindowLongA(SelectProgram->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT r;
    GetWindowRect(SelectProgram->Handle(), &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
    SelectProgram->Hide();
}

TEST_F(WizardTest, DefaultDestinationIsProgramFilesDirWithVelto) {
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(ChooseDest->DefaultDestDir, JoinPath(value, "Velto"));
    EXPECT_EQ(ChooseDest->DestDir, ChooseDest->DefaultDestDir);
    EXPECT_EQ(ChooseDest->Label5.Text(), ShortenPathToWidth(ChooseDest->DestDir, ChooseDest->Font(), 225));
}

TEST_F(WizardTest, SummaryIsRebuiltAtEveryShowAndTypingChangesNothing) {
    ChooseDest->DestDir = "C:\\Apps\\Velto";
    SelectProgram->Edit1.SetText("");
    StartCopy->Show();
    EXPECT_EQ(StartCopy->Memo1.Lines(), SummaryLines("C:\\Apps\\Velto", ""));
    SendMessageA(StartCopy->Memo1.Handle(), WM_CHAR, 'x', 0);
    EXPECT_EQ(StartCopy->Memo1.Lines(), SummaryLines("C:\\Apps\\Velto", ""));
    StartCopy->Button2.Click();  // Back
    EXPECT_FALSE(StartCopy->Visible());
    EXPECT_TRUE(SelectProgram->Visible());
    SelectProgram->Edit1.SetText("Tools\\Velto");
    SelectProgram->Button3.Click();  // Next
    EXPECT_EQ(StartCopy->Memo1.Lines(), SummaryLines("C:\\Apps\\Velto", "Tools\\Velto"));
    StartCopy->Hide();
}

TEST_F(WizardTest, FolderListFillsFromTheProgramsFolderAndAPickReplacesTheName) {
    ScratchTree tree;
    tree.Dir("Games");
    tree.Dir("Accessories");
    tree.Dir("Secret", FILE_ATTRIBUTE_HIDDEN);
    SelectProgram->FillFolderList(tree.Path());
    ASSERT_EQ(SelectProgram->ListBox1.Count(), 2);
    EXPECT_EQ(SelectProgram->ListBox1.Item(0), "Accessories");
    SelectProgram->Edit1.SetText("typed by the user");
    SelectProgram->ListBox1Click();  // nothing selected: nothing happens
    EXPECT_EQ(SelectProgram->Edit1.Text(), "typed by the user");
    SelectProgram->ListBox1.SetItemIndex(1);
    SelectProgram->ListBox1Click();
    EXPECT_EQ(SelectProgram->Edit1.Text(), "Games");
}

TEST_F(WizardTest, ExitSetupOnAPageRollsBackAndEnds) {
    ScratchTree tree;
    ChooseDest->DestDir = tree / "Velto";
    ChooseDest->FreeSpace = [](const std::string&) { return int64_t{1} << 40; };
    ASSERT_TRUE(ChooseDest->CheckDestination());
    SelectProgram->Show();
    PostPress(*ExitSetup, ExitSetup->Button1);  // Resume
    SelectProgram->Button4.Click();
    EXPECT_FALSE(DrainQuit());
    EXPECT_TRUE(DirExists(tree / "Velto\\DLL"));
    PostPress(*ExitSetup, ExitSetup->Button2);  // Exit Setup
    SelectProgram->Button4.Click();
    EXPECT_TRUE(DrainQuit());
    EXPECT_FALSE(DirExists(tree / "Velto"));
    EXPECT_TRUE(Main->UninstallLog.Empty());
    SelectProgram->Hide();
    // Unattended (/S), a close request to a hidden page is an exit, with no
    // box to wait on: nothing is posted to answer one here.
    ASSERT_TRUE(ChooseDest->CheckDestination());
    ExitSetup->Unattended = true;
    SendMessageA(SelectProgram->Handle(), WM_CLOSE, 0, 0);
    ExitSetup->Unattended = false;
    EXPECT_TRUE(DrainQuit());
    EXPECT_FALSE(DirExists(tree / "Velto"));
}

TEST_F(WizardTest, ChooseDirectoryOkAsksBeforeCreatingAndRefusesUnusable) {
    ScratchTree tree;
    const std::string target = tree / "New\\Velto";
    const std::string cwd = CurrentDirectory();

    ChangeDir->Edit1.SetText(target);
    Answers = {mrNo};
    ChangeDir->Button2Click();
    EXPECT_EQ(ChangeDir->ModalResult, mrNone);
    ASSERT_EQ(Dialogs.size(), 1u);
    EXPECT_EQ(Dialogs[0].Text, CreateDirectoryQuestion(target));
    EXPECT_EQ(Dialogs[0].Type, mtConfirmation);
    EXPECT_FALSE(DirExists(tree / "New"));

    Answers = {mrYes};
    ChangeDir->Button2Click();
    EXPECT_EQ(ChangeDir->ModalResult, mrOk);
    EXPECT_EQ(ChangeDir->AcceptedPath, target);
    EXPECT_EQ(LoggedPaths(Main->UninstallLog), (std::vector<std::string>{target, tree / "New"}));
    EXPECT_EQ(CurrentDirectory(), cwd);

    // Existing: no question. A system directory: refused, the dialog stays.
    ChangeDir->ModalResult = mrNone;
    Dialogs.clear();
    const std::string locked = tree.Dir("Locked", FILE_ATTRIBUTE_SYSTEM);
    ChangeDir->Edit1.SetText(locked);
    ChangeDir->Button2Click();
    EXPECT_EQ(ChangeDir->ModalResult, mrNone);
    ASSERT_EQ(Dialogs.size(), 1u);
    EXPECT_EQ(Dialogs[0].Text, InvalidDirectoryText(locked));
    EXPECT_EQ(CurrentDirectory(), cwd);

    // A relative name is taken inside the directory the list shows.
    Dialogs.clear();
    tree.Dir("Shown\\Inner");
    ChangeDir->DirectoryListBox1.SetDirectory(tree / "Shown");
    ChangeDir->Edit1.SetText("Inner");
    ChangeDir->Button2Click();
    EXPECT_EQ(ChangeDir->ModalResult, mrOk);
    EXPECT_TRUE(Dialogs.empty());
    EXPECT_EQ(ChangeDir->AcceptedPath, tree / "Shown\\Inner");
    ChangeDir->ModalResult = mrNone;
}

TEST_F(WizardTest, DirectoryListShowsAncestorsAndVisibleSubdirectories) {
    ScratchTree tree;
    tree.Dir("Top\\b");
    tree.Dir("Top\\A");
    tree.Dir("Top\\h", FILE_ATTRIBUTE_HIDDEN);
    TDirectoryListBox& list = ChangeDir->DirectoryListBox1;
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.SetDirectory(tree / "Top");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.Directory(), tree / "Top");
    const int count = list.Count();
    ASSERT_GE(count, 4);
    EXPECT_EQ(list.EntryPath(0), tree.Path().substr(0, 3));
    EXPECT_EQ(list.EntryPath(count - 3), tree / "Top");
    EXPECT_EQ(list.EntryPath(count - 2), tree / "Top\\A");
    EXPECT_EQ(list.EntryPath(count - 1), tree / "Top\\b");
    EXPECT_EQ(list.ItemIndex(), count - 3);

    // A directory that cannot be entered changes nothing.
    list.SetDirectory(tree / "Top\\missing");
    EXPECT_EQ(list.Directory(), tree / "Top");
    EXPECT_EQ(changes, 1);
    // Opening an entry makes it the list's directory.
    list.SetItemIndex(count - 2);
    list.OpenSelected();
    EXPECT_EQ(list.Directory(), tree / "Top\\A");
    EXPECT_EQ(changes, 2);
    // A drive that does not exist raises.
    const DWORD drives = GetLogicalDrives();
    char missing = 0;
    for (char d = 'q'; d <= 'y' && !missing; ++d)
        if (!(drives & (1u << (d - 'a')))) missing = d;
    ASSERT_TRUE(missing);
    EXPECT_THROW(list.SetDrive(missing), EInOutError);
    EXPECT_EQ(list.Directory(), tree / "Top\\A");
    list.OnChange = [this] { ChangeDir->DirectoryListBox1Change(); };
}

TEST_F(WizardTest, UnreadableDriveOffersRetryAndCancelGoesBack) {
    const DWORD drives = GetLogicalDrives();
    char missing = 0;
    for (char d = 'q'; d <= 'y' && !missing; ++d)
        if (!(drives & (1u << (d - 'a')))) missing = d;
    ASSERT_TRUE(missing);
    ChangeDir->DriveComboBox1.SetDrive('c');
    ASSERT_EQ(ChangeDir->LastGoodDrive, 'c');

    // Retry once, then Cancel: back to the last good drive.
    BoxAnswers = {IDRETRY, IDCANCEL};
    ChangeDir->DriveComboBox1.SetDrive(static_cast<char>(missing - 'a' + 'A'));
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[0].Text, CannotReadDriveText(missing));
    EXPECT_EQ(Boxes[0].Caption, "Choose Directory");
    EXPECT_EQ(Boxes[0].Flags, static_cast<UINT>(MB_ICONERROR | MB_RETRYCANCEL));
    EXPECT_EQ(ChangeDir->DriveComboBox1.Drive(), 'c');
    EXPECT_EQ(ChangeDir->LastGoodDrive, 'c');
    EXPECT_EQ(ChangeDir->Edit1.Text(), ChangeDir->DirectoryListBox1.Directory());

    // A last good drive that fails itself falls back to C.
    Boxes.clear();
    ChangeDir->LastGoodDrive = missing;
    BoxAnswers = {IDCANCEL};
    ChangeDir->DriveComboBox1.SetDrive(missing);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(ChangeDir->DriveComboBox1.Drive(), 'c');
    EXPECT_EQ(ChangeDir->LastGoodDrive, 'c');
}

TEST_F(WizardTest, BrowseFallsBackToParentsAndKeepsTheDestinationInThePathBox) {
    ScratchTree tree;
    tree.Dir("Default");
    tree.Dir("Parent");
    ChooseDest->DefaultDestDir = tree / "Default\\Velto";
    const struct {
        std::string dest;
        std::string listed;
    } cases[] = {
        {tree.Dir("Exists"), tree / "Exists"},
        {tree / "Parent\\Velto", tree / "Parent"},
        {tree / "Gone\\Velto", tree / "Default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dest);
        ChooseDest->DestDir = c.dest;
        PostPress(*ChangeDir, ChangeDir->Button3);  // Cancel
        ChooseDest->Button1Click();
        EXPECT_EQ(ChangeDir->DirectoryListBox1.Directory(), c.listed);
        EXPECT_EQ(ChangeDir->Edit1.Text(), c.dest);
        EXPECT_EQ(ChooseDest->DestDir, c.dest);
    }
    // OK takes the path box's text as the new destination.
    ChooseDest->DestDir = tree / "Parent";
    ChangeDir->Edit1.SetText("");
    PostPress(*ChangeDir, ChangeDir->Button2);  // OK on the destination itself
    ChooseDest->Button1Click();
    EXPECT_EQ(ChooseDest->DestDir, tree / "Parent");
    EXPECT_EQ(ChooseDest->Label5.Text(), ShortenPathToWidth(tree / "Parent", ChooseDest->Font(), 225));
}

}  // namespace
