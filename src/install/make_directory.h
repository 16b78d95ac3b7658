// Creating a destination path level by level, logging what was created.
#pragma once

#include <string>

#include "uninstall_log.h"

// Makes every level of `path` (which must start with a drive letter,
// colon and backslash) exist.
// Works through the process's current directory and restores it. On
// success every directory this call created is logged, shallowest first,
// so the deepest one is the log's head; on failure the directories created
// by this call are removed again (newest first), nothing is logged and the
// result is false.
bool MakeDirectory(const std::string& path, UninstallLog& log);
