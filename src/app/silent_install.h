// Installation without the wizard, for deployment: the defaults of the
// pages (or the destination of the command line), no window and no
// question. Everything it makes is logged as in the wizard, so any failure
// is rolled back by the caller.
#pragma once

#include <string>

#include "uninstall_log.h"

// Installs the files of the installer `setupPath` (the running
// executable) into `destDir` (the default destination when empty) with the
// program folder "Velto", then writes UNINST.EXE. Raises on any failure;
// the log then holds what was made.
void SilentInstall(const std::string& setupPath, const std::string& destDir, UninstallLog& log);
