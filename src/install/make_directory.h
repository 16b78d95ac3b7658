// Creating a destination path level by level, logging what was created.
#pragma once

#include <string>

#include "uninstall_log.h"

// Makes every level of `path` (which must start with a drive letter,
// colon and backslash) exist.
// Works through the process's current directory and restores it. Every
// directory this call creates is logged just before it is created,
// shallowest first, so the deepest one is the log's head; on failure the
// directories created by this call are removed again (newest first), their
// records taken off the log, and the result is false. A path a record
// cannot hold raises EPathTooLong before anything is made.
bool MakeDirectory(const std::string& path, UninstallLog& log);
