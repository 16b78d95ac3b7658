// The process's one uninstall log and the product's title. The main form
// owns both for the whole run; it connects them here at its creation, so
// that the pages, the install run and the uninstall run below it reach them
// without knowing the main form.
#pragma once

#include <string>

#include "uninstall_log.h"

// Called by the owner once, before any use; null pointers disconnect.
void ConnectSetupLog(UninstallLog* log, const std::string* title);

// The log and the title; an error when nothing is connected.
UninstallLog& SetupLog();
const std::string& ProductTitle();
