#include <iostream>

#include "cli.h"
#include "host_files.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliEnvironment env;
    env.ProgramPath = RunningProgramPath();
    if (env.ProgramPath.empty() && argc > 0) env.ProgramPath = argv[0];
    env.ErrIsTerminal = StderrIsTerminal();
    return RunMksetup(args, std::cout, std::cerr, env);
}
