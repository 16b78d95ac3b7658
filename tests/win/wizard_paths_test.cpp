// The wizard's path helpers: shortening to a width, parents, the summary,
// the launch command, and the Programs folder's list.
#include <gtest/gtest.h>

#include "install/programs_dir.h"
#include "paths.h"
#include "runtime/handles.h"
#include "ui/layout.h"
#include "wizard/shorten_path.h"
#include "wizard_fixture.h"

namespace {

int CharCount(const std::string& s) { return static_cast<int>(s.size()); }

TEST(ShortenPathTest, GivesWayDirectoryByDirectoryThenTheDrive) {
    const struct {
        const char* path;
        int width;  // in characters
        const char* expected;
    } cases[] = {
        {"C:\\Program Files\\Velto", 100, "C:\\Program Files\\Velto"},
        {"C:\\Program Files\\Velto", 22, "C:\\Program Files\\Velto"},
        {"C:\\Program Files\\Velto", 21, "C:\\...\\Velto"},
        {"C:\\Program Files\\Velto", 11, "...\\Velto"},
        {"C:\\Program Files\\Velto", 8, "Velto"},
        {"C:\\Program Files\\Velto", 0, "Velto"},
        {"C:\\A\\B\\C\\Name", 13, "C:\\A\\B\\C\\Name"},
        {"C:\\A\\B\\C\\Name", 12, "C:\\...\\Name"},
        {"C:\\A\\B\\C\\Name", 10, "...\\Name"},
        {"C:\\Alpha\\B\\Name", 14, "C:\\...\\B\\Name"},
        {"C:\\Name", 6, "C:Name"},
        {"C:\\Name", 5, "Name"},
        {"\\\\srv\\share\\Name", 12, "\\...\\Name"},
        {"Velto", 0, "Velto"},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " in " + std::to_string(c.width));
        EXPECT_EQ(ShortenPath(c.path, c.width, CharCount), c.expected);
    }
}

TEST(ShortenPathTest, MeasuresInTheGivenFont) {
    FontHandle font(CreateFontA(kDialogFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                                kDialogFontName));
    WindowDC screen(nullptr);
    SelectedObject selected(screen.Get(), font.Get());
    auto width = [&](const char* text) {
        SIZE size = {0, 0};
        GetTextExtentPoint32A(screen.Get(), text, lstrlenA(text), &size);
        return static_cast<int>(size.cx);
    };
    const char* steps[] = {"C:\\Program Files\\Velto", "C:\\...\\Velto", "...\\Velto", "Velto"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(steps[i]);
        EXPECT_EQ(ShortenPathToWidth(steps[0], font.Get(), width(steps[i])), steps[i]);
        if (i > 0) {
            EXPECT_EQ(ShortenPathToWidth(steps[0], font.Get(), width(steps[i - 1]) - 1), steps[i]);
        }
    }
}

TEST(WizardPathsTest, ParentKeepsTheRootSeparator) {
    const struct {
        const char* path;
        const char* parent;
    } cases[] = {
        {"C:\\Program Files\\Velto", "C:\\Program Files"},
        {"C:\\Apps", "C:\\"},
        {"C:\\Apps\\", "C:\\Apps"},
        {"C:", "C:"},
        {"C:Velto", "C:"},
        {"\\\\srv\\share", "\\\\srv"},
        {"\\Velto", "\\"},
        {"Velto", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ParentDirectory(c.path), c.parent) << c.path;
}

TEST(WizardPathsTest, SummaryHasFiveLinesAndKeepsAnEmptyName) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SummaryLines("C:\\Program Files\\Velto", "Velto"),
              (Lines{"Destination Directory", "     C:\\Program Files\\Velto", "", "Program Folder", "     Velto"}));
    EXPECT_EQ(SummaryLines("D:\\V", ""), (Lines{"Destination Directory", "     D:\\V", "", "Program Folder", "     "}));
}

TEST(WizardPathsTest, LaunchCommandQuotesTheProgramPath) {
    EXPECT_EQ(LaunchCommand("C:\\Program Files\\Velto"), "\"C:\\Program Files\\Velto\\VELTO.EXE\"");
    EXPECT_EQ(LaunchCommand("C:\\Apps\\"), "\"C:\\Apps\\VELTO.EXE\"");
}

TEST(WizardPathsTest, MessageTextsBreakLinesWithCarriageReturns) {
    EXPECT_EQ(InvalidDirectoryText("C:\\X"),
              "The specified directory:\r\r'C:\\X'\r\ris invalid, incomplete, or write protected.  Please type a full "
              "path with drive letter; for example 'C:\\APPS'.");
    EXPECT_EQ(CreateDirectoryQuestion("C:\\X"),
              "The directory:\r\r'C:\\X'\r\rdoes not exist.  Do you want the directory to be created?");
    EXPECT_EQ(LowFreeSpaceQuestion("T:\\V"),
              "The specified drive:\r\r'T:\\V'\r\r has insufficent free disk space.  Do you want to choose a "
              "different drive?");
    EXPECT_EQ(CannotReadDriveText('q'),
              "Cannot read drive q:.\rMake sure the drive door is closed and the disk is formatted and free of "
              "errors.");
}

TEST(ProgramFoldersTest, ListsVisibleFoldersOnlySorted) {
    ScratchTree tree;
    tree.Dir("zeta");
    tree.Dir("Alpha");
    tree.Dir("beta");
    tree.Dir("Hidden", FILE_ATTRIBUTE_HIDDEN);
    tree.Dir("System", FILE_ATTRIBUTE_SYSTEM);
    HANDLE file = CreateFileA((tree / "file.lnk").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    EXPECT_EQ(ListProgramFolders(tree.Path()), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    EXPECT_TRUE(ListProgramFolders(tree / "missing").empty());
    EXPECT_TRUE(ListProgramFolders(tree / "zeta").empty());
}

TEST(ProgramFoldersTest, ProgramsFolderIsAnExistingDirectory) {
    ComInitialization com;
    com.Start();
    const std::string programs = GetProgramsDir();
    EXPECT_FALSE(programs.empty());
    EXPECT_TRUE(DirExists(programs)) << programs;
}

}  // namespace
