// Text of the uninstaller's self-deleting batch file. It removes what the
// running uninstaller cannot remove itself: its own file, the product's
// settings file, the logged directories (deepest first) and finally the
// batch file. Every line ends in CR LF.
#pragma once

#include <string>
#include <vector>

// Directory part of the uninstaller's path: up to its last "\" or ":",
// without that final "\" unless it follows ":" or "\"
// (C:\Program Files\Velto\UNINST.EXE -> C:\Program Files\Velto, C:\UNINST.EXE -> C:\).
std::string UninstallerDirectory(const std::string& exePath);

// An argument as the command interpreter reads it back from a batch file:
// every "%" doubled, so a path such as C:\Games\100%Velto survives.
std::string BatchLiteral(const std::string& s);

// True when a directory record's path may become a CD/RD pair: an absolute
// path with a drive letter that holds no quotation mark and no control
// byte (below 0x20). A control byte would end the line or the argument
// early, or name a directory that differs from the one logged.
bool IsBatchDirectory(const std::string& path);

// "@ECHO OFF", DEL of the uninstaller, DEL of VELTO.INI beside it.
std::string BatchOpeningLines(const std::string& exePath);
// CD to the root of the directory's drive, then RD of the directory.
std::string BatchDirectoryLines(const std::string& directory);
// CD /D to the temporary directory (the drive changes too, so the last line
// finds the batch file), then DEL of the batch file's own name. With a
// `folder` (a name in the temporary directory that holds the batch file),
// the last line moves the batch file out of the folder (a command
// interpreter that holds it open can still rename it), removes the folder
// when nothing else is left there, deletes the batch file and ends the
// interpreter: it reads no further line from a path that another program
// could fill once the folder is gone. The batch file's name must be free
// in the temporary directory too.
std::string BatchClosingLines(const std::string& tempDir, const std::string& batchName,
                              const std::string& folder = std::string());

// The whole file for the given directory records, in file order.
std::string UninstallBatchText(const std::string& exePath, const std::string& tempDir, const std::string& batchName,
                               const std::vector<std::string>& directories, const std::string& folder = std::string());
