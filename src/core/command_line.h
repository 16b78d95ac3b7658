// The setup program's command line. Without arguments it runs as always;
// "/S" runs it silently (no window, no question; the exit code tells how
// it ended), "/LOG" or "/LOG=path" writes a log of the run, and "/D=path",
// as the last argument, names the destination.
#pragma once

#include <string>

struct SetupOptions {
    bool Silent = false;
    // Empty: the default destination.
    std::string DestDir;
    // "/LOG": a log is written, to LogPath or, when that is empty, to a new
    // file in the temporary folder.
    bool Log = false;
    std::string LogPath;
    // The first argument the program does not know, as given; empty when
    // there is none. The run is then refused.
    std::string BadSwitch;
};

// Reads the whole command line as the system gives it (the program's own
// path first, quoted or not). "/S" in any case; "/D=" takes everything after
// it to the end of the line, spaces included, so it must come last; its
// trailing separator goes, a root's stays ("C:\"). "/LOG=" takes the path
// up to the next blank, or in quotation marks (as "/D=" may be given)
// spaces included. Any other argument is a bad switch.
SetupOptions ParseSetupCommandLine(const std::string& commandLine);
