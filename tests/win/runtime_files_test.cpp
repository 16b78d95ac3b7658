// The run time's files: whole-block reads and writes, and the error each
// failing operation raises.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/win_byte_source.h"
#include "shell_fixture.h"

namespace {

int CodeOf(void (*op)(const std::string&), const std::string& arg) {
    try {
        op(arg);
    } catch (const EInOutError& e) {
        return e.ErrorCode;
    }
    return 0;
}

TEST(RuntimeFilesTest, FailingOperationsRaiseTheSystemsErrorCode) {
    ScratchDir dir;
    const std::string missing = dir.Path() + "\\missing.bin";
    const std::string noDir = dir.Path() + "\\no\\such\\file.bin";
    const struct {
        const char* name;
        void (*op)(const std::string&);
        std::string arg;
        int code;
    } cases[] = {
        {"open a missing file",
         [](const std::string& p) {
             TBinaryFile f;
             f.Reset(p);
         },
         missing, ERROR_FILE_NOT_FOUND},
        {"create in a missing folder",
         [](const std::string& p) {
             TBinaryFile f;
             f.Rewrite(p);
         },
         noDir, ERROR_PATH_NOT_FOUND},
        {"change to a missing folder", [](const std::string& p) { ChDir(p); }, noDir, ERROR_PATH_NOT_FOUND},
        {"read a closed file",
         [](const std::string&) {
             TBinaryFile f;
             char b;
             f.BlockRead(&b, 1);
         },
         "", kFileNotOpen},
        {"close twice",
         [](const std::string& p) {
             TBinaryFile f;
             f.Rewrite(p);
             f.Close();
             f.Close();
         },
         dir.Path() + "\\twice.bin", kFileNotOpen},
        {"write a text file never opened",
         [](const std::string&) {
             TTextFile t;
             t.WriteLn("x");
         },
         "", kFileNotOpen},
    };
    for (const auto& c : cases) EXPECT_EQ(CodeOf(c.op, c.arg), c.code) << c.name;
    DeleteFileA((dir.Path() + "\\twice.bin").c_str());
    EXPECT_EQ(EInOutError(ERROR_FILE_NOT_FOUND).Message, "File not found");
}

TEST(RuntimeFilesTest, BlocksComeBackShortAtTheEndWithoutAnError) {
    ScratchDir dir;
    const std::string path = dir.Path() + "\\data.bin";
    {
        TBinaryFile f;
        f.Rewrite(path);
        EXPECT_EQ(f.BlockWrite("0123456789", 10), 10u);
        f.Close();
    }
    TBinaryFile f;
    f.Reset(path);
    EXPECT_EQ(f.Size(), 10);
    char buf[16] = {};
    f.Seek(6);
    EXPECT_EQ(f.BlockRead(buf, 8), 4u);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(f.BlockRead(buf, 8), 0u);
    EXPECT_THROW(f.Seek(-1), EInOutError);
    EXPECT_THROW(f.BlockWrite("x", 1), EInOutError);  // opened for reading only
    f.Close();
    DeleteFileA(path.c_str());
}

TEST(RuntimeFilesTest, TextFileEndsEveryLineWithCrLf) {
    ScratchDir dir;
    const std::string path = dir.Path() + "\\lines.bat";
    TTextFile t;
    t.Rewrite(path);
    t.WriteLn("@ECHO OFF");
    t.Write("DEL ");
    t.WriteLn("\"C:\\X\"");
    std::string big(5000, 'a');
    t.WriteLn(big);  // larger than the buffer
    t.Close();
    TBinaryFile f;
    f.Reset(path);
    std::string back(static_cast<size_t>(f.Size()), '\0');
    EXPECT_EQ(f.BlockRead(&back[0], static_cast<uint32_t>(back.size())), back.size());
    f.Close();
    EXPECT_EQ(back, "@ECHO OFF\r\nDEL \"C:\\X\"\r\n" + big + "\r\n");
    DeleteFileA(path.c_str());
}

TEST(RuntimeFilesTest, CurrentDirectoryGuardPutsTheDirectoryBack) {
    ScratchDir dir;
    const std::string before = GetCurrentDir();
    {
        CurrentDirGuard guard;
        ChDir(dir.Path());
        EXPECT_NE(GetCurrentDir(), before);
    }
    EXPECT_EQ(GetCurrentDir(), before);
    EXPECT_FALSE(SetCurrentDir(""));
    EXPECT_FALSE(FileExists(dir.Path()));  // a folder is not a file
}

TEST(RuntimeFilesTest, HandleByteSourceRefusesPositionsBeforeTheStart) {
    ScratchDir dir;
    const std::string path = dir.Write("src.bin", "abcdef");
    FileHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.Valid());
    HandleByteSource src(h.Get());
    EXPECT_FALSE(src.SeekFromEnd(7));
    EXPECT_TRUE(src.SeekFromEnd(6));
    char buf[8];
    uint32_t got = 0;
    EXPECT_TRUE(src.Read(buf, 8, &got));
    EXPECT_EQ(got, 6u);
    EXPECT_TRUE(src.SeekTo(4));
    EXPECT_TRUE(src.Read(buf, 8, &got));
    EXPECT_EQ(std::string(buf, got), "ef");
    EXPECT_FALSE(src.SeekTo(-1));
}

TEST(RuntimeOwnersTest, ScopeExitRunsOnEveryWayOutUnlessDismissed) {
    const struct {
        const char* name;
        bool raise;
        bool dismiss;
        int runs;
    } cases[] = {
        {"normal return", false, false, 1},
        {"exception", true, false, 1},
        {"dismissed", false, true, 0},
        {"dismissed, then exception", true, true, 0},
    };
    for (const auto& c : cases) {
        int runs = 0;
        try {
            ScopeExit undo([&runs] { ++runs; });
            if (c.dismiss) undo.Dismiss();
            if (c.raise) throw Exception("failed");
        } catch (const Exception&) {}
        EXPECT_EQ(runs, c.runs) << c.name;
    }
}

TEST(RuntimeOwnersTest, ComInitializationIsBalanced) {
    {
        ComInitialization com;
        ASSERT_TRUE(com.Start());
        EXPECT_TRUE(com.Start());  // a second start does not initialise again
        com.Reset();
        EXPECT_FALSE(com.Started());
        ASSERT_TRUE(com.Start());
    }
    // Every start was undone: COM is initialised afresh (S_OK, not S_FALSE).
    const HRESULT hr = CoInitialize(nullptr);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr)) CoUninitialize();
}

}  // namespace
