// What the journal of an interrupted installation may make the installer
// undo. The next start of the installer runs with administrator rights and
// acts on the journal it finds, so it acts only on what an installation of
// this product makes, however the journal came to be written:
//   - the destination's items: files inside the destination, the
//     destination and its folders, and the folder levels above it that
//     were made for it;
//   - the program folder under the Start menu's Programs folder (and the
//     levels made for it) and its two shortcuts;
//   - the one uninstall key below HKEY_LOCAL_MACHINE, and of an earlier
//     entry only the values an installation writes there;
//   - a kept copy only when it is a ~KEPTn.TMP beside the file it keeps.
// The destination is the folder that holds every file and folder the
// journal names outside the Programs folder (the highest level made for
// it, when there is one); it may be neither a drive's root nor the Windows
// folder, a folder above it or one inside it. Paths are plain: a drive,
// then names, none of them empty, "." or "..", no second ":".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uninstall_log.h"

struct JournalScope {
    // The Start menu's Programs folder and the Windows folder of this
    // machine, without a trailing "\".
    std::string ProgramsDir;
    std::string WindowsDir;
};

// The first item of `records` that no installation of the product makes,
// as the message names it (a path, a key, or a kept copy's path); empty
// when recovery may act on all of them.
std::string JournalItemOutOfScope(const std::vector<std::unique_ptr<UninstallRecord>>& records,
                                  const JournalScope& scope);
