// The exit codes of silent runs and the lines of a run's log.
#include <gtest/gtest.h>

#include <set>

#include "exit_codes.h"
#include "run_log.h"

namespace {

TEST(ExitCodes, OneCodePerOutcomeAndZeroWithoutSilent) {
    std::set<int> codes;
    for (const ExitCodeRow& row : kExitCodeTable) {
        SCOPED_TRACE(row.Code);
        EXPECT_TRUE(codes.insert(row.Code).second) << "code given twice";
        EXPECT_EQ(&ExitCodeRowOf(row.Outcome), &row);
        EXPECT_EQ(ExitCodeRowOfCode(row.Code), &row);
        EXPECT_EQ(ExitCodeOf(row.Outcome, false), 0);
        EXPECT_EQ(ExitCodeOf(row.Outcome, true), row.Code);
        // Only success reads as success; reboot codes mean what they say
        // to deployment tools, and no run asks for a reboot.
        EXPECT_EQ(row.Code == 0, row.Advice == ExitCodeAdvice::Success);
        EXPECT_NE(row.Code, 3010);
        EXPECT_NE(row.Code, 1641);
    }
    EXPECT_EQ(ExitCodeOf(RunOutcome::AnotherCopyRunning, true), 1618);
    EXPECT_EQ(ExitCodeRowOf(RunOutcome::AnotherCopyRunning).Advice, ExitCodeAdvice::Retry);
    EXPECT_EQ(ExitCodeRowOfCode(5), nullptr);
}

TEST(ExitCodes, AFailureIsARefusalUntilSomethingWasMade) {
    EXPECT_EQ(FailureOutcome(false, true), RunOutcome::Refused);
    EXPECT_EQ(FailureOutcome(false, false), RunOutcome::Refused);
    EXPECT_EQ(FailureOutcome(true, true), RunOutcome::RolledBack);
    EXPECT_EQ(FailureOutcome(true, false), RunOutcome::RollbackIncomplete);
    EXPECT_EQ(ExitLogLine(2, true), "Exit code 2: refused before any change; nothing was changed");
    EXPECT_EQ(ExitLogLine(0, false), "Exit code 0");
    EXPECT_EQ(ExitLogLine(7, true), "Exit code 7");
}

TEST(RunLog, ItemLinesNameKindPathAndKeptCopy) {
    auto file = MakeRecord(ukFile, "C:\\V\\README.TXT", 0);
    auto replaced = MakeRecord(ukFile, "C:\\V\\README.TXT", 0);
    replaced->Kept = "C:\\V\\~KEPT0.TMP";
    auto dir = MakeRecord(ukDirectory, "C:\\V", 0);
    auto key = MakeRecord(ukRegistryKey, "Software\\K", kHKeyLocalMachine);
    auto keyKept = MakeRecord(ukRegistryKey, "Software\\K", kHKeyLocalMachine);
    keyKept->Kept = "values";
    const struct {
        const UninstallRecord* record;
        const char* made;
        const char* removed;
        const char* notRemoved;
    } cases[] = {
        {file.get(), "Made file C:\\V\\README.TXT", "Removed file C:\\V\\README.TXT",
         "Could not remove file C:\\V\\README.TXT"},
        {replaced.get(), "Kept file C:\\V\\README.TXT as C:\\V\\~KEPT0.TMP\r\nMade file C:\\V\\README.TXT",
         "Restored file C:\\V\\README.TXT from C:\\V\\~KEPT0.TMP",
         "Could not restore file C:\\V\\README.TXT from C:\\V\\~KEPT0.TMP"},
        {dir.get(), "Made directory C:\\V", "Removed directory C:\\V", "Left directory C:\\V, which is not empty"},
        {key.get(), "Made registry key HKEY_LOCAL_MACHINE\\Software\\K",
         "Removed registry key HKEY_LOCAL_MACHINE\\Software\\K",
         "Could not remove registry key HKEY_LOCAL_MACHINE\\Software\\K"},
        {keyKept.get(), "Changed registry key HKEY_LOCAL_MACHINE\\Software\\K, its former values kept",
         "Restored registry key HKEY_LOCAL_MACHINE\\Software\\K",
         "Could not restore registry key HKEY_LOCAL_MACHINE\\Software\\K"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.made);
        EXPECT_EQ(MadeLogLines(*c.record), c.made);
        EXPECT_EQ(RemovedLogLine(*c.record, true), c.removed);
        EXPECT_EQ(RemovedLogLine(*c.record, false), c.notRemoved);
    }
}

TEST(RunLog, MessagesKeepTheirLineBreaksIndented) {
    EXPECT_EQ(MessageLogLines("Setup", "Setup Corrupt.."), "Setup: Setup Corrupt..");
    EXPECT_EQ(MessageLogLines("Warning", "a:\r\r'x'\r\nb\nc"), "Warning: a:\r\n    \r\n    'x'\r\n    b\r\n    c");
    EXPECT_EQ(MessageLogLines("", "Answered No"), "Answered No");
    EXPECT_EQ(DefaultLogName(3), "VeltoSetup-3.log");
}

TEST(RunLog, PathsOfTheSetupProgramsOwnFilesAreRefused) {
    const struct {
        const char* path;
        bool refused;
    } cases[] = {
        {"C:\\logs\\setup.log", false},
        {"C:\\Temp\\VeltoSetup-1.log", false},
        {"C:\\Temp\\VELTOSETUP.LOG", true},
        {"C:\\Temp\\veltosetup.log", true},
        {"D:\\anywhere\\VeltoSetup.log", true},
        {"C:\\Temp\\VELTOSETUP\\a.log", true},
        {"C:\\Temp\\veltosetup\\sub\\a.log", true},
        {"C:\\Temp\\VELTOSETUP", false},  // a file of that name is no folder of it
        {"C:\\Temp\\VELTOSETUPX\\a.log", false},
        {"C:\\Temp/VELTOSETUP/a.log", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsRefusedLogPath(c.path, "VELTOSETUP.LOG", "VELTOSETUP"), c.refused);
    }
}

struct RecordingSink : RunLogSink {
    std::vector<std::string> Lines;
    void Made(const UninstallRecord& r) override { Lines.push_back(MadeLogLines(r)); }
    void Removed(const UninstallRecord& r, bool done) override { Lines.push_back(RemovedLogLine(r, done)); }
    void Message(const std::string&, const std::string&) override { throw Exception("log full"); }
};

TEST(RunLog, EveryPushReachesTheConnectedSinkWhichNeverFailsTheRun) {
    UninstallLog log;
    PushRecord(log, ukDirectory, "C:\\A", 0);  // no sink: nothing to tell
    RecordingSink sink;
    ConnectRunLog(&sink);
    PushRecord(log, ukFile, "C:\\A\\B", 0, "C:\\A\\~KEPT0.TMP");
    RecordRegistryKey(log, kHKeyLocalMachine, "Software\\K");
    AppendRecord(log, MakeRecord(ukFile, "C:\\read back", 0));  // read from a file, not made
    EXPECT_NO_THROW(ReportMessage("Setup", "x"));
    ConnectRunLog(nullptr);
    PushRecord(log, ukFile, "C:\\A\\C", 0);
    EXPECT_EQ(sink.Lines, (std::vector<std::string>{"Kept file C:\\A\\B as C:\\A\\~KEPT0.TMP\r\nMade file C:\\A\\B",
                                                    "Made registry key HKEY_LOCAL_MACHINE\\Software\\K"}));
}

}  // namespace
