#include "runtime/system_library.h"

#include <string>
#include <utility>

namespace {

// Declared by the headers only for Windows 8 and later.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

FARPROC KernelFunction(const char* name) { return GetProcAddress(GetModuleHandleA("kernel32.dll"), name); }

}  // namespace

void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(KernelFunction("SetDefaultDllDirectories")));
    if (setDefault && setDefault(kSearchSystem32)) return;
    auto setDirectory =
        reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(KernelFunction("SetDllDirectoryA")));
    if (setDirectory) setDirectory("");
}

ModuleHandle LoadSystemLibrary(const char* name) {
    char folder[MAX_PATH];
    const UINT n = GetSystemDirectoryA(folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) return ModuleHandle();
    std::string path(folder, n);
    if (path.back() != '\\') path += '\\';
    path += name;
    return ModuleHandle(LoadLibraryA(path.c_str()));
}

CommonControls LoadCommonControls() {
    // A system without the side-by-side store (before Windows XP) has no
    // version 6, and its controls need no DLL; there a load by name would
    // search the program's own folder first.
    if (!KernelFunction("ActivateActCtx")) return CommonControls();
    ModuleHandle theme = LoadSystemLibrary("uxtheme.dll");
    ModuleHandle module(LoadLibraryA("comctl32.dll"));
    using InitFn = void(WINAPI*)();
    if (module) {
        if (auto init =
                reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "InitCommonControls"))))
            init();
    }
    return CommonControls{std::move(theme), std::move(module)};
}
