// Path and file-name operations on ANSI byte strings. None normalises a
// path; only GetUniqueFilenameInDir looks at the file system, through the
// existence test it is given.
#pragma once

#include <string>

// dir and name joined by one "\" (one trailing "\" of dir is dropped);
// an empty dir gives name unchanged.
std::string JoinPath(const std::string& dir, const std::string& name);

// The folder that holds `path`: everything before its last "\", a drive's
// root with its "\" (C:\X gives C:\); "" for a path without "\".
std::string FolderOf(const std::string& path);

// a..z become A..Z; every other byte stays.
std::string UpperCaseString(const std::string& s);

// dir ending in a separator: "" stays "", "C:" and "C:\" stay, a bare
// drive letter "d" becomes "d:\", anything else gets "\" appended.
std::string AddPathSeparator(const std::string& dir);

// True when the path is taken (what counts as taken is the caller's rule).
using FileExistsProc = bool (*)(const std::string& path);

// The first of format's names for i = 0..99 ("%d" replaced by i) whose
// path JoinPath(dir, name) is not taken; empty when all 100 are. The path
// tested is the one a caller creates with JoinPath, also for a bare drive
// ("C:" tests C:\NAME) and a one-letter relative folder ("d" tests d\NAME).
std::string GetUniqueFilenameInDir(const std::string& dir, const std::string& format, FileExistsProc fileExists);
