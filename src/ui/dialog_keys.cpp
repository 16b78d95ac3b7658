// The keyboard interface of a form: the tab order, Tab and Shift+Tab, Enter
// and Esc (the default and cancel buttons), Alt+letter accelerators, the
// focus on activation and the drawing of the default button. Controls say
// which keys they keep for themselves (TControl::WantsDialogKey).
#include "ui/form.h"

TButton* TForm::DefaultButton() const {
    for (const auto& c : controls_) {
        TButton* b = c->AsButton();
        if (b && b->IsDefault()) return b;
    }
    return nullptr;
}

TButton* TForm::CancelButton() const {
    for (const auto& c : controls_) {
        TButton* b = c->AsButton();
        if (b && b->IsCancel()) return b;
    }
    return nullptr;
}

bool TForm::PressButton(TButton* button) {
    if (!button || !button->CanFocus()) return false;
    button->Click();
    return true;
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
    // Sorted by TabOrder as the controls are taken in table order, each one
    // after those with an equal value (a hand-made insertion sort: a form
    // has a dozen controls, and the library's stable sort would cost the
    // program some kilobytes).
    std::vector<TControl*> order;
    for (const auto& c : controls_) {
        if (!c->IsTabStop()) continue;
        auto at = order.end();
        while (at != order.begin() && (*(at - 1))->Row().TabOrder > c->Row().TabOrder) --at;
        order.insert(at, c.get());
    }
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
            order[i]->FocusedByTab();
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
    if (msg.message == WM_SYSCHAR) return HandleAccelerator(static_cast<char>(msg.wParam));
    if (msg.message != WM_KEYDOWN) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (ctrl || alt) return false;
    TControl* focused = ControlOfWindow(msg.hwnd);
    if (focused && focused->WantsDialogKey(msg.wParam)) return false;
    switch (msg.wParam) {
        case VK_TAB: SelectNext(GetKeyState(VK_SHIFT) >= 0); return true;
        case VK_RETURN: {
            // The focused button, else the default one.
            TButton* focusedButton = focused ? focused->AsButton() : nullptr;
            return PressButton(focusedButton ? focusedButton : DefaultButton());
        }
        case VK_ESCAPE: return PressButton(CancelButton());
        default: return false;
    }
}

void TForm::ControlFocused(TControl& control) {
    lastFocus_ = control.Handle();
    const bool onButton = control.AsButton() != nullptr;
    for (const auto& c : controls_) {
        TButton* b = c->AsButton();
        if (!b) continue;
        const bool highlight = onButton ? c.get() == &control : b->IsDefault();
        const bool now = (GetWindowLongA(b->Handle(), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
        if (highlight != now)
            SendMessageA(b->Handle(), BM_SETSTYLE, highlight ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
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
