// The demo product that the default build packs: one window with the
// product's name and a line of text. Each start records itself in VELTO.INI
// beside the program, the settings file that the uninstaller removes.
#include <windows.h>

namespace {

const char kClassName[] = "VeltoDemoWindow";
const char kTitle[] = "Velto - Technology Demo";
const char kLine[] = "Velto is installed and running. Close this window to quit.";

// VELTO.INI in the folder this program was started from. False when the
// path does not fit.
bool SettingsPath(char (&path)[MAX_PATH]) {
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    char* slash = nullptr;
    for (char* p = path; *p; ++p) {
        if (*p == '\\') slash = p;
    }
    if (!slash) return false;
    const char kName[] = "VELTO.INI";
    if (static_cast<size_t>(slash - path) + sizeof kName + 1 > MAX_PATH) return false;
    lstrcpyA(slash + 1, kName);
    return true;
}

void RecordStart() {
    char path[MAX_PATH];
    // Writes "[Velto]\r\nStarted=1\r\n"; a read-only folder only costs the note.
    if (SettingsPath(path)) WritePrivateProfileStringA("Velto", "Started", "1", path);
}

// Pairs BeginPaint with EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &ps_); }
    ~PaintScope() { EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_;
    HDC dc_;
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PaintScope paint(window);
            RECT client;
            GetClientRect(window, &client);
            // A stock object: selected, never deleted.
            HGDIOBJ old = SelectObject(paint.Dc(), GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(paint.Dc(), TRANSPARENT);
            DrawTextA(paint.Dc(), kLine, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(paint.Dc(), old);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    RecordStart();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return 1;

    HWND window = CreateWindowA(kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 160,
                                nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
