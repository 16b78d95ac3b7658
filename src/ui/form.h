// Forms: top-level windows built from a layout table, shown modelessly
// (Show/Hide) or modally (ShowModal with a modal result). Event handlers
// are virtual members named like the events; controls are reached by the
// names of their rows.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "errors.h"
#include "runtime/handles.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/layout.h"

enum class TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };

class TForm {
public:
    explicit TForm(const FormLayout& layout);
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;
    virtual ~TForm();

    // Creates the window (hidden) and its controls, then runs Loaded and
    // FormCreate. Done once, by TApplication::CreateForm or a test.
    void Create();
    // FormDestroy, then the window goes. Done once; the destructor only
    // destroys the window.
    void Destroy();

    HWND Handle() const { return handle_.Get(); }
    const FormLayout& Layout() const { return layout_; }
    HFONT Font() const { return font_.Get(); }

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    int Width() const;
    int Height() const;
    int ClientWidth() const;
    int ClientHeight() const;

    // Visible and in front of the other windows (runs FormShow first).
    void Show();
    // Invisible (runs FormHide); the form is not closed.
    void Hide();
    bool Visible() const;
    // Disables the other windows, shows the form and runs the message loop
    // until ModalResult is set; then hides the form, enables the others and
    // reactivates the window that was active before. Returns the result.
    int ShowModal();
    bool Modal() const { return modal_; }
    // Set to a non-zero value to end a modal show.
    int ModalResult = mrNone;
    // Sets ModalResult and makes sure the modal loop looks at it at once,
    // also when it is set from a message sent by another thread.
    void EndModal(int result);

    // Close box, Alt+F4 or the system menu: FormCloseQuery, then FormClose
    // and hiding. A modal form instead ends with mrCancel; closing the main
    // form ends the application.
    void Close();
    bool CloseQuery();

    // Centres the form on the screen (offsets halved toward zero) without
    // changing its size; `topmost` also puts it above every normal window.
    void PlaceCentered(bool topmost);

    const std::vector<std::unique_ptr<TControl>>& Controls() const { return controls_; }
    // The control of the row named `name`; nullptr when there is none.
    TControl* FindControl(const char* name) const;
    // The control of the row named `name` as its class; a wrong name or
    // kind is a programming error and raises.
    template <class T>
    T& Control(const char* name) const {
        TControl* c = FindControl(name);
        if (!c || c->Kind() != T::kKind) throw Exception(std::string("No control ") + name);
        return static_cast<T&>(*c);
    }
    TButton* DefaultButton() const;
    TButton* CancelButton() const;
    // The control that has the focus or had it last.
    TControl* FocusedControl() const;
    // Focus to the next (or previous) control in tab order.
    void SelectNext(bool forward);

    // Keyboard interface of the form: Tab, Enter, Esc and Alt+letter.
    // True when the message was consumed. Called by the message loop.
    bool HandleDialogKey(const MSG& msg);

    // Event handlers; the defaults do nothing.
    virtual void Loaded() {}
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormHide() {}
    virtual void FormActivate() {}
    virtual void FormCloseQuery(bool& canClose) { (void)canClose; }
    virtual void FormClose(TCloseAction& action) { (void)action; }
    virtual void FormDestroy() {}
    virtual void FormResize() {}
    virtual void FormPaint(HDC dc, const RECT& clip) {
        (void)dc;
        (void)clip;
    }

    // Internal: a control got the focus. A focused push button is drawn as
    // the default (Enter presses it); elsewhere the default button is.
    void ControlFocused(TControl& control);

    // Internal: the window procedure of every form. It hands each message
    // it handles to the handler named after it (below).
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    // Message handlers, defined in form.cpp and used only there (inline:
    // they compile into WndProc, as small as one switch). A handler that
    // does not take a message passes it to DefaultHandler, the default
    // window procedure.
    inline LRESULT WmCommand(WPARAM wp, LPARAM lp);
    inline LRESULT WmClose();
    inline LRESULT WmActivate(WPARAM wp, LPARAM lp);
    inline LRESULT WmSetFocus(WPARAM wp, LPARAM lp);
    inline LRESULT WmSize(WPARAM wp, LPARAM lp);
    inline LRESULT WmEraseBkgnd(HDC dc);
    inline LRESULT WmPaint();
    inline LRESULT WmCtlColor(UINT msg, WPARAM wp, LPARAM lp);
    inline LRESULT WmNcDestroy(WPARAM wp, LPARAM lp);
    inline LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

    void CloseModal();

    // Keyboard interface and focus (dialog_keys.cpp).
    void Activated();
    TControl* ControlOfWindow(HWND wnd) const;
    std::vector<TControl*> TabOrder() const;
    bool HandleAccelerator(char key);
    // Clicks `button` when there is one and it can take the focus.
    static bool PressButton(TButton* button);

    const FormLayout& layout_;
    std::vector<std::unique_ptr<TControl>> controls_;
    WindowHandle handle_;
    FontHandle font_;
    BrushHandle brush_;
    HWND lastFocus_ = nullptr;
    bool created_ = false;
    bool destroyed_ = false;
    bool modal_ = false;
    int lastClientWidth_ = -1;
    int lastClientHeight_ = -1;
};
