// The setup program's command line. Without arguments it runs as always;
// "/S" runs it silently (no window, no question; the exit code tells how
// it ended) and "/D=path", as the last argument, names the destination.
#pragma once

#include <string>

struct SetupOptions {
    bool Silent = false;
    // Empty: the default destination.
    std::string DestDir;
};

// Reads the whole command line as the system gives it (the program's own
// path first, quoted or not). "/S" in any case; "/D=" takes everything after
// it to the end of the line, spaces included, so it must come last; its
// trailing separator goes, a root's stays ("C:\"). Any other argument is
// ignored.
SetupOptions ParseSetupCommandLine(const std::string& commandLine);
