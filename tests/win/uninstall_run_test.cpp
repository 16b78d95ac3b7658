// The uninstall run on a real file system and registry: records read back
// and checked, the batch file written, the log processed, the batch file
// run by the system's command interpreter, and every early failure leaving
// the installation as it was.
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/main_form.h"
#include "batch_script.h"
#include "crc32.h"
#include "errors.h"
#include "install/status_dialog.h"
#include "layout.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/win_byte_source.h"
#include "shell_fixture.h"
#include "ui/message_dialog.h"
#include "uninstall/uninstall_run.h"

namespace fs = std::filesystem;

namespace {

const char kTestKeyBase[] = "Software\\VeltoUninstallTests";
constexpr uint32_t kHKeyCurrentUser = 0x80000001u;

struct Item {
    UninstallKind kind;
    std::string path;
    uint32_t root = 0;
};

// An uninstaller file: `imageBytes` bytes of image, the records, their
// checksum, a "UNI" trailer and its checksum. Unused record bytes are
// filled with 0xCC, as records made from uninitialised memory may be.
std::string UninstallerBytes(const std::vector<Item>& items, size_t imageBytes = 1000) {
    std::string bytes(imageBytes, 'M');
    std::string records;
    for (const Item& item : items) {
        std::unique_ptr<UninstallRecord> r = MakeRecord(item.kind, item.path, item.root);
        std::memset(r->PathBytes + r->PathLength, 0xCC, sizeof r->PathBytes - r->PathLength);
        std::memset(r->Padding, 0xCC, sizeof r->Padding);
        uint8_t image[kRecordImageSize];
        EncodeRecord(*r, image);
        records.append(reinterpret_cast<const char*>(image), kRecordImageSize);
    }
    bytes += records;
    uint8_t crc[4];
    StoreLE32(crc, Crc32Of(records.data(), records.size()));
    bytes.append(reinterpret_cast<const char*>(crc), 4);
    uint8_t trailer[kTrailerSize];
    EncodeTrailer(MakeTrailer(static_cast<int32_t>(imageBytes), static_cast<int32_t>(items.size()),
                              "Velto - Technology Demo", "UNI"),
                  trailer);
    bytes.append(reinterpret_cast<const char*>(trailer), kTrailerSize);
    StoreLE32(crc, Crc32Of(trailer, kTrailerSize));
    bytes.append(reinterpret_cast<const char*>(crc), 4);
    return bytes;
}

RecordList ReadFromBytes(const std::string& bytes, int32_t imageSize, int32_t count) {
    MemoryByteSource source(bytes.data(), bytes.size());
    return ReadUninstallRecords(source, static_cast<int64_t>(bytes.size()), imageSize, count);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const std::string& path) {
    RegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs a batch file with the system's command interpreter and waits for it.
DWORD RunBatch(const std::string& path, const std::string& currentDir) {
    std::string command = "cmd.exe /c " + BatchCommandLine(path);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, currentDir.c_str(),
                        &si, &pi))
        return 0xFFFFFFFF;
    FileHandle process(pi.hProcess);
    FileHandle thread(pi.hThread);
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) return 0xFFFFFFFE;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
}

// Sets an environment variable for one test and puts the old value back.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        char buf[32768];
        DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
        had_ = n > 0 && n < sizeof buf;
        if (had_) old_.assign(buf, n);
        SetEnvironmentVariableA(name, value);
    }
    ~EnvOverride() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(ReadUninstallRecordsTest, GivesTheRecordsInFileOrder) {
    const std::vector<Item> items = {
        {ukRegistryKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto", 0x80000002u},
        {ukFile, "C:\\Program Files\\Velto\\VELTO.EXE"},
        {ukDirectory, "C:\\Program Files\\Velto"},
        {static_cast<UninstallKind>(9), "unknown kind is still read"},
    };
    const std::string bytes = UninstallerBytes(items);
    RecordList records = ReadFromBytes(bytes, 1000, 4);
    ASSERT_EQ(records.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(records[i]->Kind, items[i].kind) << i;
        EXPECT_EQ(records[i]->Path(), items[i].path) << i;
    }
    EXPECT_EQ(records[0]->RootKey, 0x80000002u);
    EXPECT_TRUE(ReadFromBytes(UninstallerBytes({}, 5), 5, 0).empty());
}

TEST(ReadUninstallRecordsTest, DamagedFilesAreSetupCorruptBeforeAnyUse) {
    const std::vector<Item> items = {{ukFile, "C:\\V\\A.EXE"}, {ukDirectory, "C:\\V"}, {ukFile, "C:\\V\\B.DLL"}};
    const std::string good = UninstallerBytes(items);
    auto flipped = [&](size_t at) {
        std::string b = good;
        b[at] = static_cast<char>(b[at] ^ 0x01);
        return b;
    };
    const struct {
        const char* name;
        std::string bytes;
        int32_t imageSize, count;
        int expected;
    } cases[] = {
        {"a path byte of the first record", flipped(1000 + 5), 1000, 3, SE_CORRUPT},
        {"the kind of the last record", flipped(1000 + 2 * 264), 1000, 3, SE_CORRUPT},
        {"an unused byte of a record", flipped(1000 + 264 + 200), 1000, 3, SE_CORRUPT},
        {"the stored records checksum", flipped(1000 + 3 * 264), 1000, 3, SE_CORRUPT},
        {"one byte too many", good + "x", 1000, 3, SE_CORRUPT},
        {"one byte too few", good.substr(1), 1000, 3, SE_CORRUPT},
        {"a count too large for the file", good, 1000, 4, SE_CORRUPT},
        {"an image size too large for the file", good, 1264, 3, SE_CORRUPT},
        {"a negative count", good, 1000 + 4 * 264, -1, SE_CORRUPT},
        {"a negative image size", good, -264, 4, SE_CORRUPT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ReadFromBytes(c.bytes, c.imageSize, c.count);
            ADD_FAILURE() << "accepted";
        } catch (const ESetupError& e) {
            EXPECT_EQ(e.Id, c.expected);
        }
    }
}

TEST(ReadUninstallRecordsTest, ReadsThroughAWin32Handle) {
    ScratchDir dir;
    const std::string path = dir.Write("UNINST.EXE", UninstallerBytes({{ukFile, "C:\\V\\A.EXE"}}, 300));
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    HandleByteSource source(file.Get());
    RecordList records = ReadUninstallRecords(source, 300 + 264 + 276, 300, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->Path(), "C:\\V\\A.EXE");
}

TEST(BatchTempDirectoryTest, TmpFirstThenTheSystemsTemporaryDirectory) {
    {
        EnvOverride tmp("TMP", "C:\\Some Temp");
        EXPECT_EQ(BatchTempDirectory(), "C:\\Some Temp");
    }
    {
        // 255 characters still fit the buffer and are used as they are.
        const std::string longest = "C:\\" + std::string(252, 't');
        EnvOverride tmp("TMP", longest.c_str());
        EXPECT_EQ(BatchTempDirectory(), longest);
    }
    {
        EnvOverride tmp("TMP", nullptr);
        char system[MAX_PATH + 1];
        DWORD n = GetTempPathA(sizeof system, system);
        ASSERT_GT(n, 3u);
        std::string expected(system, n - 1);  // without the final "\"
        EXPECT_EQ(BatchTempDirectory(), expected);
        EXPECT_NE(expected.back(), '\\');
    }
    {
        EnvOverride tmp("TMP", "");
        EXPECT_FALSE(BatchTempDirectory().empty());
    }
}

TEST(BatchTempDirectoryTest, GivesTheFolderAsAFullPath) {
    // The batch file is started, and deletes itself, after the current
    // directory has changed: a relative name would then name another folder.
    ScratchDir dir;
    CurrentDirGuard keep;
    ASSERT_TRUE(SetCurrentDir(dir.Path()));
    const struct {
        const char *tmp, *expected;
    } rows[] = {
        {"C:", "C:\\"},          {"C:\\", "C:\\"}, {"C:\\Some Temp\\", "C:\\Some Temp"},
        {"Local Temp", nullptr},  // below the current directory
        {".", nullptr},
    };
    for (const auto& r : rows) {
        EnvOverride tmp("TMP", r.tmp);
        const std::string expected = r.expected                  ? std::string(r.expected)
                                     : std::string(r.tmp) == "." ? dir.Path()
                                                                 : dir.Path() + "\\" + r.tmp;
        EXPECT_EQ(BatchTempDirectory(), expected) << r.tmp;
    }
}

TEST(BatchCommandLineTest, QuotesThePath) {
    EXPECT_EQ(BatchCommandLine("C:\\Documents and Settings\\me\\Temp\\DELUN0.BAT"),
              "\"C:\\Documents and Settings\\me\\Temp\\DELUN0.BAT\"");
}

// An installation under a scratch folder: destination with subfolders and
// files, a program folder with shortcuts, a registry key, the uninstaller
// and the product's settings file, and a temporary folder whose name has
// spaces and a "%" (one only: the command line that starts the batch file
// is expanded like any other, so a pair would name a variable).
class RemoveInstallationTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        root_ = std::string(temp) + "uninstall-run-" + test + "-" + std::to_string(GetCurrentProcessId());
        fs::remove_all(root_);
        dest_ = root_ + "\\Program Files\\100%Velto";
        programs_ = root_ + "\\Start Menu\\Programs\\Velto";
        tempDir_ = root_ + "\\Local Temp 50%";
        for (const std::string& d :
             {root_, root_ + "\\Program Files", dest_, dest_ + "\\DLL", dest_ + "\\Upload", dest_ + "\\Download",
              root_ + "\\Start Menu", root_ + "\\Start Menu\\Programs", programs_, tempDir_})
            ASSERT_TRUE(CreateDirectoryA(d.c_str(), nullptr)) << d;
        for (const std::string& f : Files()) WriteBytes(f, "installed");
        exe_ = dest_ + "\\UNINST.EXE";
        WriteBytes(exe_, "uninstaller");
        WriteBytes(dest_ + "\\VELTO.INI", "[Velto]");
        key_ = std::string(kTestKeyBase) + "\\" + test + "\\Uninstall\\Velto";
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(exe_.c_str()),
                       static_cast<DWORD>(exe_.size() + 1));
        RegCloseKey(key);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
        SHDeleteKeyA(HKEY_CURRENT_USER, kTestKeyBase);
        ShellTest::TearDown();
    }

    std::vector<std::string> Files() const {
        return {dest_ + "\\VELTO.EXE",        dest_ + "\\VELTO.DOC",     dest_ + "\\README.TXT",
                dest_ + "\\DLL\\WSOCK32.DLL", programs_ + "\\Velto.lnk", programs_ + "\\Velto Documentation.lnk"};
    }
    // Directories as the installation logs them, deepest first.
    std::vector<std::string> Directories() const {
        return {programs_, dest_ + "\\Download", dest_ + "\\Upload", dest_ + "\\DLL", dest_};
    }
    // The records of a normal installation, in the order UNINST.EXE holds them.
    std::vector<Item> Installation() const {
        std::vector<Item> items = {{ukRegistryKey, key_, kHKeyCurrentUser},
                                   {ukFile, programs_ + "\\Velto Documentation.lnk"},
                                   {ukFile, programs_ + "\\Velto.lnk"},
                                   {ukDirectory, programs_}};
        for (const char* f : {"\\DLL\\WSOCK32.DLL", "\\README.TXT", "\\VELTO.DOC", "\\VELTO.EXE"})
            items.push_back({ukFile, dest_ + f});
        for (const char* d : {"\\Download", "\\Upload", "\\DLL", ""}) items.push_back({ukDirectory, dest_ + d});
        return items;
    }
    RecordList Records(const std::vector<Item>& items) const {
        return ReadFromBytes(UninstallerBytes(items), 1000, static_cast<int32_t>(items.size()));
    }
    std::vector<std::string> BatchFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tempDir_)) names.push_back(e.path().filename().string());
        return names;
    }
    // Everything of the installation is still in place.
    void ExpectUntouched() const {
        for (const std::string& f : Files()) EXPECT_TRUE(Exists(f)) << f;
        for (const std::string& d : Directories()) EXPECT_TRUE(Exists(d)) << d;
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_));
        EXPECT_TRUE(Exists(exe_));
    }

    std::string root_, dest_, programs_, tempDir_, exe_, key_;
};

TEST_F(RemoveInstallationTest, RemovesItemsAtOnceAndLeavesTheRestToTheBatchFile) {
    UninstallLog log;
    const std::string batch = RemoveInstallation(Records(Installation()), exe_, tempDir_, log);

    EXPECT_EQ(batch, tempDir_ + "\\DELUN0.BAT");
    EXPECT_TRUE(log.Empty());
    EXPECT_TRUE(DrainQuit());  // the processed log ends the program
    for (const std::string& f : Files()) EXPECT_FALSE(Exists(f)) << f;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key_));
    // Not yet: the batch file removes them.
    for (const std::string& d : Directories()) EXPECT_TRUE(Exists(d)) << d;
    EXPECT_TRUE(Exists(exe_));
    EXPECT_EQ(ReadAll(batch), UninstallBatchText(exe_, tempDir_, "DELUN0.BAT", Directories()));

    // The command interpreter, started elsewhere on the drive, finds every
    // argument despite the spaces and "%" signs, and the batch file goes last.
    EXPECT_EQ(RunBatch(batch, root_ + "\\Program Files"), 0u);
    for (const std::string& d : Directories()) EXPECT_FALSE(Exists(d)) << d;
    EXPECT_FALSE(Exists(exe_));
    EXPECT_FALSE(Exists(dest_ + "\\VELTO.INI"));
    EXPECT_FALSE(Exists(batch));
    EXPECT_TRUE(Exists(root_ + "\\Start Menu\\Programs"));
}

TEST_F(RemoveInstallationTest, AFileHeldOpenIsNamedAndEverythingElseGoes) {
    const std::string held = Files().front();
    FileHandle holder(CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    UninstallLog log;
    std::vector<std::string> notRemoved;
    RemoveInstallation(Records(Installation()), exe_, tempDir_, log, &notRemoved);
    DrainQuit();
    EXPECT_EQ(notRemoved, std::vector<std::string>{held});
    for (const std::string& f : Files()) EXPECT_EQ(Exists(f), f == held) << f;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key_));
    const std::string text = NotRemovedText(std::vector<std::string>(12, "C:\\x"));
    EXPECT_EQ(text.rfind("Setup could not remove these items:\r\r'C:\\x'", 0), 0u);
    EXPECT_NE(text.find("... and 2 more"), std::string::npos);
}

TEST_F(RemoveInstallationTest, AFileMadeByTheProductKeepsItsDirectory) {
    WriteBytes(dest_ + "\\Upload\\mine.dat", "user data");
    UninstallLog log;
    const std::string batch = RemoveInstallation(Records(Installation()), exe_, tempDir_, log);
    EXPECT_EQ(RunBatch(batch, root_), 0u);
    EXPECT_TRUE(Exists(dest_ + "\\Upload\\mine.dat"));
    for (const std::string& d : {dest_ + "\\Download", dest_ + "\\DLL", programs_}) EXPECT_FALSE(Exists(d)) << d;
    EXPECT_FALSE(Exists(exe_));
    EXPECT_FALSE(Exists(batch));
}

TEST_F(RemoveInstallationTest, BatchFileStartedOnAnotherDriveStillDeletesItself) {
    // The uninstaller of a destination on another drive starts the batch
    // file with that drive current; the closing CD must change the drive.
    char other[] = "Z:\\";
    ASSERT_NE(GetDriveTypeA(other), static_cast<UINT>(DRIVE_NO_ROOT_DIR)) << "no drive Z: in this prefix";
    UninstallLog log;
    const std::string batch = RemoveInstallation(Records({{ukDirectory, dest_ + "\\Download"}}), exe_, tempDir_, log);
    EXPECT_EQ(RunBatch(batch, other), 0u);
    EXPECT_FALSE(Exists(dest_ + "\\Download"));
    EXPECT_FALSE(Exists(dest_ + "\\VELTO.INI"));
    EXPECT_FALSE(Exists(exe_));
    EXPECT_FALSE(Exists(batch));
    DrainQuit();
}

TEST_F(RemoveInstallationTest, BatchNameSkipsTakenFilesButNotDirectories) {
    const struct {
        const char* name;
        std::vector<const char*> takenFiles;
        std::vector<const char*> takenDirs;
        const char* expected;
    } cases[] = {
        {"free folder", {}, {}, "DELUN0.BAT"},
        {"DELUN0.BAT taken", {"DELUN0.BAT"}, {}, "DELUN1.BAT"},
        {"0 to 4 taken", {"DELUN0.BAT", "DELUN1.BAT", "DELUN2.BAT", "DELUN3.BAT", "DELUN4.BAT"}, {}, "DELUN5.BAT"},
        {"a directory DELUN0.BAT, a file DELUN1.BAT", {"DELUN1.BAT"}, {"DELUN0.BAT"}, "DELUN0.BAT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(tempDir_)) fs::remove_all(e.path(), ec);
        for (const char* f : c.takenFiles) WriteBytes(tempDir_ + "\\" + f, "other");
        for (const char* d : c.takenDirs) CreateDirectoryA((tempDir_ + "\\" + d).c_str(), nullptr);
        UninstallLog log;
        try {
            const std::string batch = RemoveInstallation(Records({}), exe_, tempDir_, log);
            EXPECT_EQ(batch, tempDir_ + "\\" + c.expected);
            // Five lines, the last deleting this very file.
            const std::string text = ReadAll(batch);
            EXPECT_EQ(text, UninstallBatchText(exe_, tempDir_, c.expected, {}));
            EXPECT_NE(text.find(std::string("DEL \"") + c.expected + "\"\r\n"), std::string::npos);
        } catch (const EInOutError&) {
            // A directory of the chosen name cannot become the batch file.
            EXPECT_FALSE(c.takenDirs.empty());
        }
        for (const char* f : c.takenFiles) EXPECT_EQ(ReadAll(tempDir_ + "\\" + f), "other") << f;
        DrainQuit();
    }
}

TEST_F(RemoveInstallationTest, EarlyFailuresRemoveNothingAndLeaveNoBatchFile) {
    // All hundred names taken.
    for (int i = 0; i <= 99; ++i) WriteBytes(tempDir_ + "\\DELUN" + std::to_string(i) + ".BAT", "other");
    UninstallLog log;
    try {
        RemoveInstallation(Records(Installation()), exe_, tempDir_, log);
        ADD_FAILURE() << "no free name accepted";
    } catch (const ESetupError& e) {
        EXPECT_EQ(e.Id, SE_UNIQUEFILENAME);
        EXPECT_STREQ(e.what(), "GetUniqueFilenameInDir failed");
    }
    EXPECT_TRUE(log.Empty());
    EXPECT_EQ(BatchFiles().size(), 100u);
    ExpectUntouched();

    // A temporary directory that does not exist.
    try {
        RemoveInstallation(Records(Installation()), exe_, root_ + "\\no such folder", log);
        ADD_FAILURE() << "missing folder accepted";
    } catch (const EInOutError&) {}
    EXPECT_TRUE(log.Empty());
    ExpectUntouched();
    EXPECT_FALSE(DrainQuit());
}

TEST_F(RemoveInstallationTest, AFailureBeforeTheBatchFileIsCompleteDeletesIt) {
    UninstallLog log;
    size_t processed = 0;
    try {
        RemoveInstallation(Records(Installation()), exe_, tempDir_, log, [&](UninstallLog& items) {
            processed = items.Size();
            // The uninstall key, first in the file, goes after the files.
            EXPECT_EQ(items.Head->Kind, ukFile);
            EXPECT_EQ(items.Tail->Kind, ukRegistryKey);
            throw EInOutError(ERROR_DISK_FULL);
        });
        ADD_FAILURE() << "the failure was not passed on";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, ERROR_DISK_FULL);
    }
    EXPECT_EQ(processed, 7u);  // every record but the five directories
    EXPECT_TRUE(BatchFiles().empty());
}

TEST_F(RemoveInstallationTest, BatchFileGoesWhereItsNameWasTested) {
    // A one-letter relative folder: the name is tested in that folder, not
    // at the root of the drive of that letter, so a file already there is
    // neither replaced nor deleted.
    CurrentDirGuard keep;
    ASSERT_TRUE(SetCurrentDir(tempDir_));
    ASSERT_TRUE(CreateDirectoryA((tempDir_ + "\\d").c_str(), nullptr));
    WriteBytes(tempDir_ + "\\d\\DELUN0.BAT", "other");
    UninstallLog log;
    const std::string batch = RemoveInstallation(Records({}), exe_, "d", log);
    EXPECT_EQ(batch, "d\\DELUN1.BAT");
    EXPECT_EQ(ReadAll(tempDir_ + "\\d\\DELUN0.BAT"), "other");
    EXPECT_EQ(ReadAll(tempDir_ + "\\d\\DELUN1.BAT"), UninstallBatchText(exe_, "d", "DELUN1.BAT", {}));
    DrainQuit();
}

TEST_F(RemoveInstallationTest, DirectoryRecordsThatCannotNameADirectoryAreNotWritten) {
    const std::vector<Item> items = {
        {ukDirectory, dest_ + "\\DLL"},
        {ukDirectory, dest_ + "\" & RD /S /Q \"" + root_},
        {ukDirectory, "\\\\server\\share\\Velto"},
        {ukDirectory, "Velto"},
        {ukDirectory, dest_ + std::string("\0x", 2)},
        {ukDirectory, dest_ + "\r\nDEL x"},
        {ukDirectory, dest_ + "\tx"},
        {ukDirectory, ""},
        {ukDirectory, dest_ + "\\Upload"},
    };
    UninstallLog log;
    const std::string batch = RemoveInstallation(Records(items), exe_, tempDir_, log);
    EXPECT_EQ(ReadAll(batch), UninstallBatchText(exe_, tempDir_, "DELUN0.BAT", {dest_ + "\\DLL", dest_ + "\\Upload"}));
    EXPECT_TRUE(log.Empty());
}

TEST_F(RemoveInstallationTest, OnlyDirectoryRecordsLeaveTheLogEmpty) {
    std::vector<Item> items;
    for (const std::string& d : Directories()) items.push_back({ukDirectory, d});
    UninstallLog log;
    const std::string batch = RemoveInstallation(Records(items), exe_, tempDir_, log);
    EXPECT_TRUE(log.Empty());
    for (const std::string& f : Files()) EXPECT_TRUE(Exists(f)) << f;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_));
    EXPECT_EQ(ReadAll(batch), UninstallBatchText(exe_, tempDir_, "DELUN0.BAT", Directories()));
}

// The whole run with its confirmation, from a real uninstaller file.
class RunUninstallTest : public RemoveInstallationTest {
protected:
    void SetUp() override {
        RemoveInstallationTest::SetUp();
        MakeForm(main_, Main);
        MakeForm(form_, UnInstall1);
        Application.OnMessageDialog = [this](const std::string& text, int type, unsigned buttons) {
            Questions.push_back(text);
            EXPECT_EQ(type, mtConfirmation);
            EXPECT_EQ(buttons, static_cast<unsigned>(mbYesNo));
            return Answer;
        };
    }
    void TearDown() override {
        form_->Destroy();
        UnInstall1 = nullptr;
        main_->Destroy();
        Main = nullptr;
        RemoveInstallationTest::TearDown();
    }
    // Runs the uninstall on a copy of the uninstaller file given.
    void Run(const std::string& bytes, int32_t imageSize, int32_t count) {
        WriteBytes(exe_, bytes);
        FileHandle file(CreateFileA(exe_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.Valid());
        RunUninstall(file.Get(), imageSize, count);
    }

    std::unique_ptr<TMain> main_;
    std::unique_ptr<TUnInstall1> form_;
    std::vector<std::string> Questions;
    int Answer = mrNo;
};

TEST_F(RunUninstallTest, AnythingButYesChangesNothing) {
    for (int answer : {static_cast<int>(mrNo), static_cast<int>(mrCancel)}) {
        Answer = answer;
        Questions.clear();
        Run(UninstallerBytes(Installation()), 1000, static_cast<int32_t>(Installation().size()));
        ASSERT_EQ(Questions.size(), 1u);
        EXPECT_EQ(Questions[0], "Are you sure you want to uninstall?");
        EXPECT_FALSE(UnInstall1->Visible());
        EXPECT_TRUE(DrainQuit());
        EXPECT_TRUE(Main->UninstallLog.Empty());
        ExpectUntouched();
        EXPECT_TRUE(BatchFiles().empty());
    }
}

TEST_F(RunUninstallTest, DamagedRecordsOrNoTemporaryDirectoryRemoveNothing) {
    std::string damaged = UninstallerBytes(Installation());
    damaged[1000 + 264 * 4 + 10] ^= 0x20;  // one letter of a file's path
    const std::string longTmp = "C:\\" + std::string(300, 't');
    const struct {
        const char* name;
        std::string bytes;
        const char* tmp;  // nullptr: the test process's own
        int expected;
    } cases[] = {
        {"one flipped byte in the records", damaged, nullptr, SE_CORRUPT},
        {"TMP too long and no system temporary directory", UninstallerBytes(Installation()), longTmp.c_str(),
         SE_UNIQUEFILENAME},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Answer = mrYes;
        std::unique_ptr<EnvOverride> tmp;
        std::unique_ptr<EnvOverride> temp;
        if (c.tmp) {
            tmp.reset(new EnvOverride("TMP", c.tmp));
            temp.reset(new EnvOverride("TEMP", c.tmp));
        }
        try {
            Run(c.bytes, 1000, static_cast<int32_t>(Installation().size()));
            ADD_FAILURE() << "no error";
        } catch (const ESetupError& e) {
            EXPECT_EQ(e.Id, c.expected);
        }
        UnInstall1->Hide();
        EXPECT_TRUE(Main->UninstallLog.Empty());
        ExpectUntouched();
        EXPECT_TRUE(BatchFiles().empty());
        EXPECT_FALSE(DrainQuit());
    }
}

}  // namespace
