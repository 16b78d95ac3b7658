// DLLs of the system, loaded from the system folder only. The setup program
// runs from wherever it was downloaded, and a download folder holds anything:
// a DLL there that bears a system DLL's name must never run inside it.
//
// The program imports only DLLs that Windows loads from its own list of
// known DLLs whatever the search order (kernel32, user32, gdi32, advapi32,
// shell32, ole32, msvcrt). Every other DLL comes through this file.
#pragma once

#include <windows.h>

#include "runtime/handles.h"

// Makes the system folder the only folder searched for every DLL loaded
// from now on, by this program or by system DLLs on its behalf. Where the
// system lacks that (before Windows 8 without its update), the current
// directory at least is taken out of the search. Called first of all.
void RestrictDllSearch();

using ModuleHandle = UniqueHandle<ClosedBy<HMODULE, FreeLibrary>>;

// A DLL of the system folder, named there by its full path. Empty when it
// cannot be loaded.
ModuleHandle LoadSystemLibrary(const char* name);

// The common controls of version 6, which the program's manifest asks for:
// loaded by name, which the side-by-side store resolves, and initialised,
// so the standard controls are drawn by them. The theme DLL they import is
// loaded from the system folder first, so that is the one they find.
// Held for the life of the program's windows.
struct CommonControls {
    ModuleHandle Theme;
    ModuleHandle Controls;
};
CommonControls LoadCommonControls();

// One function of a system DLL; the DLL stays loaded while this lives.
// Empty (false) when the DLL or the function is missing.
template <class Fn>
class SystemFunction {
public:
    SystemFunction(const char* dll, const char* name) : module_(LoadSystemLibrary(dll)) {
        if (module_) fn_ = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)));
    }
    explicit operator bool() const { return fn_ != nullptr; }
    Fn operator*() const { return fn_; }

private:
    ModuleHandle module_;
    Fn fn_ = nullptr;
};
