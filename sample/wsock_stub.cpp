// A library of the demo product's own, installed as DLL\WSOCK32.DLL so the
// demo shows how the installer places that file. It exports nothing.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
