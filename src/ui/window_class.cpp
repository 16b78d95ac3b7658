#include "ui/window_class.h"

namespace {

// The program's icon at the size of the system metric `cx`; the system's
// application icon when the program has none. Shared icons of the module:
// the system frees them, no owner needed.
HICON ProgramIcon(HINSTANCE instance, int cx, int cy) {
    HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(kProgramIconId), IMAGE_ICON, GetSystemMetrics(cx),
                             GetSystemMetrics(cy), LR_SHARED);
    return icon ? static_cast<HICON>(icon) : LoadIconA(nullptr, IDI_APPLICATION);
}

}  // namespace

bool RegisterWindowClass(const char* name, WNDPROC proc, UINT style, bool programIcon) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(instance, name, &wc)) return true;
    wc = {};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    if (programIcon) {
        wc.hIcon = ProgramIcon(instance, SM_CXICON, SM_CYICON);
        wc.hIconSm = ProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
    }
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExA(&wc) != 0;
}
