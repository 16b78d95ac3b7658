#include "ui/controls.h"

#include "ui/application.h"
#include "ui/dpi.h"
#include "ui/form.h"
#include "ui/window_class.h"

TControl::TControl(TForm& owner, const ControlRow& row, int id) : owner_(owner), row_(row), id_(id) {}

TControl::~TControl() = default;

void TControl::CreateHandle(HWND parent, HFONT formFont) {
    DWORD style = Style();
    if (Has(cfDisabled)) style |= WS_DISABLED;
    if (Has(cfHidden)) style &= ~WS_VISIBLE;
    if (IsTabStop() && !Has(cfNoTabStop)) style |= WS_TABSTOP;
    handle_ = CreateWindowExA(ExStyle(), WindowClass(), row_.Text ? row_.Text : "", style, Scaled(row_.Left),
                              Scaled(row_.Top), Scaled(row_.Width), Scaled(row_.Height), parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), GetModuleHandleA(nullptr), nullptr);
    if (!handle_) throw Exception(std::string("CreateWindow failed for ") + row_.Name);

    HFONT font = formFont;
    if (row_.FontHeight != 0 || Has(cfBold)) {
        LOGFONTA lf = {};
        GetObjectA(formFont, sizeof lf, &lf);
        if (row_.FontHeight != 0) lf.lfHeight = Scaled(row_.FontHeight);
        if (Has(cfBold)) lf.lfWeight = FW_BOLD;
        font_.Reset(CreateFontIndirectA(&lf));
        if (font_) font = font_.Get();
    }
    // Every control passes through SubclassProc (the exception boundary).
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    baseProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TControl::SubclassProc)));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    AfterCreate();
}

LRESULT CALLBACK TControl::SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* c = reinterpret_cast<TControl*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!c || c->handle_ != wnd) return DefWindowProcA(wnd, msg, wp, lp);
    try {
        return c->WndProc(msg, wp, lp);
    } catch (...) {
        Application.HandleException();
        return 0;
    }
}

LRESULT TControl::CallBase(UINT msg, WPARAM wp, LPARAM lp) { return CallWindowProcA(baseProc_, handle_, msg, wp, lp); }

LRESULT TControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CHAR && OnKeyPress) {
        char key = static_cast<char>(wp);
        OnKeyPress(key);
        if (key == 0) return 0;
        wp = static_cast<unsigned char>(key);
    }
    if (msg == WM_SETFOCUS) {
        LRESULT r = CallBase(msg, wp, lp);
        owner_.ControlFocused(*this);
        return r;
    }
    if (msg == WM_NCDESTROY) {
        LRESULT r = CallBase(msg, wp, lp);
        handle_ = nullptr;
        return r;
    }
    return CallBase(msg, wp, lp);
}

std::string TControl::Text() const {
    int n = GetWindowTextLengthA(handle_);
    if (n <= 0) return std::string();
    std::string s(static_cast<size_t>(n) + 1, '\0');
    n = GetWindowTextA(handle_, &s[0], n + 1);
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return s;
}

void TControl::SetText(const std::string& text) { SetWindowTextA(handle_, text.c_str()); }

bool TControl::Enabled() const { return IsWindowEnabled(handle_) != 0; }

void TControl::SetEnabled(bool enabled) { EnableWindow(handle_, enabled); }

bool TControl::Visible() const { return (GetWindowLongA(handle_, GWL_STYLE) & WS_VISIBLE) != 0; }

void TControl::SetVisible(bool visible) { ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE); }

bool TControl::CanFocus() const { return handle_ && Visible() && Enabled() && IsWindowEnabled(owner_.Handle()); }

void TControl::SetFocus() { ::SetFocus(handle_); }

void TControl::Repaint() {
    InvalidateRect(handle_, nullptr, TRUE);
    UpdateWindow(handle_);
}

bool TControl::IsTabStop() const { return !Has(cfNoTabStop); }

char TControl::Accelerator() const {
    if (Has(cfNoPrefix) || !row_.Text) return 0;
    std::string text = Text();
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;  // "&&" is a plain "&"
            continue;
        }
        char c = text[i + 1];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return c;
    }
    return 0;
}

void TControl::AcceleratorPressed() {
    if (CanFocus()) SetFocus();
}

void TControl::Notify(WORD code) { (void)code; }

// Label ------------------------------------------------------------------

DWORD TLabel::Style() const {
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (Has(cfCentered))
        style |= SS_CENTER;
    else
        style |= Has(cfWordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP;
    if (Has(cfNoPrefix)) style |= SS_NOPREFIX;
    return style;
}

void TLabel::AcceleratorPressed() {
    // Focus goes to the next control of the table that can take it.
    const auto& controls = Owner().Controls();
    bool after = false;
    for (const auto& c : controls) {
        if (after && c->IsTabStop() && c->CanFocus()) {
            c->SetFocus();
            return;
        }
        if (c.get() == this) after = true;
    }
}

// Button -----------------------------------------------------------------

DWORD TButton::Style() const { return WS_CHILD | WS_VISIBLE | (Has(cfDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON); }

void TButton::Click() {
    if (Row().ModalResult != mrNone) Owner().EndModal(Row().ModalResult);
    if (OnClick) OnClick();
}

void TButton::AcceleratorPressed() {
    if (!CanFocus()) return;
    SetFocus();
    Click();
}

void TButton::Notify(WORD code) {
    if (code == BN_CLICKED) Click();
}

// Check box --------------------------------------------------------------

DWORD TCheckBox::Style() const { return WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX; }

void TCheckBox::AfterCreate() { SetChecked(Has(cfChecked)); }

bool TCheckBox::Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) { Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }

void TCheckBox::AcceleratorPressed() {
    if (!CanFocus()) return;
    SetFocus();
    SetChecked(!Checked());
    if (OnClick) OnClick();
}

void TCheckBox::Notify(WORD code) {
    if (code == BN_CLICKED && OnClick) OnClick();
}

// Group box --------------------------------------------------------------

DWORD TGroupBox::Style() const { return WS_CHILD | WS_VISIBLE | BS_GROUPBOX; }

// Edit and memo ----------------------------------------------------------

DWORD TEdit::Style() const { return WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | (Has(cfReadOnly) ? ES_READONLY : 0); }

void TEdit::SelectAll() { Send(EM_SETSEL, 0, -1); }

void TEdit::Notify(WORD code) {
    if (code == EN_CHANGE && OnChange) OnChange();
}

DWORD TMemo::Style() const {
    return WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
           (Has(cfReadOnly) ? ES_READONLY : 0);
}

void TMemo::Add(const std::string& line) {
    std::string text = Text();
    if (!text.empty()) text += "\r\n";
    text += line;
    SetText(text);
}

std::vector<std::string> TMemo::Lines() const {
    std::vector<std::string> lines;
    const std::string text = Text();
    if (text.empty()) return lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool TMemo::WantsDialogKey(WPARAM key) const {
    return key == VK_RETURN && (GetWindowLongA(Handle(), GWL_STYLE) & ES_WANTRETURN);
}

void TMemo::Notify(WORD code) {
    if (code == EN_CHANGE && OnChange) OnChange();
}

// List and combo box -----------------------------------------------------

void TItemsControl::Clear() { Send(Msgs().reset); }

int TItemsControl::Add(const std::string& item) {
    LRESULT r = Send(Msgs().add, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (r < 0) throw EOutOfMemory();
    return static_cast<int>(r);
}

int TItemsControl::Count() const { return static_cast<int>(Send(Msgs().count)); }

std::string TItemsControl::Item(int index) const {
    LRESULT n = Send(Msgs().textLen, index);
    if (n < 0) return std::string();
    std::string s(static_cast<size_t>(n) + 1, '\0');
    n = Send(Msgs().text, index, reinterpret_cast<LPARAM>(&s[0]));
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return s;
}

int TItemsControl::ItemIndex() const { return static_cast<int>(Send(Msgs().getSel)); }

void TItemsControl::SetItemIndex(int index) { Send(Msgs().setSel, index); }

DWORD TListBox::Style() const {
    return WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | (Has(cfSorted) ? LBS_SORT : 0) |
           (Has(cfPartialLines) ? LBS_NOINTEGRALHEIGHT : 0);
}

const TItemsControl::Messages& TListBox::Msgs() const {
    static constexpr Messages kList = {LB_RESETCONTENT, LB_ADDSTRING, LB_GETCOUNT, LB_GETTEXTLEN,
                                       LB_GETTEXT,      LB_GETCURSEL, LB_SETCURSEL};
    return kList;
}

void TListBox::Notify(WORD code) {
    if (code == LBN_SELCHANGE && OnClick) OnClick();
}

DWORD TComboBox::Style() const {
    return WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | (Has(cfSorted) ? CBS_SORT : 0);
}

const TItemsControl::Messages& TComboBox::Msgs() const {
    static constexpr Messages kCombo = {CB_RESETCONTENT, CB_ADDSTRING, CB_GETCOUNT, CB_GETLBTEXTLEN,
                                        CB_GETLBTEXT,    CB_GETCURSEL, CB_SETCURSEL};
    return kCombo;
}

bool TComboBox::DroppedDown() const { return Send(CB_GETDROPPEDSTATE) != 0; }

bool TComboBox::WantsDialogKey(WPARAM key) const {
    (void)key;
    return DroppedDown();
}

void TComboBox::Notify(WORD code) {
    if (code == CBN_SELCHANGE && OnChange) OnChange();
}

// Gauge ------------------------------------------------------------------

const char* TGauge::WindowClass() const {
    // The window is subclassed once made: its class needs no procedure of
    // its own.
    RegisterWindowClass(kGaugeWindowClass, &DefWindowProcA);
    return kGaugeWindowClass;
}

bool TGauge::SetProgress(int value) {
    if (value < MinValue) value = MinValue;
    if (value > MaxValue) value = MaxValue;
    if (value == progress_) return false;
    const int before = progress_;
    const int percentBefore = PercentDone();
    progress_ = value;
    if (drawnWidth_ >= 0 && PercentDone() == percentBefore &&
        FilledWidth(before, drawnWidth_) == FilledWidth(value, drawnWidth_))
        return false;
    if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
    return true;
}

int TGauge::FilledWidth(int progress, int innerWidth) const {
    const int64_t range = static_cast<int64_t>(MaxValue) - MinValue;
    return range > 0 ? static_cast<int>((static_cast<int64_t>(progress) - MinValue) * innerWidth / range) : 0;
}

int TGauge::PercentDone() const {
    const int64_t range = static_cast<int64_t>(MaxValue) - MinValue;
    if (range <= 0) return 0;
    return static_cast<int>((static_cast<int64_t>(progress_) - MinValue) * 100 / range);
}

void TGauge::Draw(HDC dc, int width, int height) const {
    RECT all = {0, 0, width, height};
    // Single border, then the bar inside it.
    FrameRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT inner = {1, 1, width - 1, height - 1};
    if (inner.right <= inner.left || inner.bottom <= inner.top) return;
    const int innerWidth = inner.right - inner.left;
    drawnWidth_ = innerWidth;
    const int filled = FilledWidth(progress_, innerWidth);
    RECT fill = {inner.left, inner.top, inner.left + filled, inner.bottom};
    RECT rest = {fill.right, inner.top, inner.right, inner.bottom};

    BrushHandle fore(CreateSolidBrush(ForeColor));
    BrushHandle back(CreateSolidBrush(BackColor));
    FillRect(dc, &fill, fore.Get());
    FillRect(dc, &rest, back.Get());

    char text[8];
    wsprintfA(text, "%d%%", PercentDone());
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
    SelectedObject selected(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    // The text in the fill colour over the empty part and in the background
    // colour over the filled part, so it reads everywhere.
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, rest.left, rest.top, rest.right, rest.bottom);
    SetTextColor(dc, ForeColor);
    DrawTextA(dc, text, -1, &inner, format);
    RestoreDC(dc, saved);
    const int saved2 = SaveDC(dc);
    IntersectClipRect(dc, fill.left, fill.top, fill.right, fill.bottom);
    SetTextColor(dc, BackColor);
    DrawTextA(dc, text, -1, &inner, format);
    RestoreDC(dc, saved2);
}

LRESULT TGauge::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        // A window class of our own keeps its font itself: the default
        // window procedure forgets it.
        case WM_SETFONT:
            textFont_ = reinterpret_cast<HFONT>(wp);
            if (LOWORD(lp)) InvalidateRect(Handle(), nullptr, FALSE);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(textFont_);
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PaintDC dc(Handle());
            RECT r;
            GetClientRect(Handle(), &r);
            // Drawn off-screen first: no flicker at every step.
            MemoryDC mem(CreateCompatibleDC(dc.Get()));
            BitmapHandle bmp(CreateCompatibleBitmap(dc.Get(), r.right, r.bottom));
            if (mem && bmp) {
                SelectedObject sel(mem.Get(), bmp.Get());
                Draw(mem.Get(), r.right, r.bottom);
                BitBlt(dc.Get(), 0, 0, r.right, r.bottom, mem.Get(), 0, 0, SRCCOPY);
            } else {
                Draw(dc.Get(), r.right, r.bottom);
            }
            return 0;
        }
        default: return TControl::WndProc(msg, wp, lp);
    }
}
