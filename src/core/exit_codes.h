// The exit codes of a run under /S, one table for the installer and the
// uninstaller: what deployment tools read to tell success from a refusal
// (nothing was changed), a failure that was rolled back, and the cases an
// administrator has to look at. Without /S every run ends with 0.
#pragma once

#include <string>

// How a run ended.
enum class RunOutcome {
    Completed,           // installed, or uninstalled with every item gone
    RolledBack,          // failed after changes, and everything made was undone
    Refused,             // failed before any change: the machine is as it was
    AnotherCopyRunning,  // ended at once beside a running copy: nothing changed
    RollbackIncomplete,  // failed, and the rollback could not put everything back
    NotAllRemoved,       // the uninstaller could not remove every item
};

constexpr int kExitSuccess = 0;
constexpr int kExitRolledBack = 1;
constexpr int kExitRefused = 2;
constexpr int kExitRollbackIncomplete = 3;
constexpr int kExitNotAllRemoved = 4;
// The code installer services use for "another installation is in
// progress", which deployment tools retry on their own.
constexpr int kExitAnotherCopyRunning = 1618;

// What a deployment tool should make of a code.
enum class ExitCodeAdvice { Success, Retry, Failure };

struct ExitCodeRow {
    RunOutcome Outcome;
    int Code;
    ExitCodeAdvice Advice;
    const char* Meaning;  // as the README's table and the log state it
};

extern const ExitCodeRow kExitCodeTable[6];

// The row of an outcome.
const ExitCodeRow& ExitCodeRowOf(RunOutcome outcome);

// The process's exit code: the table's under /S, 0 without it.
int ExitCodeOf(RunOutcome outcome, bool silent);

// The row of an exit code; nullptr for a code the table does not have.
const ExitCodeRow* ExitCodeRowOfCode(int code);

// The outcome of a run that failed: `changed` when it had made anything
// (its uninstall log was not empty), `allUndone` when its rollback put
// every item back.
RunOutcome FailureOutcome(bool changed, bool allUndone);

// The log's last line: the code, and under /S what it means.
std::string ExitLogLine(int code, bool silent);
