// Files that setup replaces are kept, not lost: the old file is renamed to a
// free name beside it (same folder, so same volume, so putting it back is a
// rename that keeps its bytes and attributes), and the record that logs the
// new file names the kept copy. A rollback deletes the new file and renames
// the kept copy back; Finish deletes the kept copies.
#pragma once

#include <string>
#include <vector>

#include "installer_directory.h"
#include "runtime/files.h"
#include "uninstall_log.h"

// Logs `path` as a file about to be created. When a file already stands
// there, a kept copy is made first and named in the record; the record is
// pushed (and journalled) before the rename, so no moment exists in which
// the old file is renamed but unlogged. True when a kept copy was made.
// Raises EPathTooLong for a path a record cannot hold, EInOutError when the
// old file cannot be renamed (it then stays where it was).
// `mayExist` false: the caller has just seen that nothing stands at `path`
// (a listing of its folder), and the look-up is spared: under Wine a
// look-up of a name that is not there reads the whole folder.
bool LogFileBeforeCreating(UninstallLog& log, const std::string& path, bool mayExist = true);

// Logs `path` as above and creates the file in `file`, only if new: when
// the file system finds a file there that the look-up missed (a short
// name, a case folded otherwise), that file is kept too. Raises as above,
// and EInOutError when the file cannot be created.
void CreateLoggedFile(UninstallLog& log, TBinaryFile& file, const std::string& path, bool mayExist);

// Puts a kept copy back over `path`. Only when the kept copy exists: if it
// does not, the old file was never moved (or is back already) and `path`
// still holds it. True when `path` holds the old file afterwards.
bool RestoreKeptCopy(const std::string& path, const std::string& kept);

// The kept copies the log's file records name, except those that are
// themselves installed files of the log.
std::vector<std::string> KeptCopies(const UninstallLog& log);

// Deletes kept copies for good (read-only ones too).
void DeleteKeptCopies(const std::vector<std::string>& kept);
