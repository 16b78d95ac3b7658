// The command line: "/S" and "/D=path" after the program's own path.
#include <gtest/gtest.h>

#include "command_line.h"

namespace {

TEST(CommandLine, SilentAndDestinationAfterTheProgramPath) {
    const struct {
        const char* line;
        bool silent;
        const char* dest;
    } cases[] = {
        {"SETUP.EXE", false, ""},
        {"\"C:\\Program Files\\x\\SETUP.EXE\"", false, ""},
        {"\"C:\\My /S dir\\SETUP.EXE\" ", false, ""},  // "/S" inside the program's own path
        {"C:\\SETUP.EXE /S", true, ""},
        {"SETUP.EXE /s", true, ""},
        {"SETUP.EXE /S /D=C:\\Program Files\\My App", true, "C:\\Program Files\\My App"},
        {"SETUP.EXE /S /d=D:\\Apps  ", true, "D:\\Apps"},
        {"SETUP.EXE /S /D=\"C:\\With Quotes\"", true, "C:\\With Quotes"},
        {"SETUP.EXE /S \"/D=C:\\Deploy Here\\Velto\"", true, "C:\\Deploy Here\\Velto"},
        {"SETUP.EXE /S /D=C:\\Apps\\Velto\\", true, "C:\\Apps\\Velto"},  // a trailing separator goes
        {"SETUP.EXE /S \"/D=C:\\Deploy Here\\\" ", true, "C:\\Deploy Here"},
        {"SETUP.EXE /D=\"D:\\Apps//\"", false, "D:\\Apps"},
        {"SETUP.EXE /S /D=C:\\", true, "C:\\"},  // a root's stays
        {"SETUP.EXE /S /D=C:\\\\", true, "C:\\"},
        {"SETUP.EXE /D=\\", false, "\\"},
        {"SETUP.EXE /D=C:\\A /S", false, "C:\\A /S"},  // /D takes the rest of the line
        {"SETUP.EXE /Silent /X", false, ""},
        {"SETUP.EXE\t/S", true, ""},
        {"\"unterminated /S", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const SetupOptions o = ParseSetupCommandLine(c.line);
        EXPECT_EQ(o.Silent, c.silent);
        EXPECT_EQ(o.DestDir, c.dest);
    }
}

}  // namespace
