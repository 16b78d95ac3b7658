// Rules for the names stored in an installer's file directory. A name is
// relative to the destination directory, uses "\" between components and is
// created by the installer exactly as stored (after the WSOCK32.DLL
// redirect), so every name is checked here before it goes into a file.
#pragma once

#include <string>
#include <vector>

// Empty when `name` is safe to install; otherwise why it is not (one
// phrase, no trailing full stop). Refused: empty names, names over 255
// bytes, absolute and drive-qualified names, empty, "." and ".."
// components, characters Windows cannot store (< > : " | ? * and control
// characters), components ending in a dot or a blank (Windows drops those),
// device names (CON, NUL, COM1, ... with or without an extension). Both "\"
// and "/" count as separators, since Windows reads both.
std::string CheckInstallName(const std::string& name);

// Where the installer puts a stored name, relative to the destination: a
// name equal to "WSOCK32.DLL" in any letter case goes to "DLL\WSOCK32.DLL",
// every other name stays as it is.
std::string InstalledName(const std::string& name);

// True when the installed name lies in a folder the installer does not
// create. Only the top level and the folders "DLL", "Upload" and "Download"
// exist when files are extracted; a file anywhere else makes the install
// fail.
bool NeedsMissingFolder(const std::string& name);

struct NameProblem {
    size_t Index;         // position of the offending name in the list
    std::string Message;  // "'name': why"
};

struct NameSetOptions {
    // Accept names in folders the installer does not create (the installer
    // must then be run where those folders already exist).
    bool AllowSubdirectories = false;
};

// Checks every name on its own and the set as a whole: no two names may
// name the same installed file (compared after UpperCaseString and the
// WSOCK32.DLL redirect), and none may be "UNINST.EXE" at the top level,
// which the installer writes itself. Empty result: all names are fine.
std::vector<NameProblem> CheckNameSet(const std::vector<std::string>& names, const NameSetOptions& options);

// A host path relative to the packing root ("sub/dir/file", "./file") as a
// stored name ("sub\dir\file"): "." components and repeated "/" are dropped.
// Raises Exception when the path is absolute, has a ".." component or a
// component containing "\" (which Windows would read as a separator).
// With `allowEmpty`, a path naming the root itself (".", "./") gives "".
std::string StoredNameFromHostPath(const std::string& hostPath, bool allowEmpty = false);
