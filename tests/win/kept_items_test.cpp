// What setup replaces comes back on a rollback, and what an interrupted run
// leaves is undone at the next start: kept copies of files, former values
// of the uninstall key, and the journal on disk.
#include <windows.h>

#include <sddl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "crc32.h"
#include "install/log_journal.h"
#include "install/process_uninstall_log.h"
#include "install/program_icons.h"
#include "install_fixture.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/kept_copy.h"
#include "runtime/private_folder.h"
#include "ui/application.h"

namespace {

using namespace install_test;

void DropQuit() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

TEST(KeptItems, ReplacedFilesComeBackWholeAndFinishDropsTheCopies) {
    Destination dest;
    const Bytes userReadme = SampleBytes(3000, 1), oldDll = SampleBytes(100, 2);
    WriteBytes(dest / "README.TXT", userReadme);
    WriteBytes(dest / "DLL\\WSOCK32.DLL", oldDll);
    SetFileAttributesA((dest / "README.TXT").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const DWORD readmeAttributes = Attributes(dest / "README.TXT");
    ASSERT_TRUE(readmeAttributes & FILE_ATTRIBUTE_READONLY);

    for (bool finish : {false, true}) {
        SCOPED_TRACE(finish ? "finish" : "rollback");
        UninstallLog log;
        // Installing: two replaced files, one new file, and a payload file
        // that happens to carry the first kept copy's name.
        for (const char* name : {"README.TXT", "DLL\\WSOCK32.DLL", "NEW.TXT", "~KEPT0.TMP"}) {
            EXPECT_EQ(LogFileBeforeCreating(log, dest / name), std::string(name) != "NEW.TXT");
            WriteBytes(dest / name, SampleBytes(50, 9));
        }
        ASSERT_EQ(log.Size(), 4u);
        if (!finish) {
            std::vector<std::string> left;
            ProcessUninstallLog(log, &left);
            DropQuit();
            EXPECT_TRUE(left.empty());
            EXPECT_EQ(ReadBytes(dest / "README.TXT"), userReadme);
            EXPECT_EQ(Attributes(dest / "README.TXT"), readmeAttributes);
            EXPECT_EQ(ReadBytes(dest / "DLL\\WSOCK32.DLL"), oldDll);
            EXPECT_EQ(dest.Files(), (std::vector<std::string>{"DLL\\WSOCK32.DLL", "README.TXT"}));
        } else {
            // The kept copy that is also an installed file stays.
            const std::vector<std::string> kept = KeptCopies(log);
            EXPECT_EQ(kept.size(), 2u);
            DeleteKeptCopies(kept);
            EXPECT_EQ(dest.Files(),
                      (std::vector<std::string>{"DLL\\WSOCK32.DLL", "NEW.TXT", "README.TXT", "~KEPT0.TMP"}));
        }
    }
}

TEST(KeptItems, ItemsThatCannotBeRemovedAreListedAndKeptCopiesSurvive) {
    Destination dest;
    WriteBytes(dest / "USER.TXT", SampleBytes(10, 3));
    UninstallLog log;
    LogFileBeforeCreating(log, dest / "HELD.EXE");
    WriteBytes(dest / "HELD.EXE", SampleBytes(10, 4));
    LogFileBeforeCreating(log, dest / "USER.TXT");
    WriteBytes(dest / "USER.TXT", SampleBytes(10, 5));
    const std::string keptUser = log.Head->Kept;
    // Another program holds both new files open.
    FileHandle held(
        CreateFileA((dest / "HELD.EXE").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FileHandle heldUser(
        CreateFileA((dest / "USER.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<std::string> left, shown;
    Application.OnException = [&](const std::exception& e) { shown.push_back(e.what()); };
    ProcessUninstallLog(log, &left);
    Application.OnException = nullptr;
    DropQuit();
    EXPECT_EQ(left, (std::vector<std::string>{dest / "USER.TXT", dest / "HELD.EXE"}));
    EXPECT_EQ(shown, std::vector<std::string>{NotPutBackText({dest / "USER.TXT"})});
    // The user's file is not lost: its kept copy is still there.
    EXPECT_EQ(ReadBytes(keptUser), SampleBytes(10, 3));
}

// A rollback that cannot put a replaced file back says so, and keeps its
// journal: each later start tries again, and ends there, until it can.
TEST(KeptItems, AReplacedFileThatCannotBePutBackKeepsTheJournalUntilItIs) {
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    WriteBytes(dest / "USER.TXT", SampleBytes(10, 3));
    std::vector<std::string> shown;
    Application.OnException = [&](const std::exception& e) { shown.push_back(e.what()); };
    FileHandle held;
    {
        UninstallLog log;
        TLogJournal journal(journalPath);
        log.Journal = &journal;
        LogFileBeforeCreating(log, dest / "USER.TXT");
        WriteBytes(dest / "USER.TXT", SampleBytes(10, 5));
        held.Reset(CreateFileA((dest / "USER.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr));
        ProcessUninstallLog(log);
        DropQuit();
        log.Journal = nullptr;
    }
    Application.OnException = nullptr;
    EXPECT_EQ(shown, std::vector<std::string>{NotPutBackText({dest / "USER.TXT"})});
    std::string folder, item;
    EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder, &item), RecoveryResult::Incomplete);
    EXPECT_EQ(item, dest / "USER.TXT");
    held.Reset();
    EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::Recovered);
    EXPECT_EQ(ReadBytes(dest / "USER.TXT"), SampleBytes(10, 3));
    EXPECT_EQ(dest.Files(), std::vector<std::string>{"USER.TXT"});
}

// Whether a file stands there is the file system's answer: a user's file
// reached through its short name is kept, not overwritten, and neither a
// rollback nor the replay of a journal deletes it. Kept copies count on
// past the names taken, without a limit.
TEST(KeptItems, AFileReachedByItsShortNameIsKeptAndNeverDeleted) {
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    const std::string longName = dest / "Velto Documentation.doc";
    WriteBytes(longName, SampleBytes(30, 1));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortPath, MAX_PATH), 0u);
    const std::string alias = dest / std::string(shortPath).substr(std::string(shortPath).find_last_of('\\') + 1);
    ASSERT_NE(alias, longName);
    WriteBytes(dest / "~KEPT7.TMP", SampleBytes(5, 2));  // a name already taken
    for (bool replay : {false, true}) {
        SCOPED_TRACE(replay ? "journal replayed" : "rollback");
        {
            UninstallLog log;
            TLogJournal journal(journalPath);
            log.Journal = &journal;
            log.NextKept = 7;
            TBinaryFile file;
            CreateLoggedFile(log, file, alias, false);  // a listing that missed it
            file.BlockWrite("new", 3);
            file.Close();
            EXPECT_FALSE(IsFile(longName));
            EXPECT_EQ(ReadBytes(dest / "~KEPT8.TMP"), SampleBytes(30, 1));
            log.NextKept = 9999;
            for (int i = 0; i < 3; ++i) {
                CreateLoggedFile(log, file, dest / "README.TXT", true);
                file.Close();
            }
            EXPECT_TRUE(IsFile(dest / "~KEPT10000.TMP"));
            if (!replay) {
                ProcessUninstallLog(log);
                DropQuit();
            }
            log.Journal = nullptr;
        }
        std::string folder;
        if (replay) {
            EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::Recovered);
        }
        EXPECT_EQ(ReadBytes(longName), SampleBytes(30, 1));
        EXPECT_EQ(dest.Files(), (std::vector<std::string>{"Velto Documentation.doc", "~KEPT7.TMP"}));
    }
}

const char kValuesKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto";

std::string Value(const char* name) {
    char buf[512] = {};
    DWORD size = sizeof buf - 1;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kValuesKey, name, nullptr, buf, &size) != ERROR_SUCCESS) return "<missing>";
    return buf;
}

// A REG_DWORD value of the uninstall entry; -1 when there is none.
int64_t Dword(const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kValuesKey, name, &type, &value, &size) != ERROR_SUCCESS || type != REG_DWORD)
        return -1;
    return value;
}

// Every value of the entry follows one rule: a rollback, or the recovery
// of a run that was killed, puts back what an earlier installation's key
// held, whatever its type, and removes what it did not hold.
TEST(KeptItems, AnEarlierInstallationsKeyGetsItsValuesBackANewKeyGoes) {
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kValuesKey);
    {
        // A new key is logged as soon as it exists, and goes on a rollback.
        UninstallLog log;
        CreateRegistryEntries("C:\\New", 5000, log);
        ASSERT_EQ(log.Size(), 1u);
        EXPECT_TRUE(log.Head->Kept.empty());
        ProcessUninstallLog(log);
        DropQuit();
        EXPECT_EQ(Value("DisplayName"), "<missing>");
    }
    // An earlier installation's key: some values of its own (one of another
    // type than setup writes), the others missing.
    SHSetValueA(HKEY_LOCAL_MACHINE, kValuesKey, "DisplayName", REG_SZ, "Earlier", 8);
    SHSetValueA(HKEY_LOCAL_MACHINE, kValuesKey, "InstallLocation", REG_SZ, "C:\\Old", 7);
    const DWORD earlierSize = 77;
    SHSetValueA(HKEY_LOCAL_MACHINE, kValuesKey, "EstimatedSize", REG_DWORD, &earlierSize, sizeof earlierSize);
    SHSetValueA(HKEY_LOCAL_MACHINE, kValuesKey, "NoRepair", REG_SZ, "0", 2);
    SHSetValueA(HKEY_LOCAL_MACHINE, kValuesKey, "Other", REG_SZ, "x", 2);
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    for (bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed and recovered at the next start" : "rolled back");
        {
            UninstallLog log;
            TLogJournal journal(journalPath);
            log.Journal = &journal;
            CreateRegistryEntries("C:\\New", 5000, log);
            EXPECT_EQ(Value("UninstallString"), "C:\\New\\UNINST.EXE");
            EXPECT_EQ(Dword("EstimatedSize"), 5);
            if (killed) {
                // The log in memory is lost with the process.
                log.Journal = nullptr;
            } else {
                ProcessUninstallLog(log);
                DropQuit();
            }
        }
        if (killed) {
            std::string folder;
            EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::Recovered);
        }
        EXPECT_EQ(Value("DisplayName"), "Earlier");
        EXPECT_EQ(Value("InstallLocation"), "C:\\Old");
        EXPECT_EQ(Dword("EstimatedSize"), 77);
        EXPECT_EQ(Value("NoRepair"), "0");
        for (const char* gone : {"UninstallString", "DisplayIcon", "NoModify", "QuietUninstallString"})
            EXPECT_EQ(Value(gone), "<missing>") << gone;
        EXPECT_EQ(Value("Other"), "x");
        EXPECT_FALSE(IsFile(journalPath));
    }
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kValuesKey);
}

TEST(KeptItems, AnInterruptedRunIsUndoneAtTheNextStartAndARunningOneIsLeftAlone) {
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    const Bytes user = SampleBytes(700, 6);
    WriteBytes(dest / "README.TXT", user);
    std::string folder;
    {
        UninstallLog log;
        TLogJournal journal(journalPath);
        log.Journal = &journal;
        CreateDirectoryA((dest / "App").c_str(), nullptr);
        PushRecord(log, ukDirectory, dest / "App", 0);
        for (const char* name : {"App\\VELTO.EXE", "README.TXT"}) {
            LogFileBeforeCreating(log, dest / name);
            WriteBytes(dest / name, SampleBytes(20, 7));
        }
        // While the run goes on, a second start leaves its journal alone.
        EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::InUse);
        EXPECT_TRUE(IsFile(dest / "App\\VELTO.EXE"));
        // The run ends without a rollback of its own (the handle closes as
        // it would when the process is killed); the log in memory is lost.
        log.Journal = nullptr;
    }
    // A torn write at the end: the entries before it still count.
    {
        std::ofstream f(journalPath, std::ios::binary | std::ios::app);
        f << "\x30\x01";
    }
    EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::Recovered);
    EXPECT_EQ(folder, dest / "App");
    EXPECT_FALSE(IsFile(journalPath));
    EXPECT_FALSE(IsDir(dest / "App"));
    EXPECT_EQ(ReadBytes(dest / "README.TXT"), user);
    EXPECT_EQ(dest.Files(), (std::vector<std::string>{"README.TXT"}));
    EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::None);

    // A run that rolled back or finished leaves no journal.
    UninstallLog log;
    TLogJournal journal(journalPath);
    log.Journal = &journal;
    PushRecord(log, ukDirectory, dest / "Gone", 0);
    EXPECT_TRUE(IsFile(journalPath));
    ProcessUninstallLog(log);
    DropQuit();
    EXPECT_FALSE(IsFile(journalPath));
}

}  // namespace

namespace {

// Finish is one instant: once the new UNINST.EXE stands where the commit
// entry names it (with the content it names), a later start finishes the
// installation instead of undoing it; before that instant it is undone.
// A journal that could not be deleted lists nothing.
TEST(KeptItems, AnInstallationIsWholeOrNoneAroundTheCommitOfItsUninstaller) {
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    const Bytes user = SampleBytes(700, 6), fresh = SampleBytes(40, 7), uninst = SampleBytes(300, 8);
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "killed after UNINST.EXE was put in place" : "killed before");
        WriteBytes(dest / "README.TXT", user);
        WriteBytes(dest / "UNINST.EXE", SampleBytes(300, 9));  // an earlier installation's
        {
            UninstallLog log;
            TLogJournal journal(journalPath);
            log.Journal = &journal;
            LogFileBeforeCreating(log, dest / "README.TXT");
            WriteBytes(dest / "README.TXT", fresh);
            journal.Commit(dest / "UNINST.EXE", Crc32Of(uninst.data(), uninst.size()));
            if (inPlace) WriteBytes(dest / "UNINST.EXE", uninst);
            log.Journal = nullptr;
        }
        std::string folder;
        EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder),
                  inPlace ? RecoveryResult::Completed : RecoveryResult::Recovered);
        EXPECT_EQ(ReadBytes(dest / "README.TXT"), inPlace ? fresh : user);
        EXPECT_EQ(dest.Files(), (std::vector<std::string>{"README.TXT", "UNINST.EXE"}));  // no kept copy
        EXPECT_FALSE(IsFile(journalPath));
    }
    // Another program keeps the journal from being deleted at the end of a
    // run: it is left empty, and nothing is undone at the next start.
    {
        UninstallLog log;
        TLogJournal journal(journalPath);
        log.Journal = &journal;
        LogFileBeforeCreating(log, dest / "README.TXT");
        WriteBytes(dest / "README.TXT", fresh);
        FileHandle holder(CreateFileA(journalPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        DeleteKeptCopies(KeptCopies(log));
        journal.Discard();
        EXPECT_TRUE(IsFile(journalPath));
        log.Journal = nullptr;
    }
    std::string folder;
    EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::None);
    EXPECT_EQ(ReadBytes(dest / "README.TXT"), fresh);
}

// A journal that names what no installation makes, or that lies in a
// folder others could write, is deleted unread: nothing it names is touched.
TEST(KeptItems, AJournalNamingOtherItemsOrFromAnUntrustedFolderIsNotActedOn) {
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    const Bytes mine = SampleBytes(50, 9);
    WriteBytes(dest / "Upload\\mine.doc", mine);
    WriteBytes(dest / "VELTO.EXE", SampleBytes(20, 3));
    SHSetValueA(HKEY_LOCAL_MACHINE, "Software\\VictimKey", "Data", REG_SZ, "mine", 5);
    for (bool trusted : {true, false}) {
        SCOPED_TRACE(trusted ? "trusted folder" : "untrusted folder");
        {
            UninstallLog log;
            TLogJournal journal(journalPath);
            log.Journal = &journal;
            PushRecord(log, ukFile, dest / "VELTO.EXE", 0);  // in the product's destination
            PushRecord(log, ukDirectory, dest / "Upload", 0);
            PushRecord(log, ukFile, dest / "Upload\\x.txt", 0, dest / "Upload\\mine.doc");  // not a kept copy
            PushRecord(log, ukRegistryKey, "Software\\VictimKey", kHKeyLocalMachine);
            log.Journal = nullptr;
        }
        std::string folder, refused = "unset";
        EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder, &refused, trusted), RecoveryResult::Refused);
        EXPECT_EQ(refused, trusted ? dest / "Upload\\mine.doc" : "");
        EXPECT_FALSE(IsFile(journalPath));
        EXPECT_TRUE(IsFile(dest / "VELTO.EXE"));
        EXPECT_EQ(ReadBytes(dest / "Upload\\mine.doc"), mine);
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\VictimKey", 0, KEY_READ, &key), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\VictimKey");
    EXPECT_NE(RefusedJournalText("C:\\T\\J.LOG", "C:\\x").find("names 'C:\\x'"), std::string::npos);
}

// The folder of the journal and the batch files: its descriptor lets only
// administrators and the system own and write it, and a descriptor is
// judged by that (in memory: Wine keeps no descriptor of a folder to read
// back). The folder is made once, found again as it is, goes when empty,
// and no other folder is removed in its name.
TEST(KeptItems, SetupsOwnFolderIsForAdministratorsOnly) {
    const struct {
        const char* sddl;
        bool administratorsOnly;
    } descriptors[] = {
        {kPrivateFolderSecurity, true},
        {"O:SYD:(A;;FA;;;SY)(A;;0x1200a9;;;WD)(D;;FA;;;BU)", true},  // others may read
        {"O:BAD:(A;;FA;;;BA)(A;;0x2;;;BU)", false},                  // users may add files
        {"O:BAD:(A;;FA;;;BA)(A;;GA;;;S-1-5-21-1-2-3-1000)", false},  // and one user
        {"O:S-1-5-21-1-2-3-1000D:(A;;FA;;;BA)", false},              // owned by a user
        {"O:BA", false},                                             // no access list
    };
    for (const auto& d : descriptors) {
        LocalMemory sd;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            d.sddl, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(sd.Receive()), nullptr))
            << d.sddl;
        EXPECT_EQ(IsAdministratorsOnly(static_cast<PSECURITY_DESCRIPTOR>(sd.Get())), d.administratorsOnly) << d.sddl;
    }

    Destination temp;
    const std::string own = temp / kPrivateFolderName;
    PrivateFolder made = OpenPrivateFolder(temp.Path());
    EXPECT_EQ(made.Path, own);
    EXPECT_EQ(made.TempDir, temp.Path());
    EXPECT_FALSE(made.TakenOver);
    EXPECT_TRUE(IsDir(own));
    EXPECT_FALSE(OpenPrivateFolder(temp.Path()).TakenOver);  // found as made
    WriteBytes(own + "\\x", SampleBytes(1, 1));
    RemovePrivateFolderIfEmpty(own);
    EXPECT_TRUE(IsDir(own));  // not empty
    DeleteFileA((own + "\\x").c_str());
    RemovePrivateFolderIfEmpty(own);
    EXPECT_FALSE(IsDir(own));
    RemovePrivateFolderIfEmpty(temp / "Upload");
    EXPECT_TRUE(IsDir(temp / "Upload"));                  // not setup's own folder
    EXPECT_EQ(temp.Files(), std::vector<std::string>());  // no probe folder left either
}

TEST(KeptItems, RecordsAnnouncedAheadAreWrittenOnceAndUndoneLikeTheOthers) {
    Destination dest;
    const std::string journalPath = dest / "journal.log";
    {
        UninstallLog log;
        TLogJournal journal(journalPath);
        log.Journal = &journal;
        std::vector<std::unique_ptr<UninstallRecord>> ahead;
        for (const char* name : {"A.TXT", "B.TXT", "C.TXT"}) ahead.push_back(MakeRecord(ukFile, dest / name, 0));
        journal.Announce(ahead);
        const Bytes announced = ReadBytes(journalPath);
        // The first file is made as announced: nothing more is written.
        LogFileBeforeCreating(log, dest / "A.TXT");
        WriteBytes(dest / "A.TXT", SampleBytes(10, 1));
        EXPECT_EQ(ReadBytes(journalPath), announced);
        // The run ends here, killed: B.TXT and C.TXT were never made.
        log.Journal = nullptr;
    }
    std::string folder;
    EXPECT_EQ(RecoverInterruptedInstall(journalPath, folder), RecoveryResult::Recovered);
    EXPECT_TRUE(dest.Files().empty());
}

}  // namespace
