// Which names the packaging tool lets into an installer, and how host paths
// become stored names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors.h"
#include "names.h"

namespace {

TEST(InstallNames, SingleNameRules) {
    struct Case {
        std::string name;
        bool ok;
    };
    const Case cases[] = {
        {"VELTO.EXE", true},
        {"DLL\\WSOCK32.DLL", true},
        {"Upload\\readme.txt", true},
        {"a b.txt", true},
        {"\xE9t\xE9.txt", true},  // ANSI letters are fine
        {"CONSOLE.TXT", true},    // only the device names themselves are refused
        {"COM10", true},
        {std::string(255, 'a'), true},
        {"", false},
        {std::string(256, 'a'), false},
        {"\\VELTO.EXE", false},
        {"/VELTO.EXE", false},
        {"C:VELTO.EXE", false},
        {"c:\\VELTO.EXE", false},
        {"..\\VELTO.EXE", false},
        {"DLL\\..\\..\\x", false},
        {"DLL/../x", false},  // "/" separates on Windows too
        {"..", false},
        {".\\x", false},
        {"DLL\\\\x", false},  // empty component
        {"DLL\\", false},
        {"a<b", false},
        {"a>b", false},
        {"a:b", false},
        {"a\"b", false},
        {"a|b", false},
        {"a?b", false},
        {"a*b", false},
        {std::string("a\x01"
                     "b"),
         false},
        {std::string("a\tb"), false},
        {"a\x7F", false},
        {"name.", false},
        {"name ", false},
        {"CON", false},
        {"nul.txt", false},
        {"DLL\\aux", false},
        {"Com1.dll", false},
        {"LPT9", false},
        {"COM\xB9.txt", false},  // superscript one
        {"DLL\\lpt\xB2", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckInstallName(c.name).empty(), c.ok) << "'" << c.name << "': " << CheckInstallName(c.name);
    }
}

TEST(InstallNames, MissingFolders) {
    struct Case {
        std::string name;
        bool missing;
    };
    const Case cases[] = {
        {"VELTO.EXE", false},   {"dll\\x", false}, {"UPLOAD\\x", false},  {"Download\\x", false},
        {"wsock32.dll", false}, {"docs\\x", true}, {"DLL\\sub\\x", true}, {"DLLS\\x", true},
    };
    for (const Case& c : cases) EXPECT_EQ(NeedsMissingFolder(c.name), c.missing) << c.name;
}

TEST(InstallNames, SetRules) {
    struct Case {
        std::vector<std::string> names;
        bool allowSubdirs;
        size_t badIndex;  // SIZE_MAX: all fine
    };
    const size_t none = SIZE_MAX;
    const Case cases[] = {
        {{"VELTO.EXE", "VELTO.DOC", "README.TXT", "WSOCK32.DLL"}, false, none},
        {{"VELTO.EXE", "velto.exe"}, false, 1},
        {{"A.TXT", "B.TXT", "a.txt"}, false, 2},
        {{"wsock32.dll", "DLL\\WSOCK32.DLL"}, false, 1},  // same installed file
        {{"DLL\\x", "dll/X"}, false, 1},
        {{"caf\xE9.txt", "CAF\xC9.TXT"}, false, 1},  // letter case of code page 1252
        {{"\x9A.txt", "\x8A.TXT", "\xF7", "\xD7"}, false, 1},
        {{"uninst.exe"}, false, 0},
        {{"DLL\\UNINST.EXE"}, false, none},
        {{"docs\\a.txt"}, false, 0},
        {{"docs\\a.txt"}, true, none},
        {{"ok.txt", "bad?"}, false, 1},
        {{}, false, none},
    };
    for (const Case& c : cases) {
        NameSetOptions options;
        options.AllowSubdirectories = c.allowSubdirs;
        std::vector<NameProblem> problems = CheckNameSet(c.names, options);
        if (c.badIndex == none) {
            EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0].Message);
        } else {
            ASSERT_EQ(problems.size(), 1u) << c.names.back();
            EXPECT_EQ(problems[0].Index, c.badIndex);
            // Names show in UTF-8.
            EXPECT_NE(problems[0].Message.find(CodePage1252ToUtf8(c.names[c.badIndex])), std::string::npos)
                << problems[0].Message;
        }
    }
}

TEST(InstallNames, HostPathsBecomeStoredNames) {
    struct Case {
        std::string host;
        std::string stored;  // empty: refused
    };
    const Case cases[] = {
        {"VELTO.EXE", "VELTO.EXE"},
        {"./VELTO.EXE", "VELTO.EXE"},
        {"DLL/WSOCK32.DLL", "DLL\\WSOCK32.DLL"},
        {"DLL//./x/", "DLL\\x"},
        {"/etc/passwd", ""},
        {"../x", ""},
        {"DLL/../x", ""},
        {"a\\b", ""},
        {".", ""},
        {"caf\xC3\xA9.txt", "caf\xE9.txt"},       // UTF-8 in, code page 1252 out
        {"\xE2\x82\xAC/\xC5\xB8", "\x80\\\x9F"},  // euro sign, Y diaeresis
        {"\xE6\xBC\xA2.txt", ""},                 // a character 1252 does not have
        {"caf\xE9.txt", ""},                      // not UTF-8
    };
    for (const Case& c : cases) {
        if (c.stored.empty()) {
            EXPECT_THROW(StoredNameFromHostPath(c.host), Exception) << c.host;
        } else {
            EXPECT_EQ(StoredNameFromHostPath(c.host), c.stored);
        }
    }
    EXPECT_EQ(StoredNameFromHostPath("./", true), "");
}

}  // namespace
