#include "ui/form.h"

#include "ui/control_factory.h"
#include "ui/dpi.h"
#include "ui/window_class.h"

namespace {

DWORD BorderStyle(FormBorder border) {
    switch (border) {
        case FormBorder::Dialog: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        case FormBorder::Single:
        default: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    }
}

DWORD BorderExStyle(FormBorder border) { return border == FormBorder::Dialog ? WS_EX_DLGMODALFRAME : 0; }

}  // namespace

TForm::TForm(const FormLayout& layout) : layout_(layout) {
    controls_.reserve(layout.RowCount);
    for (size_t i = 0; i < layout.RowCount; ++i)
        controls_.push_back(MakeControl(*this, layout.Rows[i], kFirstControlId + static_cast<int>(i)));
}

TForm::~TForm() = default;

void TForm::Create() {
    if (handle_) return;
    Application.Initialize();
    // Background painted by the form itself (WM_ERASEBKGND).
    if (!RegisterWindowClass(layout_.ClassName, &TForm::StaticWndProc, CS_DBLCLKS, true))
        throw Exception("RegisterClass failed");

    // The layout is drawn at 96 pixels per inch; the window, its font and
    // its controls grow with the screen's resolution.
    font_.Reset(CreateFontA(Scaled(layout_.FontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                            layout_.FontName));
    if (layout_.Color != clBtnFace) brush_.Reset(CreateSolidBrush(static_cast<COLORREF>(layout_.Color)));

    const DWORD style = BorderStyle(layout_.Border);
    const DWORD exStyle = BorderExStyle(layout_.Border);
    RECT r = {0, 0, Scaled(layout_.ClientWidth), Scaled(layout_.ClientHeight)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    int x = 0, y = 0;
    if (layout_.Position == FormPosition::ScreenCenter) {
        x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    }
    HWND wnd = CreateWindowExA(exStyle, layout_.ClassName, layout_.Caption, style, x, y, w, h, Application.Handle(),
                               nullptr, GetModuleHandleA(nullptr), this);
    if (!wnd) throw Exception("CreateWindow failed");
    handle_.Reset(wnd);
    for (auto& c : controls_) c->CreateHandle(wnd, font_.Get());

    RECT client;
    GetClientRect(wnd, &client);
    lastClientWidth_ = client.right;
    lastClientHeight_ = client.bottom;
    created_ = true;
    Loaded();
    FormCreate();
}

void TForm::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (created_) {
        created_ = false;
        FormDestroy();
    }
    handle_.Reset();
}

std::string TForm::Caption() const {
    char buf[256];
    int n = GetWindowTextA(Handle(), buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

void TForm::SetCaption(const std::string& caption) { SetWindowTextA(Handle(), caption.c_str()); }

int TForm::Width() const {
    RECT r;
    GetWindowRect(Handle(), &r);
    return r.right - r.left;
}

int TForm::Height() const {
    RECT r;
    GetWindowRect(Handle(), &r);
    return r.bottom - r.top;
}

int TForm::ClientWidth() const {
    RECT r;
    GetClientRect(Handle(), &r);
    return r.right;
}

int TForm::ClientHeight() const {
    RECT r;
    GetClientRect(Handle(), &r);
    return r.bottom;
}

bool TForm::Visible() const { return handle_ && IsWindowVisible(Handle()); }

void TForm::PlaceCentered(bool topmost) {
    const int x = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
    UINT flags = SWP_NOSIZE | SWP_NOACTIVATE;
    if (!topmost) flags |= SWP_NOZORDER;
    SetWindowPos(Handle(), topmost ? HWND_TOPMOST : nullptr, x, y, 0, 0, flags);
}

void TForm::Show() {
    if (layout_.Position == FormPosition::ScreenCenter) PlaceCentered(false);
    FormShow();
    if (this == Application.MainForm()) Application.ShowApplicationWindow();
    ShowWindow(Handle(), SW_SHOW);
    // In front of the application's other windows, and active.
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(Handle());
}

void TForm::Hide() {
    if (!Visible()) return;
    FormHide();
    ShowWindow(Handle(), SW_HIDE);
}

int TForm::ShowModal() {
    if (Visible() || modal_) throw Exception("Cannot make a visible window modal");
    ModalResult = mrNone;
    modal_ = true;
    // A modal dialog starts from its first control every time (the default
    // button of a confirmation), whatever had the focus when it was last
    // closed: Enter and Esc must mean the same thing on every showing.
    lastFocus_ = nullptr;
    int result = mrNone;
    {
        TWindowDisabler disabler(Handle());
        // Above a topmost window that opened it, where it can be seen.
        if (disabler.TopmostSeen())
            SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        try {
            Show();
            do {
                Application.HandleMessage();
                if (Application.Terminated())
                    ModalResult = mrCancel;
                else if (ModalResult != mrNone)
                    CloseModal();
            } while (ModalResult == mrNone);
        } catch (...) {
            modal_ = false;
            disabler.Restore();
            Hide();
            throw;
        }
        result = ModalResult;
        // The others are enabled and the window active before is activated
        // again while this one is still up, so the system never activates
        // some other window in between; then this one goes.
        disabler.Restore();
        Hide();
        if (disabler.TopmostSeen())
            SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    modal_ = false;
    return result;
}

void TForm::CloseModal() {
    TCloseAction action = TCloseAction::caHide;
    if (!CloseQuery())
        action = TCloseAction::caNone;
    else
        FormClose(action);
    if (action == TCloseAction::caNone) ModalResult = mrNone;
}

bool TForm::CloseQuery() {
    bool canClose = true;
    FormCloseQuery(canClose);
    return canClose;
}

void TForm::EndModal(int result) {
    ModalResult = result;
    // A message in the queue: the loop does not go to sleep before it
    // has seen the result.
    if (modal_) PostMessageA(Handle(), WM_NULL, 0, 0);
}

void TForm::Close() {
    if (modal_) {
        EndModal(mrCancel);
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = TCloseAction::caHide;
    FormClose(action);
    if (action == TCloseAction::caNone) return;
    if (action == TCloseAction::caMinimize) {
        ShowWindow(Handle(), SW_MINIMIZE);
        return;
    }
    Hide();
    if (this == Application.MainForm()) Application.Terminate();
}

TControl* TForm::FindControl(const char* name) const {
    for (const auto& c : controls_) {
        if (lstrcmpA(c->Name(), name) == 0) return c.get();
    }
    return nullptr;
}

LRESULT CALLBACK TForm::StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!form || !form->handle_) {
        // Messages of creation, before the handle is owned.
        return DefWindowProcA(wnd, msg, wp, lp);
    }
    try {
        return form->WndProc(msg, wp, lp);
    } catch (...) {
        Application.HandleException();
        return 0;
    }
}

// Each message the form handles goes to one handler named after it; the
// others, and those a handler passes on, to the default window procedure.
LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: return WmCommand(wp, lp);
        case WM_CLOSE: return WmClose();
        case WM_ACTIVATE: return WmActivate(wp, lp);
        case WM_SETFOCUS: return WmSetFocus(wp, lp);
        case WM_SIZE: return WmSize(wp, lp);
        case WM_ERASEBKGND: return WmEraseBkgnd(reinterpret_cast<HDC>(wp));
        case WM_PAINT: return WmPaint();
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: return WmCtlColor(msg, wp, lp);
        case WM_NCDESTROY: return WmNcDestroy(wp, lp);
        default: return DefaultHandler(msg, wp, lp);
    }
}

LRESULT TForm::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(Handle(), msg, wp, lp); }

LRESULT TForm::WmCommand(WPARAM wp, LPARAM lp) {
    const WORD id = LOWORD(wp);
    const WORD code = HIWORD(wp);
    if (lp == 0 && (id == IDOK || id == IDCANCEL)) {
        // Dialog commands sent to the form: press the default or cancel
        // button as Enter and Esc would.
        PressButton(id == IDOK ? DefaultButton() : CancelButton());
        return 0;
    }
    for (auto& c : controls_) {
        if (c->Handle() == reinterpret_cast<HWND>(lp) || (lp == 0 && c->Id() == id)) {
            c->Notify(code);
            return 0;
        }
    }
    return DefaultHandler(WM_COMMAND, wp, lp);
}

LRESULT TForm::WmClose() {
    Close();
    return 0;
}

LRESULT TForm::WmActivate(WPARAM wp, LPARAM lp) {
    if (LOWORD(wp) == WA_INACTIVE) {
        // The focus comes back to this control when the form is active again.
        if (TControl* c = ControlOfWindow(GetFocus())) lastFocus_ = c->Handle();
        return DefaultHandler(WM_ACTIVATE, wp, lp);
    }
    DefaultHandler(WM_ACTIVATE, wp, lp);
    if (!HIWORD(wp)) Activated();  // not when minimised
    return 0;
}

LRESULT TForm::WmSetFocus(WPARAM wp, LPARAM lp) {
    if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
        SetFocus(lastFocus_);
        return 0;
    }
    return DefaultHandler(WM_SETFOCUS, wp, lp);
}

LRESULT TForm::WmSize(WPARAM wp, LPARAM lp) {
    const int w = LOWORD(lp), h = HIWORD(lp);
    if (created_ && wp != SIZE_MINIMIZED && (w != lastClientWidth_ || h != lastClientHeight_)) {
        lastClientWidth_ = w;
        lastClientHeight_ = h;
        FormResize();
    }
    return 0;
}

LRESULT TForm::WmEraseBkgnd(HDC dc) {
    RECT r;
    GetClientRect(Handle(), &r);
    FillRect(dc, &r, brush_ ? brush_.Get() : GetSysColorBrush(COLOR_BTNFACE));
    return 1;
}

LRESULT TForm::WmPaint() {
    PaintDC dc(Handle());
    RECT clip;
    if (GetClipBox(dc.Get(), &clip) == ERROR) clip = dc.PaintRect();
    FormPaint(dc.Get(), clip);
    return 0;
}

LRESULT TForm::WmCtlColor(UINT msg, WPARAM wp, LPARAM lp) {
    // Static controls and buttons on the form's own colour.
    if (!brush_) return DefaultHandler(msg, wp, lp);
    SetBkColor(reinterpret_cast<HDC>(wp), static_cast<COLORREF>(layout_.Color));
    return reinterpret_cast<LRESULT>(brush_.Get());
}

LRESULT TForm::WmNcDestroy(WPARAM wp, LPARAM lp) {
    // The window is going (destroyed by Destroy or by the system): the
    // form no longer owns it.
    HWND wnd = handle_.Release();
    return DefWindowProcA(wnd, WM_NCDESTROY, wp, lp);
}
