// The uninstaller's batch file text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_script.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos) break;
        std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

TEST(BatchScript, ExampleInstallationLineByLine) {
    const std::vector<std::string> dirs = {"C:\\WINDOWS\\Start Menu\\Programs\\Velto",
                                           "C:\\Program Files\\Velto\\Download", "C:\\Program Files\\Velto\\Upload",
                                           "C:\\Program Files\\Velto\\DLL", "C:\\Program Files\\Velto"};
    const std::vector<std::string> expected = {
        "@ECHO OFF",
        "DEL \"C:\\Program Files\\Velto\\UNINST.EXE\"",
        "DEL \"C:\\Program Files\\Velto\\VELTO.INI\"",
        "CD C:\\",
        "RD \"C:\\WINDOWS\\Start Menu\\Programs\\Velto\"",
        "CD C:\\",
        "RD \"C:\\Program Files\\Velto\\Download\"",
        "CD C:\\",
        "RD \"C:\\Program Files\\Velto\\Upload\"",
        "CD C:\\",
        "RD \"C:\\Program Files\\Velto\\DLL\"",
        "CD C:\\",
        "RD \"C:\\Program Files\\Velto\"",
        "CD /D \"C:\\WINDOWS\\TEMP\"",
        "DEL \"DELUN0.BAT\"",
    };
    EXPECT_EQ(
        Lines(UninstallBatchText("C:\\Program Files\\Velto\\UNINST.EXE", "C:\\WINDOWS\\TEMP", "DELUN0.BAT", dirs)),
        expected);
}

TEST(BatchScript, NoRecordsGiveFiveLinesAndTheNameGoesLast) {
    std::vector<std::string> lines = Lines(UninstallBatchText("D:\\V\\UNINST.EXE", "C:\\T", "DELUN1.BAT", {}));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "DEL \"D:\\V\\VELTO.INI\"");
    EXPECT_EQ(lines[3], "CD /D \"C:\\T\"");
    EXPECT_EQ(lines[4], "DEL \"DELUN1.BAT\"");
    // In setup's own folder: moved out, the folder removed, the file
    // deleted, and nothing read after that one line.
    lines = Lines(UninstallBatchText("D:\\V\\UNINST.EXE", "C:\\T", "DELUN1.BAT", {}, "VELTOSETUP"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "CD /D \"C:\\T\"");
    EXPECT_EQ(lines[4],
              "MOVE /Y \"VELTOSETUP\\DELUN1.BAT\" \"DELUN1.BAT\" & RD \"VELTOSETUP\" & DEL \"DELUN1.BAT\" & EXIT");
}

TEST(BatchScript, DirectoryOnOtherDriveChangesToItsRoot) {
    EXPECT_EQ(BatchDirectoryLines("d:\\Apps"), "CD d:\\\r\nRD \"d:\\Apps\"\r\n");
}

TEST(BatchScript, PercentSignsAreDoubledEverywhere) {
    std::vector<std::string> lines = Lines(
        UninstallBatchText("C:\\Games\\100%Velto\\UNINST.EXE", "C:\\T%MP%", "DELUN0.BAT", {"C:\\Games\\100%Velto"}));
    EXPECT_EQ(lines[1], "DEL \"C:\\Games\\100%%Velto\\UNINST.EXE\"");
    EXPECT_EQ(lines[2], "DEL \"C:\\Games\\100%%Velto\\VELTO.INI\"");
    EXPECT_EQ(lines[4], "RD \"C:\\Games\\100%%Velto\"");
    EXPECT_EQ(lines[5], "CD /D \"C:\\T%%MP%%\"");
}

TEST(BatchScript, LongDirectoryIsWrittenWhole) {
    std::string dir = "C:\\" + std::string(252, 'd');  // 255 bytes, the longest a record holds
    std::vector<std::string> lines = Lines(BatchDirectoryLines(dir));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "RD \"" + dir + "\"");
    EXPECT_EQ(lines[1].size(), 260u);
}

TEST(BatchScript, DirectoryRecordsThatMayBecomeBatchLines) {
    const struct {
        std::string path;
        bool usable;
    } rows[] = {
        {"C:\\Program Files\\Velto", true},
        {"d:\\100%Velto", true},
        {"C:\\Caf\xe9 \xa0", true},  // bytes of the code page above 0x7F
        {"C:\\Velto\r\nDEL x", false},
        {std::string("C:\\Velto\0x", 10), false},
        {"C:\\Velto\" & RD /S /Q \"C:\\", false},
        {"\\\\server\\share\\Velto", false},
        {"Velto", false},
        {"1:\\Velto", false},
        {"C:", false},
        {"", false},
    };
    for (const auto& r : rows) EXPECT_EQ(IsBatchDirectory(r.path), r.usable) << r.path;
    // Every control byte, tab and Ctrl+Z included.
    for (int c = 1; c < 0x20; ++c)
        EXPECT_FALSE(IsBatchDirectory("C:\\A" + std::string(1, static_cast<char>(c)) + "B")) << c;
}

TEST(BatchScript, UninstallerDirectoryTable) {
    const struct {
        const char *path, *dir;
    } rows[] = {
        {"C:\\Program Files\\Velto\\UNINST.EXE", "C:\\Program Files\\Velto"},
        {"C:\\UNINST.EXE", "C:\\"},
        {"C:UNINST.EXE", "C:"},
        {"\\\\UNINST.EXE", "\\\\"},
        {"UNINST.EXE", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(UninstallerDirectory(r.path), r.dir) << r.path;
}

}  // namespace
