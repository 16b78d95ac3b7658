// The command line of the packaging tool, runnable in-process for tests.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct CliEnvironment {
    // Full path of the running tool; the default image is looked for beside
    // it. Empty: no default image.
    std::string ProgramPath;
    // Progress is redrawn in place on a terminal, one line per task otherwise.
    bool ErrIsTerminal = false;
};

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // bad input file, damaged installer, I/O error
constexpr int kExitUsage = 2;    // bad command line

// Runs one command; `args` excludes the program name. Results go to `out`,
// errors, warnings and progress to `err`.
int RunMksetup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const CliEnvironment& env);

// Where the default image for `machine` (kPeMachineI386 or kPeMachineAmd64)
// is looked for, in order: beside the tool (setup.exe, setup64.exe), then
// the Windows build's setup program seen from the host build
// (build/host/tools/mksetup -> build/win/src/setup.exe, build/win64/src/setup.exe).
std::vector<std::string> DefaultStubCandidates(const std::string& programPath, uint16_t machine);
