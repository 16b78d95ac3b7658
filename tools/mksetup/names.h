// Rules for the names stored in an installer's file directory. A name is
// relative to the destination directory, uses "\" between components and is
// created by the installer exactly as stored (after the WSOCK32.DLL
// redirect), so every name is checked here before it goes into a file.
#pragma once

#include <string>
#include <vector>

#include "payload_names.h"

// Empty when `name` (code page 1252) is safe to install; otherwise why it is
// not (one phrase, no trailing full stop). Refused: what the setup program
// refuses (UnsafePayloadNameReason: empty, absolute and drive names, "." and
// ".." components, components ending in a dot or a blank, control
// characters, device names), and beyond that names over 255 bytes, empty
// components and the characters < > " | ? * and DEL, which Windows cannot
// store. Both "\" and "/" count as separators, since Windows reads both.
std::string CheckInstallName(const std::string& name);

// True when the installed name lies in a folder the installer does not
// create. Only the top level and the folders "DLL", "Upload" and "Download"
// exist when files are extracted; a file anywhere else makes the install
// fail.
bool NeedsMissingFolder(const std::string& name);

struct NameProblem {
    size_t Index;         // position of the offending name in the list
    std::string Message;  // "'name': why", the name shown in UTF-8
};

struct NameSetOptions {
    // Accept names in folders the installer does not create (the installer
    // must then be run where those folders already exist).
    bool AllowSubdirectories = false;
};

// Checks every name on its own and the set as a whole: no two names may
// name the same installed file (compared after the WSOCK32.DLL redirect and
// FoldCase1252, as Windows compares names), and none may be "UNINST.EXE" at the top level,
// which the installer writes itself. Empty result: all names are fine.
std::vector<NameProblem> CheckNameSet(const std::vector<std::string>& names, const NameSetOptions& options);

// A host path relative to the packing root ("sub/dir/file", "./file") as a
// stored name ("sub\dir\file"): "." components and repeated "/" are dropped
// and the UTF-8 host name becomes code page 1252. Raises Exception when the
// path is absolute, has a ".." component, a component containing "\" (which
// Windows would read as a separator), is not UTF-8 or holds a character the
// code page cannot hold.
// With `allowEmpty`, a path naming the root itself (".", "./") gives "".
std::string StoredNameFromHostPath(const std::string& hostPath, bool allowEmpty = false);
