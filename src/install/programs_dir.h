// The Start menu's Programs folder and the program folders in it.
#pragma once

#include <string>
#include <vector>

// File-system path of the current user's Programs folder; empty when the
// shell cannot name one (also when the COM task allocator is unavailable:
// the caller then reports the failure and rolls back).
std::string GetProgramsDir();

// Names of the visible folders directly in `dir` ("." and "..", hidden,
// system and volume-label entries left out), sorted case-insensitively.
std::vector<std::string> ListProgramFolders(const std::string& dir);
