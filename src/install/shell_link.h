// Shortcut files (.lnk) written through the shell's link object.
#pragma once

#include <windows.h>

#include <string>

// Writes a shortcut at `linkPath` to `target` with `workingDir` and
// `description`; nothing else is set. Returns S_OK (0) when the file was
// saved, else the failing status (also when `linkPath` is too long for the
// shell). COM must be initialised on the calling thread.
HRESULT CreateLink(const std::string& target, const std::string& linkPath, const std::string& workingDir,
                   const std::string& description);
