// The payload name rules both programs apply: which stored names are safe to
// create in the destination, the WSOCK32.DLL redirect, letter case and the
// code page of stored names.
#include <gtest/gtest.h>

#include <string>

#include "payload_names.h"

namespace {

TEST(PayloadNames, SafeNamesStayInsideTheDestination) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {
        {"VELTO.EXE", true},
        {"DLL\\WSOCK32.DLL", true},
        {"sub/dir/file.txt", true},
        {"..file", true},
        {"caf\xE9.txt", true},
        {"CONSOLE.TXT", true},
        {"COM10", true},
        {"LPT", true},
        {"COM\xB4", true},  // acute accent, not a superscript digit
        {"a\\\\b", true},   // Windows merges empty components
        {"", false},
        {"\\evil", false},
        {"/evil", false},
        {"\\\\server\\share\\evil", false},
        {"C:\\evil", false},
        {"C:evil", false},
        {"file.txt:stream", false},
        {"..", false},
        {"a/../../evil", false},
        {".", false},
        {"a\\.\\b", false},
        {"file.", false},
        {"a\\...\\b", false},
        {"dir \\file", false},
        {"file ", false},
        {std::string("a\0b", 3), false},
        {"a\x1F"
         "b",
         false},
        {"CON", false},
        {"con.txt", false},
        {"Nul .log", false},
        {"DLL\\aux", false},
        {"conin$", false},
        {"COM0", false},
        {"com9.dll", false},
        {"LPT0", false},
        {"COM\xB9", false},
        {"com\xB2.txt", false},
        {"DLL\\LPT\xB3", false},  // superscript 1, 2, 3
    };
    for (const Case& c : cases) EXPECT_EQ(IsSafePayloadName(c.name), c.safe) << "'" << c.name << "'";
}

TEST(PayloadNames, OnlyWsock32GoesIntoDll) {
    const std::pair<std::string, std::string> cases[] = {
        {"WSOCK32.DLL", "DLL\\WSOCK32.DLL"},
        {"wSock32.dll", "DLL\\WSOCK32.DLL"},
        {"DLL\\wsock32.dll", "DLL\\wsock32.dll"},
        {"WSOCK32.DLL.BAK", "WSOCK32.DLL.BAK"},
    };
    for (const auto& c : cases) EXPECT_EQ(InstalledPayloadName(c.first), c.second);
}

TEST(PayloadNames, LetterCaseFoldsLikeWindowsInCodePage1252) {
    // Every byte: the letters pair up, everything else stays.
    for (int c = 0; c < 256; ++c) {
        int want = c;
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) want = c - 0x20;
        if (c == 0x9A || c == 0x9C || c == 0x9E) want = c - 0x10;
        if (c == 0xFF) want = 0x9F;
        EXPECT_EQ(static_cast<unsigned char>(FoldCase1252(std::string(1, static_cast<char>(c)))[0]), want) << c;
    }
    EXPECT_EQ(FoldCase1252("caf\xE9.txt"), FoldCase1252("CAF\xC9.TXT"));
    EXPECT_NE(FoldCase1252("\xF7"), FoldCase1252("\xD7"));
}

TEST(PayloadNames, HostNamesConvertToCodePage1252) {
    struct Case {
        std::string utf8;
        Utf8Conversion result;
        std::string converted;  // or the character reported
    };
    const Case cases[] = {
        {"VELTO.EXE", Utf8Conversion::Ok, "VELTO.EXE"},
        {"caf\xC3\xA9.txt", Utf8Conversion::Ok, "caf\xE9.txt"},
        {"\xC2\xA0\xC3\xBF", Utf8Conversion::Ok, "\xA0\xFF"},
        // The 27 characters of 0x80-0x9F.
        {"\xE2\x82\xAC\xE2\x80\x9A\xC6\x92\xE2\x80\x9E\xE2\x80\xA6\xE2\x80\xA0\xE2\x80\xA1\xCB\x86\xE2\x80\xB0"
         "\xC5\xA0\xE2\x80\xB9\xC5\x92\xC5\xBD\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA2"
         "\xE2\x80\x93\xE2\x80\x94\xCB\x9C\xE2\x84\xA2\xC5\xA1\xE2\x80\xBA\xC5\x93\xC5\xBE\xC5\xB8",
         Utf8Conversion::Ok,
         "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C"
         "\x9E\x9F"},
        {"\xE6\xBC\xA2.txt", Utf8Conversion::NotInCodePage, "\xE6\xBC\xA2"},
        {"a\xC2\x81", Utf8Conversion::NotInCodePage, "\xC2\x81"},  // undefined in the code page
        {"\xF0\x9F\x98\x80", Utf8Conversion::NotInCodePage, "\xF0\x9F\x98\x80"},
        {"caf\xE9.txt", Utf8Conversion::NotUtf8, "\\xE9"},
        {"\xC3", Utf8Conversion::NotUtf8, "\\xC3"},              // cut short
        {"\xC0\xAF", Utf8Conversion::NotUtf8, "\\xC0"},          // overlong "/"
        {"\xE0\x80\xAF", Utf8Conversion::NotUtf8, "\\xE0"},      // overlong "/"
        {"\xED\xA0\x80", Utf8Conversion::NotUtf8, "\\xED"},      // surrogate
        {"\xF4\x90\x80\x80", Utf8Conversion::NotUtf8, "\\xF4"},  // beyond U+10FFFF
    };
    for (const Case& c : cases) {
        std::string out = "unchanged", bad;
        EXPECT_EQ(Utf8ToCodePage1252(c.utf8, &out, &bad), c.result) << c.utf8;
        EXPECT_EQ(c.result == Utf8Conversion::Ok ? out : bad, c.converted) << c.utf8;
        if (c.result == Utf8Conversion::Ok) {
            EXPECT_EQ(CodePage1252ToUtf8(out), c.utf8);
        } else {
            EXPECT_EQ(out, "unchanged");
        }
    }
    // Every byte shows as one character and converts back, but for the
    // five the code page leaves undefined.
    for (int c = 1; c < 256; ++c) {
        const std::string byte(1, static_cast<char>(c));
        std::string back, bad;
        const bool undefined = c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
        EXPECT_EQ(Utf8ToCodePage1252(CodePage1252ToUtf8(byte), &back, &bad) == Utf8Conversion::Ok, !undefined) << c;
        if (!undefined) {
            EXPECT_EQ(back, byte) << c;
        }
    }
}

}  // namespace
