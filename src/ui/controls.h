// The standard controls of the forms. Each wraps one child window made
// from its layout row; notifications arrive as OnClick / OnChange /
// OnKeyPress. Every control window is subclassed so that its messages pass
// the exception boundary of the toolkit.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/handles.h"
#include "ui/layout.h"

class TButton;
class TForm;

class TControl {
public:
    TControl(TForm& owner, const ControlRow& row, int id);
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;
    virtual ~TControl();

    TForm& Owner() const { return owner_; }
    const ControlRow& Row() const { return row_; }
    const char* Name() const { return row_.Name; }
    ControlKind Kind() const { return row_.Kind; }
    int Id() const { return id_; }
    HWND Handle() const { return handle_; }

    std::string Text() const;
    void SetText(const std::string& text);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);
    // Visible and enabled, on a visible form.
    bool CanFocus() const;
    void SetFocus();
    // Paints the control now (not merely marks it for painting).
    void Repaint();

    // Reached with Tab (when it can take the focus).
    virtual bool IsTabStop() const;
    // The upper-case character after a single "&" of the text, or 0.
    char Accelerator() const;
    // What the control's accelerator does: focus it (the default).
    virtual void AcceleratorPressed();
    // True when the control handles this key itself while it has the focus
    // (the form's Tab, Enter and Esc then leave it alone).
    virtual bool WantsDialogKey(WPARAM key) const {
        (void)key;
        return false;
    }
    // The focus arrived with Tab or Shift+Tab.
    virtual void FocusedByTab() {}
    // The control as a push button (pressed by Enter while focused, drawn
    // as the default one then); nullptr for every other control.
    virtual TButton* AsButton() { return nullptr; }

    std::function<void()> OnClick;
    std::function<void()> OnChange;
    // A typed character; setting it to 0 discards it.
    std::function<void(char& key)> OnKeyPress;

    // Internal: makes the window, a child of `parent`.
    void CreateHandle(HWND parent, HFONT formFont);
    // Internal: a WM_COMMAND notification from the control.
    virtual void Notify(WORD code);
    // Internal: the subclassed window procedure.
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

protected:
    virtual const char* WindowClass() const = 0;
    virtual DWORD Style() const = 0;
    virtual DWORD ExStyle() const { return 0; }
    virtual void AfterCreate() {}
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageA(handle_, msg, wp, lp); }
    bool Has(uint32_t flag) const { return (row_.Flags & flag) != 0; }
    LRESULT CallBase(UINT msg, WPARAM wp, LPARAM lp);

private:
    static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    TForm& owner_;
    const ControlRow& row_;
    int id_;
    HWND handle_ = nullptr;
    WNDPROC baseProc_ = nullptr;
    FontHandle font_;
};

class TLabel : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::Label;
    using TControl::TControl;
    bool IsTabStop() const override { return false; }
    void AcceleratorPressed() override;

protected:
    const char* WindowClass() const override { return "STATIC"; }
    DWORD Style() const override;
};

class TButton : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::Button;
    using TControl::TControl;
    bool IsDefault() const { return Has(cfDefault); }
    bool IsCancel() const { return Has(cfCancel); }
    // What a press does: the button's modal result goes to the form, then
    // OnClick runs.
    void Click();
    void AcceleratorPressed() override;
    TButton* AsButton() override { return this; }
    void Notify(WORD code) override;

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD Style() const override;
};

class TCheckBox : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::CheckBox;
    using TControl::TControl;
    bool Checked() const;
    void SetChecked(bool checked);
    void AcceleratorPressed() override;
    void Notify(WORD code) override;

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD Style() const override;
    void AfterCreate() override;
};

class TGroupBox : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::GroupBox;
    using TControl::TControl;
    bool IsTabStop() const override { return false; }

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD Style() const override;
    // A group box paints only its frame and caption: its inside is the
    // form's background, which the form's clipping of children would
    // otherwise leave unpainted.
    DWORD ExStyle() const override { return WS_EX_TRANSPARENT; }
};

class TEdit : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::Edit;
    using TControl::TControl;
    void SelectAll();
    // Tabbed into, the whole text is selected (typing replaces it).
    void FocusedByTab() override { SelectAll(); }
    void Notify(WORD code) override;

protected:
    const char* WindowClass() const override { return "EDIT"; }
    DWORD Style() const override;
    DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
};

class TMemo : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::Memo;
    using TControl::TControl;
    void Clear() { SetText(std::string()); }
    // Appends one line.
    void Add(const std::string& line);
    // The text split at line breaks (CR LF).
    std::vector<std::string> Lines() const;
    // Enter starts a new line (when the memo was made to want it).
    bool WantsDialogKey(WPARAM key) const override;
    void Notify(WORD code) override;

protected:
    const char* WindowClass() const override { return "EDIT"; }
    DWORD Style() const override;
    DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
};

// Shared item interface of the list and combo boxes.
class TItemsControl : public TControl {
public:
    using TControl::TControl;
    void Clear();
    // Adds an item (in sorted place for a sorted control); returns its index.
    int Add(const std::string& item);
    int Count() const;
    std::string Item(int index) const;
    // Index of the selected item, -1 when none.
    int ItemIndex() const;
    void SetItemIndex(int index);

protected:
    struct Messages {
        UINT reset, add, count, textLen, text, getSel, setSel;
    };
    virtual const Messages& Msgs() const = 0;
};

class TListBox : public TItemsControl {
public:
    static constexpr ControlKind kKind = ControlKind::ListBox;
    using TItemsControl::TItemsControl;
    void Notify(WORD code) override;

protected:
    const char* WindowClass() const override { return "LISTBOX"; }
    DWORD Style() const override;
    DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
    const Messages& Msgs() const override;
};

class TComboBox : public TItemsControl {
public:
    static constexpr ControlKind kKind = ControlKind::ComboBox;
    using TItemsControl::TItemsControl;
    bool DroppedDown() const;
    // An open list takes every key first (Enter and Esc close it).
    bool WantsDialogKey(WPARAM key) const override;
    void Notify(WORD code) override;

protected:
    const char* WindowClass() const override { return "COMBOBOX"; }
    DWORD Style() const override;
    const Messages& Msgs() const override;
};

// Window class of the gauge.
constexpr char kGaugeWindowClass[] = "TSetupGauge";

// A horizontal bar from MinValue to MaxValue with a single border, filled
// from the left in ForeColor over BackColor, with the whole percentage done
// centred on it as "%d%%" (in BackColor where it lies over the fill).
class TGauge : public TControl {
public:
    static constexpr ControlKind kKind = ControlKind::Gauge;
    using TControl::TControl;
    bool IsTabStop() const override { return false; }

    int MinValue = 0;
    int MaxValue = 100;
    COLORREF ForeColor = RGB(0, 0, 255);
    COLORREF BackColor = RGB(255, 255, 255);
    int Progress() const { return progress_; }
    // Kept within MinValue..MaxValue; marks the gauge for painting when its
    // picture changes (the filled width or the percentage), not at every
    // step: a repaint costs far more than a step.
    // True when the picture changed.
    bool SetProgress(int value);
    // Whole percent done, truncated.
    int PercentDone() const;
    // Draws the gauge into `dc` over the rectangle (0, 0, width, height).
    void Draw(HDC dc, int width, int height) const;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    const char* WindowClass() const override;
    DWORD Style() const override { return WS_CHILD | WS_VISIBLE; }

private:
    // Pixels filled at `progress` when the bar inside the border is
    // `innerWidth` wide.
    int FilledWidth(int progress, int innerWidth) const;

    int progress_ = 0;
    // The inner width at the last drawing; -1 before the first.
    mutable int drawnWidth_ = -1;
    // The font the percentage is drawn in (WM_SETFONT); owned elsewhere.
    HFONT textFont_ = nullptr;
};
