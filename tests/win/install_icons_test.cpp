// Shortcuts, the program folder and the uninstall entry in the registry,
// on a real file system and registry, read back through the shell.
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors.h"
#include "install/process_uninstall_log.h"
#include "install/program_icons.h"
#include "install/registry.h"
#include "install/shell_link.h"
#include "install_fixture.h"
#include "paths.h"
#include "runtime/handles.h"

using namespace install_test;

namespace {

struct LinkInfo {
    std::string Path, WorkingDir, Description;
};

// A shortcut file read back through the shell's link object.
LinkInfo ReadLink(const std::string& linkPath) {
    LinkInfo info;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.ReceiveVoid())))
        return info;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()))) return info;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    if (FAILED(file->Load(wide, STGM_READ))) return info;
    char buf[MAX_PATH] = {};
    if (SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) info.Path = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH))) info.WorkingDir = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetDescription(buf, MAX_PATH))) info.Description = buf;
    return info;
}

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.Start()); }
    void TearDown() override { com_.Reset(); }
    ComInitialization com_;
    Destination dest_;
    Destination menu_;
    UninstallLog log_;
};

TEST_F(ComTest, CreateLinkWritesTargetWorkingDirectoryAndDescription) {
    const std::string link = menu_ / "Velto.lnk";
    ASSERT_EQ(CreateLink(dest_ / "VELTO.EXE", link, dest_.Path(), "Velto"), S_OK);
    LinkInfo info = ReadLink(link);
    EXPECT_EQ(UpperCaseString(info.Path), UpperCaseString(dest_ / "VELTO.EXE"));
    EXPECT_EQ(info.WorkingDir, dest_.Path());
    EXPECT_EQ(info.Description, "Velto");
    // Saved again over the first one.
    ASSERT_EQ(CreateLink(dest_ / "VELTO.DOC", link, dest_.Path(), "Again"), S_OK);
    EXPECT_EQ(ReadLink(link).Description, "Again");
}

TEST_F(ComTest, CreateLinkReportsWhatCannotBeSaved) {
    const std::string tooLong = menu_.Path() + "\\" + std::string(240, 'x') + "\\" + std::string(40, 'y') + ".lnk";
    const std::string inMissingFolder = menu_ / "NOSUCH\\Velto.lnk";
    fs::create_directories(menu_ / "Taken.lnk");
    for (const std::string& link : {tooLong, inMissingFolder, menu_ / "Taken.lnk"}) {
        SCOPED_TRACE(link);
        EXPECT_NE(CreateLink(dest_ / "VELTO.EXE", link, dest_.Path(), "Velto"), S_OK);
        EXPECT_FALSE(IsFile(link));
    }
}

TEST_F(ComTest, ProgramIconsInANewTwoLevelFolderAreLoggedAsMade) {
    CreateProgramIcons(menu_.Path(), "Games\\Velto", dest_.Path(), log_);
    const std::string folder = menu_ / "Games\\Velto";
    EXPECT_EQ(LogItems(log_), (std::vector<std::pair<int, std::string>>{
                                  {ukFile, folder + "\\Velto Documentation.lnk"},
                                  {ukFile, folder + "\\Velto.lnk"},
                                  {ukDirectory, folder},
                                  {ukDirectory, menu_ / "Games"},
                              }));
    const struct {
        const char* link;
        const char* target;
        const char* description;
    } links[] = {{"Velto.lnk", "VELTO.EXE", "Velto"}, {"Velto Documentation.lnk", "VELTO.DOC", "Velto Documentation"}};
    for (const auto& l : links) {
        SCOPED_TRACE(l.link);
        LinkInfo info = ReadLink(folder + "\\" + l.link);
        EXPECT_EQ(UpperCaseString(info.Path), UpperCaseString(dest_ / l.target));
        EXPECT_EQ(info.WorkingDir, dest_.Path());
        EXPECT_EQ(info.Description, l.description);
    }
}

TEST_F(ComTest, ExistingProgramFolderIsNotLogged) {
    fs::create_directories(menu_ / "Accessories");
    CreateProgramIcons(menu_.Path(), "Accessories", dest_.Path(), log_);
    EXPECT_EQ(log_.Size(), 2u);
    ProcessUninstallLog(log_);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_TRUE(IsDir(menu_ / "Accessories"));
    EXPECT_FALSE(IsFile(menu_ / "Accessories\\Velto.lnk"));
}

TEST_F(ComTest, ProgramIconFailuresRaiseTheirMessages) {
    // The second shortcut cannot be saved: both are logged, each before it
    // was saved, so the rollback removes the first and finds no second.
    fs::create_directories(menu_ / "Velto\\Velto Documentation.lnk");
    const struct {
        const char* what;
        std::string programs;
        int expectedId;
        size_t logged;
    } cases[] = {
        {"no Programs folder", "", SE_GETPROGRAMSDIR, 0},
        {"folder cannot be made", menu_ / "Velto\\Velto.lnk\\x", SE_MAKEDIRECTORY, 0},
        {"second shortcut fails", menu_.Path(), SE_CREATELINK, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.expectedId == SE_MAKEDIRECTORY) {
            // A file where a folder level should be.
            WriteBytes(menu_ / "Velto\\Velto.lnk", {1});
        }
        try {
            CreateProgramIcons(c.programs, "Velto", dest_.Path(), log_);
            ADD_FAILURE() << "no error";
        } catch (const ESetupError& e) {
            EXPECT_EQ(e.Id, c.expectedId);
        }
        EXPECT_EQ(log_.Size(), c.logged);
        if (c.logged) {
            EXPECT_EQ(log_.Head->Path(), menu_ / "Velto\\Velto Documentation.lnk");
        }
        log_.Clear();
    }
}

const char kTestKey[] = "Software\\VeltoTests\\Registry";

// A string value of a key, or "<missing>".
std::string ReadString(HKEY root, const char* path, const char* name) {
    RegKey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return "<missing>";
    char buf[MAX_PATH] = {};
    DWORD size = sizeof buf - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return "<missing>";
    return buf;
}

TEST(RegistryTest, AccessorOpensCreatesWritesAndCloses) {
    DeleteRegistryKey(HKEY_CURRENT_USER, "Software\\VeltoTests");
    {
        TRegistry reg;
        EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
        EXPECT_FALSE(reg.OpenKey(kTestKey, false));  // missing, not created
        ASSERT_TRUE(reg.OpenKey(kTestKey, true));
        EXPECT_EQ(reg.CurrentPath(), kTestKey);
        reg.WriteString("Name", "Value with spaces");
        // Relative to the open key; "\" starts again from the root.
        ASSERT_TRUE(reg.OpenKey("Sub", true));
        EXPECT_EQ(reg.CurrentPath(), std::string(kTestKey) + "\\Sub");
        ASSERT_TRUE(reg.OpenKey(std::string("\\") + kTestKey, false));
        EXPECT_EQ(reg.CurrentPath(), kTestKey);
        reg.WriteString("Empty", "");
        reg.CloseKey();
        EXPECT_EQ(reg.CurrentKey(), nullptr);
        try {
            reg.WriteString("Orphan", "x");
            ADD_FAILURE() << "no error without an open key";
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), "Failed to set data for 'Orphan'");
        }
        ASSERT_TRUE(reg.OpenKey(kTestKey, false));
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        EXPECT_EQ(reg.CurrentKey(), nullptr);  // a new root closes the key
    }
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kTestKey, "Name"), "Value with spaces");
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kTestKey, "Empty"), "");
    EXPECT_TRUE(DeleteRegistryKey(HKEY_CURRENT_USER, "Software\\VeltoTests"));
}

std::string ReadValue(const char* name) { return ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, name); }

// A REG_DWORD value of the uninstall entry; -1 when there is none.
int64_t ReadDword(const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, name, &type, &value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return -1;
    return value;
}

TEST(RegistryTest, UninstallEntryHoldsItsValuesAndIsLogged) {
    UninstallLog log;
    CreateRegistryEntries("C:\\Program Files\\Velto", 1025, log);
    EXPECT_EQ(ReadValue("DisplayName"), "Velto - Technology Demo");
    EXPECT_EQ(ReadValue("UninstallString"), "C:\\Program Files\\Velto\\UNINST.EXE");  // no quotation marks
    EXPECT_EQ(ReadValue("DisplayIcon"), "C:\\Program Files\\Velto\\UNINST.EXE");
    EXPECT_EQ(ReadValue("InstallLocation"), "C:\\Program Files\\Velto");
    EXPECT_EQ(ReadValue("QuietUninstallString"), "\"C:\\Program Files\\Velto\\UNINST.EXE\" /S");
    EXPECT_EQ(ReadDword("EstimatedSize"), 2);  // kilobytes, rounded up
    EXPECT_EQ(ReadDword("NoModify"), 1);
    EXPECT_EQ(ReadDword("NoRepair"), 1);
    ASSERT_EQ(log.Size(), 1u);
    EXPECT_EQ(log.Head->Kind, ukRegistryKey);
    EXPECT_EQ(log.Head->Path(), kUninstallKey);
    EXPECT_EQ(log.Head->RootKey, 0x80000002u);
    // Again over the existing key: overwritten and logged again; other
    // values stay.
    {
        RegKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE, key.Receive()), ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "Other", 0, REG_SZ, reinterpret_cast<const BYTE*>("kept"), 5);
    }
    CreateRegistryEntries("D:\\Velto", 1024, log);
    EXPECT_EQ(ReadValue("UninstallString"), "D:\\Velto\\UNINST.EXE");
    EXPECT_EQ(ReadValue("InstallLocation"), "D:\\Velto");
    EXPECT_EQ(ReadDword("EstimatedSize"), 1);
    EXPECT_EQ(ReadValue("Other"), "kept");
    EXPECT_EQ(log.Size(), 2u);
    // Its own entry is never the other setup program's installation.
    EXPECT_EQ(OtherArchitectureInstallation(), "");
    EXPECT_TRUE(DeleteRegistryKey(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// The uninstall entry in the other registry view: the 32-bit one for the
// x86-64 build; the 64-bit one for the i686 build, which has one only on
// 64-bit Windows (elsewhere that view is its own, and nothing is found).
TEST(RegistryTest, AnInstallationOfTheOtherArchitectureIsFoundInItsView) {
#ifdef _WIN64
    const REGSAM view = KEY_WOW64_32KEY;
    const bool twoViews = true;
    const char* other = "32-bit";
#else
    const REGSAM view = KEY_WOW64_64KEY;
    BOOL wow64 = FALSE;
    const bool twoViews = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    const char* other = "64-bit";
#endif
    struct Case {
        const char* what;
        const char* uninstallString;  // nullptr: no such value
        std::string found;
    };
    const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey;
    const Case cases[] = {
        {"UNINST.EXE named", "C:\\Program Files (x86)\\Velto\\UNINST.EXE", "C:\\Program Files (x86)\\Velto"},
        {"no UninstallString", nullptr, key},
        {"no folder in it", "UNINST.EXE", key},
    };
    for (const Case& c : cases) {
        {
            RegKey k;
            ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                      k.Receive(), nullptr),
                      ERROR_SUCCESS);
            if (c.uninstallString)
                RegSetValueExA(k.Get(), "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.uninstallString),
                               static_cast<DWORD>(strlen(c.uninstallString) + 1));
        }
        EXPECT_EQ(OtherArchitectureInstallation(), twoViews ? c.found : "") << c.what;
        EXPECT_EQ(RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, view, 0), ERROR_SUCCESS) << c.what;
    }
    EXPECT_EQ(OtherArchitectureInstallation(), "");
    EXPECT_EQ(OtherArchitectureText("C:\\Old"), std::string("An installation made by the ") + other +
                                                    " setup program is in 'C:\\Old'.\rUninstall it first, then run "
                                                    "Setup again");
}

}  // namespace
