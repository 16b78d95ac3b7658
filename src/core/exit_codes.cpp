#include "exit_codes.h"

const ExitCodeRow kExitCodeTable[6] = {
    {RunOutcome::Completed, kExitSuccess, ExitCodeAdvice::Success, "success"},
    {RunOutcome::RolledBack, kExitRolledBack, ExitCodeAdvice::Failure,
     "failed after changes were made; everything was rolled back"},
    {RunOutcome::Refused, kExitRefused, ExitCodeAdvice::Failure, "refused before any change; nothing was changed"},
    {RunOutcome::RollbackIncomplete, kExitRollbackIncomplete, ExitCodeAdvice::Failure,
     "failed, and the rollback could not put everything back; the next start of the installer completes it"},
    {RunOutcome::NotAllRemoved, kExitNotAllRemoved, ExitCodeAdvice::Failure,
     "uninstalled, but some items could not be removed"},
    {RunOutcome::AnotherCopyRunning, kExitAnotherCopyRunning, ExitCodeAdvice::Retry,
     "another copy of Setup is running; nothing was changed"},
};

const ExitCodeRow& ExitCodeRowOf(RunOutcome outcome) {
    for (const ExitCodeRow& row : kExitCodeTable)
        if (row.Outcome == outcome) return row;
    return kExitCodeTable[1];
}

int ExitCodeOf(RunOutcome outcome, bool silent) { return silent ? ExitCodeRowOf(outcome).Code : kExitSuccess; }

const ExitCodeRow* ExitCodeRowOfCode(int code) {
    for (const ExitCodeRow& row : kExitCodeTable)
        if (row.Code == code) return &row;
    return nullptr;
}

RunOutcome FailureOutcome(bool changed, bool allUndone) {
    if (!changed) return RunOutcome::Refused;
    return allUndone ? RunOutcome::RolledBack : RunOutcome::RollbackIncomplete;
}

std::string ExitLogLine(int code, bool silent) {
    std::string line = "Exit code " + std::to_string(code);
    const ExitCodeRow* row = silent ? ExitCodeRowOfCode(code) : nullptr;
    return row ? line + ": " + row->Meaning : line;
}
