// The uninstall run: removes what an installation logged, started by the
// start-up dispatch for a file with the "UNI" trailer.
#pragma once

#include <windows.h>

#include <cstdint>

// `file` is the running uninstaller, open for reading; its records start
// at `imageSize`, `count` of them. Ends by asking the application to
// terminate. Raises on failure (the dispatch reports and rolls back).
void RunUninstall(HANDLE file, int32_t imageSize, int32_t count);
