// Removal of logged items on a real file system and registry.
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "install/process_uninstall_log.h"

namespace fs = std::filesystem;

namespace {

const char kTestKeyBase[] = "Software\\VeltoTests";

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(h, "data", 4, &written, nullptr);
    CloseHandle(h);
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS)
        << path;
    RegSetValueExA(key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);
}

// Takes every quit message off this thread's queue; true when one was there.
bool TakeQuitMessage(WPARAM* exitCode = nullptr) {
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        if (exitCode) *exitCode = msg.wParam;
    }
    return found;
}

class ProcessUninstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        TakeQuitMessage();
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string unique = name + "-" + std::to_string(GetCurrentProcessId());
        for (char& c : unique)
            if (c == '/') c = '_';
        dir_ = std::string(temp) + "uninstall-log-test-" + unique;
        fs::remove_all(dir_);
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
        key_ = std::string(kTestKeyBase) + "\\" + unique;
        SHDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    }

    void TearDown() override {
        TakeQuitMessage();
        std::error_code ec;
        fs::remove_all(dir_, ec);
        SHDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
        SHDeleteEmptyKeyA(HKEY_CURRENT_USER, kTestKeyBase);
    }

    std::string Path(const std::string& relative) const { return dir_ + "\\" + relative; }

    std::string dir_;
    std::string key_;
};

// Files and directories, each case a log (oldest first, as pushed) and what
// must be left afterwards.
struct FileCase {
    const char* name;
    std::vector<const char*> dirsBefore;                        // made before processing
    std::vector<const char*> filesBefore;                       // made before processing
    std::vector<std::pair<UninstallKind, const char*>> pushed;  // oldest first
    std::vector<const char*> dirsAfter;                         // must still exist
    std::vector<const char*> gone;                              // must no longer exist
};

TEST_F(ProcessUninstallLogTest, RemovesFilesAndDirectoriesNewestFirst) {
    const FileCase cases[] = {
        {"file logged after its directory: file first, then the directory",
         {"app"},
         {"app\\a.exe"},
         {{ukDirectory, "app"}, {ukFile, "app\\a.exe"}},
         {},
         {"app\\a.exe", "app"}},
        {"nested directories logged shallowest first all go",
         {"app", "app\\sub", "app\\sub\\deep"},
         {"app\\sub\\deep\\f.dat", "app\\g.dat"},
         {{ukDirectory, "app"},
          {ukDirectory, "app\\sub"},
          {ukDirectory, "app\\sub\\deep"},
          {ukFile, "app\\g.dat"},
          {ukFile, "app\\sub\\deep\\f.dat"}},
         {},
         {"app\\sub\\deep\\f.dat", "app\\g.dat", "app\\sub\\deep", "app\\sub", "app"}},
        {"a directory that holds an unlogged file stays, the rest goes on",
         {"app", "app\\user"},
         {"app\\user\\notes.txt", "app\\a.exe", "app\\b.dll"},
         {{ukDirectory, "app"}, {ukFile, "app\\b.dll"}, {ukDirectory, "app\\user"}, {ukFile, "app\\a.exe"}},
         {"app", "app\\user"},
         {"app\\a.exe", "app\\b.dll"}},
        {"a directory processed before its file (logged in the wrong order) stays",
         {"app"},
         {"app\\a.exe"},
         {{ukFile, "app\\a.exe"}, {ukDirectory, "app"}},
         {"app"},
         {"app\\a.exe"}},
        {"items already gone are skipped and the rest goes on",
         {"app"},
         {"app\\a.exe"},
         {{ukDirectory, "app"}, {ukFile, "app\\a.exe"}, {ukFile, "app\\missing.exe"}, {ukDirectory, "app\\nodir"}},
         {},
         {"app\\a.exe", "app"}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* d : c.dirsBefore) ASSERT_TRUE(CreateDirectoryA(Path(d).c_str(), nullptr)) << d;
        for (const char* f : c.filesBefore) WriteFile(Path(f));
        UninstallLog log;
        for (const auto& [kind, p] : c.pushed) PushRecord(log, kind, Path(p), 0);

        ProcessUninstallLog(log);

        EXPECT_TRUE(log.Empty());
        EXPECT_EQ(log.Size(), 0u);
        for (const char* d : c.dirsAfter) EXPECT_TRUE(DirExists(Path(d))) << d;
        for (const char* g : c.gone) EXPECT_FALSE(DirExists(Path(g)) || FileExists(Path(g))) << g;
        EXPECT_TRUE(TakeQuitMessage());
        // Next case starts from an empty folder.
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path(), ec);
    }
}

TEST_F(ProcessUninstallLogTest, RecordOfUnknownKindIsFreedWithoutAction) {
    WriteFile(Path("keep.txt"));
    ASSERT_TRUE(CreateDirectoryA(Path("keepdir").c_str(), nullptr));
    UninstallLog log;
    for (uint8_t kind : {3, 7, 255}) {
        PushRecord(log, ukFile, Path("keep.txt"), 0);
        log.Head->Kind = kind;
        PushRecord(log, ukDirectory, Path("keepdir"), 0);
        log.Head->Kind = kind;
    }
    ProcessUninstallLog(log);
    EXPECT_TRUE(log.Empty());
    EXPECT_TRUE(FileExists(Path("keep.txt")));
    EXPECT_TRUE(DirExists(Path("keepdir")));
}

TEST_F(ProcessUninstallLogTest, PostsQuitWithExitCodeZeroAlsoForAnEmptyLog) {
    for (bool empty : {true, false}) {
        SCOPED_TRACE(empty ? "empty log" : "one record");
        UninstallLog log;
        if (!empty) PushRecord(log, ukFile, Path("none.txt"), 0);
        ASSERT_FALSE(TakeQuitMessage());
        ProcessUninstallLog(log);
        WPARAM code = 99;
        EXPECT_TRUE(TakeQuitMessage(&code));
        EXPECT_EQ(code, 0u);
        // A second call (an error handler, then a close handler) finds the
        // log empty and only posts the quit message again.
        ProcessUninstallLog(log);
        EXPECT_TRUE(TakeQuitMessage());
    }
}

TEST_F(ProcessUninstallLogTest, RegistryKeyGoesWithEverySubkeyItGained) {
    // Several levels and several siblings per level: deleting while
    // enumerating by index would skip every other sibling.
    const std::string app = key_ + "\\Uninstall\\Velto";
    std::vector<std::string> keys = {app};
    for (const char* a : {"A", "B", "C", "D", "E"}) {
        keys.push_back(app + "\\" + a);
        for (const char* b : {"1", "2", "3"}) {
            keys.push_back(app + "\\" + a + "\\" + b);
            keys.push_back(app + "\\" + a + "\\" + b + "\\leaf");
        }
    }
    for (const std::string& k : keys) CreateKey(HKEY_CURRENT_USER, k);
    CreateKey(HKEY_CURRENT_USER, key_ + "\\Uninstall\\Other");

    UninstallLog log;
    RecordRegistryKey(log, 0x80000001u /* HKEY_CURRENT_USER */, app);
    ProcessUninstallLog(log);

    EXPECT_TRUE(log.Empty());
    for (const std::string& k : keys) EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, k)) << k;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_ + "\\Uninstall\\Other"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_ + "\\Uninstall"));
}

TEST_F(ProcessUninstallLogTest, UninstallKeyUnderLocalMachineIsRemoved) {
    // The one key the installer writes, under HKEY_LOCAL_MACHINE as in a
    // real installation (the test prefix is private).
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::string app = uninstall + "\\VeltoTest-" + std::to_string(GetCurrentProcessId());
    CreateKey(HKEY_LOCAL_MACHINE, app);
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, app));
    UninstallLog log;
    RecordRegistryKey(log, kHKeyLocalMachine, app);
    ProcessUninstallLog(log);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, app));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstall));
}

TEST_F(ProcessUninstallLogTest, DeleteRegistryKeyReportsWhetherTheKeyWentAway) {
    CreateKey(HKEY_CURRENT_USER, key_ + "\\Present\\Sub");
    EXPECT_TRUE(DeleteRegistryKey(HKEY_CURRENT_USER, key_ + "\\Present"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key_ + "\\Present"));
    EXPECT_FALSE(DeleteRegistryKey(HKEY_CURRENT_USER, key_ + "\\Present"));
    EXPECT_FALSE(DeleteRegistryKey(HKEY_CURRENT_USER, key_ + "\\Never\\There"));
}

TEST_F(ProcessUninstallLogTest, RecordsThatWouldNameSomethingElseAreSkipped) {
    // Records come back from an uninstaller file whose records are not
    // checked: an empty path would name the root itself, a NUL byte would
    // cut the path short, and a root that is no predefined key is no root.
    CreateKey(HKEY_CURRENT_USER, key_ + "\\Keep\\Sub");
    WriteFile(Path("keep.txt"));

    HKEY testRoot = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_ALL_ACCESS, &testRoot), ERROR_SUCCESS);
    EXPECT_FALSE(DeleteRegistryKey(testRoot, ""));
    RegCloseKey(testRoot);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_ + "\\Keep\\Sub"));

    UninstallLog log;
    RecordRegistryKey(log, 0x80000001u, key_ + std::string("\\Keep\0\\Sub", 10));
    RecordRegistryKey(log, 0x80000001u, key_ + std::string("\0", 1));
    RecordRegistryKey(log, 0x12345678u, key_ + "\\Keep");
    RecordRegistryKey(log, 0u, key_ + "\\Keep");
    PushRecord(log, ukFile, Path("keep.txt") + std::string("\0.bak", 5), 0);
    PushRecord(log, ukFile, "", 0);
    PushRecord(log, ukDirectory, "", 0);
    ProcessUninstallLog(log);

    EXPECT_TRUE(log.Empty());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_ + "\\Keep\\Sub"));
    EXPECT_TRUE(FileExists(Path("keep.txt")));
}

TEST(PredefinedRootKeyTest, AcceptsOnlyThePredefinedRoots) {
    const struct {
        uint32_t value;
        HKEY expected;
    } cases[] = {
        {0x80000000u, HKEY_CLASSES_ROOT},
        {0x80000001u, HKEY_CURRENT_USER},
        {0x80000002u, HKEY_LOCAL_MACHINE},
        {0x80000003u, HKEY_USERS},
        {0x80000005u, HKEY_CURRENT_CONFIG},
        {0x80000006u, HKEY_DYN_DATA},
        {0x80000007u, nullptr},
        {0x7FFFFFFFu, nullptr},
        {0u, nullptr},
        {0xFFFFFFFFu, nullptr},
    };
    for (const auto& c : cases) EXPECT_EQ(PredefinedRootKey(c.value), c.expected) << std::hex << c.value;
}

}  // namespace
