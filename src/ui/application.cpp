#include "ui/application.h"

#include <new>

#include "errors.h"
#include "run_log.h"
#include "runtime/handles.h"
#include "ui/error_box.h"
#include "ui/form.h"
#include "ui/window_class.h"

TApplication Application;

namespace {

// The application window never shows anything: it sits off-screen with no
// size, so making it visible does not put a pixel on the display.
constexpr int kOffScreen = -200;

}  // namespace

TApplication::~TApplication() {
    // Forms still alive at the end of the process go without their
    // FormDestroy: that ran already if DestroyForms was called.
    forms_.clear();
    if (handle_) DestroyWindow(handle_);
}

void TApplication::Initialize() {
    if (handle_) return;
    RegisterWindowClass(kApplicationWindowClass, &TApplication::WindowProc, 0, true);
    handle_ = CreateWindowExA(0, kApplicationWindowClass, title_.c_str(),
                              WS_POPUP | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, kOffScreen, kOffScreen, 0, 0,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

int TApplication::Dpi() {
    if (dpi_ == 0) {
        const WindowDC screen(nullptr);
        dpi_ = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
        if (dpi_ <= 0) dpi_ = 96;
    }
    return dpi_;
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    if (handle_) SetWindowTextA(handle_, title_.c_str());
}

void TApplication::ShowApplicationWindow() {
    if (handle_ && !IsWindowVisible(handle_)) ShowWindow(handle_, SW_SHOWNOACTIVATE);
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
    TForm* f = form.get();
    forms_.push_back(std::move(form));
    if (!mainForm_) mainForm_ = f;
    f->Create();
}

void TApplication::DestroyForms() {
    while (!forms_.empty()) {
        std::unique_ptr<TForm> form = std::move(forms_.back());
        forms_.pop_back();
        Protect([&] { form->Destroy(); });
        if (form.get() == mainForm_) mainForm_ = nullptr;
    }
    mainForm_ = nullptr;
}

TForm* TApplication::FormOf(HWND wnd) {
    if (!wnd) return nullptr;
    HWND root = GetAncestor(wnd, GA_ROOT);
    if (!root) return nullptr;
    // Only our forms carry a TForm pointer in their user data; the window
    // procedure tells them apart from other windows of the thread.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(root, GWLP_WNDPROC)) != &TForm::StaticWndProc) return nullptr;
    return reinterpret_cast<TForm*>(GetWindowLongPtrA(root, GWLP_USERDATA));
}

bool TApplication::ProcessMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool handled = false;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSCHAR || msg.message == WM_CHAR) {
        if (TForm* form = FormOf(msg.hwnd)) {
            try {
                handled = form->HandleDialogKey(msg);
            } catch (...) {
                HandleException();
                handled = true;
            }
        }
    }
    if (!handled) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void TApplication::Idle() {
    bool done = true;
    if (OnIdle) {
        try {
            OnIdle(done);
        } catch (...) {
            HandleException();
        }
    }
    if (done && !terminated_) WaitMessage();
}

void TApplication::HandleMessage() {
    if (!ProcessMessage()) Idle();
}

void TApplication::Run() {
    while (!terminated_) HandleMessage();
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {}
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::ShowException(const std::exception& e) {
    // Logged as the error box shows it, also where no box is shown (/S).
    ReportMessage(title_, ErrorBoxText(e.what()));
    if (OnException) {
        OnException(e);
        return;
    }
    ShowErrorBox(e);
}

void TApplication::HandleException() noexcept {
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            ShowException(EOutOfMemory());
        } catch (const std::exception& e) {
            ShowException(e);
        } catch (...) {
            ShowException(Exception("Unknown error"));
        }
    } catch (...) {
        // The handler itself failed (no memory for a box): nothing more can
        // be shown, and nothing may leave this function.
    }
}

int TApplication::ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    TWindowDisabler disabler(nullptr);
    if (OnMessageBox) return OnMessageBox(text, caption, flags);
    // Above a topmost window of ours, where it can be seen.
    if (disabler.TopmostSeen()) flags |= MB_TOPMOST;
    return MessageBoxA(handle_, text.c_str(), caption.c_str(), flags);
}

LRESULT CALLBACK TApplication::WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        switch (msg) {
            case WM_CLOSE:
                // Closing the application window ends the application the
                // way closing its main form does.
                if (TForm* main = Application.MainForm()) {
                    main->Close();
                    return 0;
                }
                break;
            case WM_SETFOCUS: {
                // Activated from outside (another instance brings this one to
                // the front): hand the activation to the last active form.
                HWND popup = GetLastActivePopup(wnd);
                if (popup && popup != wnd && IsWindowVisible(popup) && IsWindowEnabled(popup)) {
                    SetActiveWindow(popup);
                    return 0;
                }
                break;
            }
            default: break;
        }
    } catch (...) {
        Application.HandleException();
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

TWindowDisabler::TWindowDisabler(HWND keep) : keep_(keep), active_(GetActiveWindow()) {
    EnumThreadWindows(GetCurrentThreadId(), &TWindowDisabler::Visit, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK TWindowDisabler::Visit(HWND wnd, LPARAM self) {
    auto* d = reinterpret_cast<TWindowDisabler*>(self);
    if (wnd == d->keep_ || !IsWindowVisible(wnd)) return TRUE;
    if (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) d->topmostSeen_ = true;
    if (IsWindowEnabled(wnd)) {
        // The vector may throw: an exception must not leave this callback.
        try {
            d->disabled_.push_back(wnd);
        } catch (...) {
            return FALSE;
        }
        EnableWindow(wnd, FALSE);
    }
    return TRUE;
}

void TWindowDisabler::Restore() {
    if (restored_) return;
    restored_ = true;
    for (HWND wnd : disabled_) {
        if (IsWindow(wnd)) EnableWindow(wnd, TRUE);
    }
    if (active_ && IsWindow(active_) && IsWindowVisible(active_)) SetActiveWindow(active_);
}
