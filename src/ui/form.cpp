#include "ui/form.h"

#include <algorithm>

#include "ui/directory_list.h"
#include "ui/drive_box.h"
#include "ui/window_class.h"

namespace {

DWORD BorderStyle(FormBorder border) {
    switch (border) {
        case FormBorder::Dialog:
            return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        case FormBorder::Single:
        default:
            return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    }
}

DWORD BorderExStyle(FormBorder border) { return border == FormBorder::Dialog ? WS_EX_DLGMODALFRAME : 0; }

// Control ids start above the dialog command ids (IDOK .. IDNO), which the
// form maps to its default and cancel buttons.
constexpr int kFirstControlId = 100;

std::unique_ptr<TControl> MakeControl(TForm& form, const ControlRow& row, int id) {
    switch (row.Kind) {
        case ControlKind::Label: return std::unique_ptr<TControl>(new TLabel(form, row, id));
        case ControlKind::Button: return std::unique_ptr<TControl>(new TButton(form, row, id));
        case ControlKind::CheckBox: return std::unique_ptr<TControl>(new TCheckBox(form, row, id));
        case ControlKind::GroupBox: return std::unique_ptr<TControl>(new TGroupBox(form, row, id));
        case ControlKind::Edit: return std::unique_ptr<TControl>(new TEdit(form, row, id));
        case ControlKind::Memo: return std::unique_ptr<TControl>(new TMemo(form, row, id));
        case ControlKind::ListBox: return std::unique_ptr<TControl>(new TListBox(form, row, id));
        case ControlKind::ComboBox: return std::unique_ptr<TControl>(new TComboBox(form, row, id));
        case ControlKind::Gauge: return std::unique_ptr<TControl>(new TGauge(form, row, id));
        case ControlKind::DriveBox: return std::unique_ptr<TControl>(new TDriveComboBox(form, row, id));
        case ControlKind::DirectoryList: return std::unique_ptr<TControl>(new TDirectoryListBox(form, row, id));
    }
    throw Exception("Unknown control kind");
}

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
    if (!RegisterWindowClass(layout_.ClassName, &TForm::StaticWndProc, CS_DBLCLKS))
        throw Exception("RegisterClass failed");

    font_.Reset(CreateFontA(layout_.FontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                            layout_.FontName));
    if (layout_.Color != clBtnFace) brush_.Reset(CreateSolidBrush(static_cast<COLORREF>(layout_.Color)));

    const DWORD style = BorderStyle(layout_.Border);
    const DWORD exStyle = BorderExStyle(layout_.Border);
    RECT r = {0, 0, layout_.ClientWidth, layout_.ClientHeight};
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

TButton* TForm::DefaultButton() const {
    for (const auto& c : controls_) {
        if (c->Kind() == ControlKind::Button && static_cast<TButton&>(*c).IsDefault()) return static_cast<TButton*>(c.get());
    }
    return nullptr;
}

TButton* TForm::CancelButton() const {
    for (const auto& c : controls_) {
        if (c->Kind() == ControlKind::Button && static_cast<TButton&>(*c).IsCancel()) return static_cast<TButton*>(c.get());
    }
    return nullptr;
}

TControl* TForm::ControlOfWindow(HWND wnd) const {
    // The focus may sit in a part of a control (the edit of a combo box).
    for (; wnd && wnd != Handle(); wnd = GetParent(wnd)) {
        for (const auto& c : controls_) {
            if (c->Handle() == wnd) return c.get();
        }
    }
    return nullptr;
}

TControl* TForm::FocusedControl() const {
    if (TControl* c = ControlOfWindow(GetFocus())) return c;
    return ControlOfWindow(lastFocus_);
}

std::vector<TControl*> TForm::TabOrder() const {
    std::vector<TControl*> order;
    for (const auto& c : controls_) {
        if (c->IsTabStop()) order.push_back(c.get());
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const TControl* a, const TControl* b) { return a->Row().TabOrder < b->Row().TabOrder; });
    return order;
}

void TForm::SelectNext(bool forward) {
    std::vector<TControl*> order = TabOrder();
    const int n = static_cast<int>(order.size());
    if (n == 0) return;
    TControl* current = FocusedControl();
    int start = forward ? -1 : 0;
    for (int i = 0; i < n; ++i) {
        if (order[i] == current) start = i;
    }
    for (int step = 1; step <= n; ++step) {
        int i = ((start + (forward ? step : -step)) % n + n) % n;
        if (order[i]->CanFocus()) {
            order[i]->SetFocus();
            if (order[i]->Kind() == ControlKind::Edit) static_cast<TEdit*>(order[i])->SelectAll();
            return;
        }
    }
}

bool TForm::HandleAccelerator(char key) {
    if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
    for (const auto& c : controls_) {
        if (c->Accelerator() == key && c->Visible() && c->Enabled()) {
            c->AcceleratorPressed();
            return true;
        }
    }
    return false;
}

bool TForm::HandleDialogKey(const MSG& msg) {
    if (!IsWindowEnabled(Handle())) return false;
    TControl* focused = ControlOfWindow(msg.hwnd);
    if (msg.message == WM_SYSCHAR) return HandleAccelerator(static_cast<char>(msg.wParam));
    if (msg.message != WM_KEYDOWN) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (ctrl || alt) return false;
    if (focused && focused->Kind() == ControlKind::ComboBox && static_cast<TComboBox*>(focused)->DroppedDown())
        return false;  // Enter and Esc close the list first
    if (focused && focused->WantsDialogKey(msg.wParam)) return false;
    switch (msg.wParam) {
        case VK_TAB:
            SelectNext(GetKeyState(VK_SHIFT) >= 0);
            return true;
        case VK_RETURN: {
            if (focused && focused->Kind() == ControlKind::Memo &&
                (GetWindowLongA(focused->Handle(), GWL_STYLE) & ES_WANTRETURN))
                return false;
            TButton* target = nullptr;
            if (focused && focused->Kind() == ControlKind::Button)
                target = static_cast<TButton*>(focused);
            else
                target = DefaultButton();
            if (target && target->CanFocus()) {
                target->Click();
                return true;
            }
            return false;
        }
        case VK_ESCAPE: {
            TButton* cancel = CancelButton();
            if (cancel && cancel->CanFocus()) {
                cancel->Click();
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

void TForm::ControlFocused(TControl& control) {
    lastFocus_ = control.Handle();
    const bool onButton = control.Kind() == ControlKind::Button;
    for (const auto& c : controls_) {
        if (c->Kind() != ControlKind::Button) continue;
        const bool highlight = onButton ? c.get() == &control : static_cast<TButton&>(*c).IsDefault();
        const bool now = (GetWindowLongA(c->Handle(), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
        if (highlight != now) SendMessageA(c->Handle(), BM_SETSTYLE, highlight ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

void TForm::Activated() {
    HWND target = lastFocus_;
    if (!target || !IsWindow(target) || !IsWindowVisible(target) || !IsWindowEnabled(target)) {
        target = nullptr;
        for (TControl* c : TabOrder()) {
            if (c->CanFocus()) {
                target = c->Handle();
                break;
            }
        }
    }
    if (target) SetFocus(target);
    FormActivate();
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

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    HWND wnd = Handle();
    switch (msg) {
        case WM_COMMAND: {
            const WORD id = LOWORD(wp);
            const WORD code = HIWORD(wp);
            if (lp == 0 && (id == IDOK || id == IDCANCEL)) {
                // Dialog commands sent to the form: press the default or
                // cancel button as Enter and Esc would.
                TButton* b = id == IDOK ? DefaultButton() : CancelButton();
                if (b && b->CanFocus()) b->Click();
                return 0;
            }
            for (auto& c : controls_) {
                if (c->Handle() == reinterpret_cast<HWND>(lp) || (lp == 0 && c->Id() == id)) {
                    c->Notify(code);
                    return 0;
                }
            }
            break;
        }
        case WM_CLOSE:
            Close();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                if (TControl* c = ControlOfWindow(GetFocus())) lastFocus_ = c->Handle();
                break;
            }
            DefWindowProcA(wnd, msg, wp, lp);
            if (!HIWORD(wp)) Activated();
            return 0;
        case WM_SETFOCUS:
            if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
                SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_SIZE: {
            const int w = LOWORD(lp), h = HIWORD(lp);
            if (created_ && wp != SIZE_MINIMIZED && (w != lastClientWidth_ || h != lastClientHeight_)) {
                lastClientWidth_ = w;
                lastClientHeight_ = h;
                FormResize();
            }
            return 0;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(wnd, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, brush_ ? brush_.Get() : GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            PaintDC dc(wnd);
            RECT clip;
            if (GetClipBox(dc.Get(), &clip) == ERROR) clip = dc.PaintRect();
            FormPaint(dc.Get(), clip);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (brush_) {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetBkColor(dc, static_cast<COLORREF>(layout_.Color));
                return reinterpret_cast<LRESULT>(brush_.Get());
            }
            break;
        case WM_NCDESTROY:
            handle_.Release();
            break;
        default:
            break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}
