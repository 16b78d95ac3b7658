// The folder of the setup program's own working files (the installer's
// journal, the uninstaller's batch files) inside the temporary folder. The
// setup program runs with administrator rights and acts on these files
// later (the journal at the next start, the batch file while the command
// interpreter reads it line by line), while any program of the user may
// write the temporary folder itself: so the folder is made with a security
// descriptor that lets only administrators and the system write, and one
// found with any other is taken over before anything in it is trusted.
#pragma once

#include <windows.h>

#include <string>

// The folder's name in the temporary folder.
constexpr char kPrivateFolderName[] = "VELTOSETUP";

// Its security descriptor: owner and group the administrators; an access
// list, protected from the temporary folder's inherited entries, that gives
// the administrators and the system full control of the folder and of
// everything made in it, and no one else anything. Owned by the
// administrators and not by the user, so that a program of the user cannot
// change the list as an owner could.
constexpr char kPrivateFolderSecurity[] = "O:BAG:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

struct PrivateFolder {
    // The temporary folder, without a final "\" (a root keeps it).
    std::string TempDir;
    // TempDir\VELTOSETUP.
    std::string Path;
    // The folder stood there with a security descriptor that others could
    // write through (or as a link elsewhere): whatever it held is not to be
    // acted on. Where the file system keeps no descriptors (FAT; Wine), a
    // folder that stands there cannot be judged and is taken as it is.
    bool TakenOver = false;
};

// Makes the folder in `tempDir` (empty: the system's temporary folder), or
// takes over one that stands there untrusted. Raises EInOutError when it
// can be neither made nor secured.
PrivateFolder OpenPrivateFolder(const std::string& tempDir = std::string());

// True when only administrators and the system own and may write through
// the descriptor: of a folder at `path` (not a link), or as given.
bool IsAdministratorsOnly(const std::string& path);
bool IsAdministratorsOnly(PSECURITY_DESCRIPTOR sd);

// Removes the folder at `path` (by its name, only this program's own
// folder) when nothing is left in it; its files' owners call this when
// they are done.
void RemovePrivateFolderIfEmpty(const std::string& path);
