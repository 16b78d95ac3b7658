#include "install/programs_dir.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>

#include "paths.h"
#include "runtime/handles.h"

std::string GetProgramsDir() {
    // Without the task allocator there is no Programs folder to be had; the
    // caller reports that as a failure, which rolls the installation back.
    ComPtr<IMalloc> allocator;
    if (FAILED(CoGetMalloc(1, allocator.Receive())) || !allocator) return std::string();
    LPITEMIDLIST pidl = nullptr;
    ScopeExit freePidl([&] {
        if (pidl) allocator->Free(pidl);
    });
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, &pidl))) return std::string();
    char buf[MAX_PATH + 1] = {0};
    if (!SHGetPathFromIDListA(pidl, buf)) return std::string();
    return buf;
}

std::vector<std::string> ListProgramFolders(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(JoinPath(dir, "*.*").c_str(), &data));
    if (!find) return names;
    const DWORD skipped = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume label */;
    do {
        const std::string name = data.cFileName;
        if ((data.dwFileAttributes & skipped) != 0) continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (name == "." || name == "..") continue;
        names.push_back(name);
    } while (FindNextFileA(find.Get(), &data));
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    return names;
}
