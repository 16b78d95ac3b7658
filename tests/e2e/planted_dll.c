/* A DLL that must never run inside the setup program. The tests lay it
   beside SETUP.EXE and UNINST.EXE under the names of system DLLs; whenever
   a process loads it, it leaves a marker file beside itself, named like it
   with ".ran" appended. It exports the functions of mpr.dll the setup
   program used to import, so an image that imported them would load it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8];
        DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            HANDLE marker;
            lstrcatA(path, ".ran");
            marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
        }
    }
    return TRUE;
}

DWORD WINAPI WNetGetConnectionA(LPCSTR local, LPSTR remote, LPDWORD size) {
    (void)local, (void)remote, (void)size;
    return ERROR_NOT_CONNECTED;
}

DWORD WINAPI WNetConnectionDialog(HWND owner, DWORD type) {
    (void)owner, (void)type;
    return ERROR_CANCELLED;
}
