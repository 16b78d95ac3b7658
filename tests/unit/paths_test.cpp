// Path utilities and the uninstall log list.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "layout.h"
#include "paths.h"
#include "uninstall_log.h"

namespace {

TEST(Paths, JoinPathTable) {
    const struct {
        const char *dir, *name, *result;
    } rows[] = {
        {"C:\\Program Files\\Velto", "UNINST.EXE", "C:\\Program Files\\Velto\\UNINST.EXE"},
        {"C:\\", "X", "C:\\X"},
        {"C:", "X", "C:\\X"},
        {"DLL", "WSOCK32.DLL", "DLL\\WSOCK32.DLL"},
        {"", "A", "A"},
        {"D:\\T", "", "D:\\T\\"},
        {"D:\\T\\\\", "A", "D:\\T\\\\A"},
        {"D:\\T", "\\A", "D:\\T\\\\A"},
    };
    for (const auto& r : rows) EXPECT_EQ(JoinPath(r.dir, r.name), r.result) << r.dir << " + " << r.name;
}

TEST(Paths, AddPathSeparatorTable) {
    const struct {
        const char *dir, *result;
    } rows[] = {
        {"", ""},     {"C:\\TEMP", "C:\\TEMP\\"},     {"C:", "C:"}, {"C:\\", "C:\\"}, {"d", "d:\\"}, {"Z", "Z:\\"},
        {"1", "1\\"}, {"\\\\server", "\\\\server\\"},
    };
    for (const auto& r : rows) EXPECT_EQ(AddPathSeparator(r.dir), r.result) << r.dir;
}

TEST(Paths, FolderOfKeepsADrivesRoot) {
    const struct {
        const char* path;
        const char* folder;
    } rows[] = {{"C:\\A\\B.TXT", "C:\\A"}, {"C:\\B.TXT", "C:\\"}, {"C:\\", "C:\\"}, {"B.TXT", ""}, {"\\B", ""}};
    for (const auto& r : rows) EXPECT_EQ(FolderOf(r.path), r.folder) << r.path;
}

TEST(Paths, UpperCaseStringOnlyTouchesAsciiLetters) {
    EXPECT_EQ(UpperCaseString("Uninst.exe"), "UNINST.EXE");
    EXPECT_EQ(UpperCaseString(""), "");
    std::string high;
    for (int c = 0xE0; c <= 0xFE; ++c) high += static_cast<char>(c);
    EXPECT_EQ(UpperCaseString(high), high);
    EXPECT_EQ(UpperCaseString("09 !@[`{~az"), "09 !@[`{~AZ");
    std::string withNul("a\0b", 3);
    EXPECT_EQ(UpperCaseString(withNul), std::string("A\0B", 3));
}

std::set<std::string> g_existing;
bool FakeExists(const std::string& path) { return g_existing.count(path) != 0; }

TEST(Paths, GetUniqueFilenameInDir) {
    g_existing.clear();
    EXPECT_EQ(GetUniqueFilenameInDir("C:\\TEMP", "DELUN%d.BAT", FakeExists), "DELUN0.BAT");
    for (int i = 0; i < 5; ++i) g_existing.insert("C:\\TEMP\\DELUN" + std::to_string(i) + ".BAT");
    EXPECT_EQ(GetUniqueFilenameInDir("C:\\TEMP", "DELUN%d.BAT", FakeExists), "DELUN5.BAT");
    EXPECT_EQ(GetUniqueFilenameInDir("C:\\TEMP\\", "DELUN%d.BAT", FakeExists), "DELUN5.BAT");
    // Two-digit numbers, written most significant digit first.
    for (int i = 0; i < 42; ++i) g_existing.insert("C:\\TEMP\\DELUN" + std::to_string(i) + ".BAT");
    EXPECT_EQ(GetUniqueFilenameInDir("C:\\TEMP", "DELUN%d.BAT", FakeExists), "DELUN42.BAT");
    for (int i = 0; i < 100; ++i) g_existing.insert("C:\\TEMP\\DELUN" + std::to_string(i) + ".BAT");
    EXPECT_EQ(GetUniqueFilenameInDir("C:\\TEMP", "DELUN%d.BAT", FakeExists), "");
}

// The name is tested at the very path the caller then creates,
// JoinPath(dir, name), whatever the form of dir.
TEST(Paths, GetUniqueFilenameInDirTestsThePathTheCallerCreates) {
    const struct {
        const char *dir, *taken, *expected;
    } rows[] = {
        {"", "DELUN0.BAT", "DELUN1.BAT"},        // the current directory
        {"C:", "C:\\DELUN0.BAT", "DELUN1.BAT"},  // a bare drive: its root
        {"C:", "C:DELUN0.BAT", "DELUN0.BAT"},    // not C:'s current directory
        {"d", "d\\DELUN0.BAT", "DELUN1.BAT"},    // a one-letter folder, not drive d:
        {"d", "d:\\DELUN0.BAT", "DELUN0.BAT"},  {"Temp\\", "Temp\\DELUN0.BAT", "DELUN1.BAT"},
    };
    for (const auto& r : rows) {
        g_existing = {r.taken};
        const std::string name = GetUniqueFilenameInDir(r.dir, "DELUN%d.BAT", FakeExists);
        EXPECT_EQ(name, r.expected) << r.dir << " with " << r.taken;
        EXPECT_FALSE(FakeExists(JoinPath(r.dir, name))) << r.dir;
    }
}

std::string Paths(const UninstallLog& log) {
    std::string s;
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        s += std::to_string(r->Kind) + ":" + r->Path() + ";";
    return s;
}

TEST(UninstallLogList, PushAtHeadAppendAtTail) {
    UninstallLog log;
    EXPECT_TRUE(log.Empty());
    PushRecord(log, ukDirectory, "C:\\Apps", 0);
    PushRecord(log, ukDirectory, "C:\\Apps\\Velto", 0);
    RecordRegistryKey(log, kHKeyLocalMachine, "Software\\X");
    EXPECT_EQ(Paths(log), "2:Software\\X;0:C:\\Apps\\Velto;0:C:\\Apps;");
    AppendRecord(log, MakeRecord(ukFile, "C:\\a", 0));
    AppendRecord(log, MakeRecord(ukFile, "C:\\b", 0));
    EXPECT_EQ(Paths(log), "2:Software\\X;0:C:\\Apps\\Velto;0:C:\\Apps;1:C:\\a;1:C:\\b;");
    EXPECT_EQ(log.Size(), 5u);

    // Taking everything off and appending again keeps the tail right.
    while (!log.Empty()) log.Unlink();
    AppendRecord(log, MakeRecord(ukFile, "C:\\c", 0));
    PushRecord(log, ukFile, "C:\\d", 0);
    AppendRecord(log, MakeRecord(ukFile, "C:\\e", 0));
    EXPECT_EQ(Paths(log), "1:C:\\d;1:C:\\c;1:C:\\e;");
}

TEST(UninstallLogList, PushIntoEmptyThenAppendLinksAfterIt) {
    UninstallLog log;
    PushRecord(log, ukFile, "C:\\first", 0);
    AppendRecord(log, MakeRecord(ukFile, "C:\\second", 0));
    EXPECT_EQ(Paths(log), "1:C:\\first;1:C:\\second;");
}

TEST(UninstallLogList, RecordContentAndImage) {
    std::unique_ptr<UninstallRecord> r = MakeRecord(ukFile, std::string(300, 'p'), kHKeyLocalMachine);
    EXPECT_EQ(r->Path(), std::string(255, 'p'));
    EXPECT_EQ(r->RootKey, 0u);  // only registry keys keep a root
    std::unique_ptr<UninstallRecord> k = MakeRecord(ukRegistryKey, "Software\\V", kHKeyLocalMachine);
    EXPECT_EQ(k->RootKey, kHKeyLocalMachine);

    uint8_t image[kRecordImageSize];
    EncodeRecord(*k, image);
    EXPECT_EQ(image[0], 2);
    EXPECT_EQ(image[1], 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(image + 2), 10), "Software\\V");
    EXPECT_EQ(LoadLE32(image + 260), 0x80000002u);
    for (size_t i = 12; i < 260; ++i) EXPECT_EQ(image[i], 0) << i;

    // Decoding keeps the meaningless bytes, so the image round-trips.
    for (size_t i = 12; i < 260; ++i) image[i] = static_cast<uint8_t>(i * 7);
    std::unique_ptr<UninstallRecord> d = DecodeRecord(image);
    uint8_t again[kRecordImageSize];
    EncodeRecord(*d, again);
    EXPECT_EQ(0, std::memcmp(image, again, kRecordImageSize));
    EXPECT_EQ(d->Path(), "Software\\V");
}

TEST(UninstallLogList, LongLogIsFreedWithoutDeepRecursion) {
    UninstallLog log;
    for (int i = 0; i < 200000; ++i) PushRecord(log, ukFile, "C:\\f", 0);
    EXPECT_EQ(log.Size(), 200000u);
    log.Clear();
    EXPECT_TRUE(log.Empty());
}

}  // namespace
