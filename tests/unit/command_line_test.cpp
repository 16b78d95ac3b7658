// The command line: "/S", "/LOG[=path]" and "/D=path" after the program's
// own path.
#include <gtest/gtest.h>

#include "command_line.h"

namespace {

TEST(CommandLine, SilentDestinationLogAndBadSwitchesAfterTheProgramPath) {
    const struct {
        const char* line;
        bool silent;
        const char* dest;
        bool log;
        const char* logPath;
        const char* bad;
    } cases[] = {
        {"SETUP.EXE", false, "", false, "", ""},
        {"\"C:\\Program Files\\x\\SETUP.EXE\"", false, "", false, "", ""},
        {"\"C:\\My /S dir\\SETUP.EXE\" ", false, "", false, "", ""},  // "/S" inside the program's own path
        {"C:\\SETUP.EXE /S", true, "", false, "", ""},
        {"SETUP.EXE /s", true, "", false, "", ""},
        {"SETUP.EXE /S /D=C:\\Program Files\\My App", true, "C:\\Program Files\\My App", false, "", ""},
        {"SETUP.EXE /S /d=D:\\Apps  ", true, "D:\\Apps", false, "", ""},
        {"SETUP.EXE /S /D=\"C:\\With Quotes\"", true, "C:\\With Quotes", false, "", ""},
        {"SETUP.EXE /S \"/D=C:\\Deploy Here\\Velto\"", true, "C:\\Deploy Here\\Velto", false, "", ""},
        {"SETUP.EXE /S /D=C:\\Apps\\Velto\\", true, "C:\\Apps\\Velto", false, "", ""},  // a trailing separator goes
        {"SETUP.EXE /S \"/D=C:\\Deploy Here\\\" ", true, "C:\\Deploy Here", false, "", ""},
        {"SETUP.EXE /D=\"D:\\Apps//\"", false, "D:\\Apps", false, "", ""},
        {"SETUP.EXE /S /D=C:\\", true, "C:\\", false, "", ""},  // a root's stays
        {"SETUP.EXE /S /D=C:\\\\", true, "C:\\", false, "", ""},
        {"SETUP.EXE /D=\\", false, "\\", false, "", ""},
        {"SETUP.EXE /D=C:\\A /S", false, "C:\\A /S", false, "", ""},  // /D takes the rest of the line
        {"SETUP.EXE\t/S", true, "", false, "", ""},
        {"\"unterminated /S", false, "", false, "", ""},
        {"", false, "", false, "", ""},
        // "/LOG" alone, with a path, quoted like "/D=", in any case.
        {"SETUP.EXE /S /LOG", true, "", true, "", ""},
        {"SETUP.EXE /log /S", true, "", true, "", ""},
        {"SETUP.EXE /LOG=C:\\logs\\a.log /S", true, "", true, "C:\\logs\\a.log", ""},
        {"SETUP.EXE /S /LOG=\"C:\\My Logs\\a.log\" /D=C:\\A B", true, "C:\\A B", true, "C:\\My Logs\\a.log", ""},
        {"SETUP.EXE \"/Log=C:\\My Logs\\a.log\" /S", true, "", true, "C:\\My Logs\\a.log", ""},
        {"SETUP.EXE /LOG=a.log /LOG", false, "", true, "", ""},  // the last one holds
        // Anything else is refused; the first one is named.
        {"SETUP.EXE /Silent /X", false, "", false, "", "/Silent"},
        {"SETUP.EXE /S /LOG=", true, "", false, "", "/LOG="},
        {"SETUP.EXE /S /LOG=\"\"", true, "", false, "", "/LOG="},
        {"SETUP.EXE /LOGFILE=x /S", true, "", false, "", "/LOGFILE=x"},
        {"SETUP.EXE \"/S\" \"\"", true, "", false, "", "\"\""},
        {"SETUP.EXE -S", false, "", false, "", "-S"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const SetupOptions o = ParseSetupCommandLine(c.line);
        EXPECT_EQ(o.Silent, c.silent);
        EXPECT_EQ(o.DestDir, c.dest);
        EXPECT_EQ(o.Log, c.log);
        EXPECT_EQ(o.LogPath, c.logPath);
        EXPECT_EQ(o.BadSwitch, c.bad);
    }
}

}  // namespace
