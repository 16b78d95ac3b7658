// The application object: the process's hidden application window (its
// identity towards other instances), the message loop with its idle hook,
// the exception boundary and the forms it owns.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TForm;

// Results of a modal show; the values of the dialog-box command ids.
enum TModalResult : int {
    mrNone = 0,
    mrOk = IDOK,
    mrCancel = IDCANCEL,
    mrAbort = IDABORT,
    mrRetry = IDRETRY,
    mrIgnore = IDIGNORE,
    mrYes = IDYES,
    mrNo = IDNO,
};

// Window class of the application window. Two processes are instances of
// one program when their application windows share class and text.
constexpr char kApplicationWindowClass[] = "TSetupApplication";

class TApplication {
public:
    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    ~TApplication();

    // Creates the (hidden) application window. Safe to call again.
    void Initialize();
    HWND Handle() const { return handle_; }
    const std::string& Title() const { return title_; }
    // Also the text of the application window.
    void SetTitle(const std::string& title);
    // Pixels per inch of the screen, read the first time it is asked for:
    // the program lays its windows out for it (ui/dpi.h).
    int Dpi();

    // Constructs a form of class T, creates it hidden (window, controls,
    // then its FormCreate) and keeps it until DestroyForms. The first form
    // created is the main form. `instance` is set before the form's
    // creation handlers run, so they may already refer to it.
    template <class T>
    void CreateForm(T*& instance) {
        std::unique_ptr<T> form(new T());
        instance = form.get();
        AdoptForm(std::move(form));
    }
    TForm* MainForm() const { return mainForm_; }
    // Destroys every form, the last created first (each runs FormDestroy).
    void DestroyForms();

    // Called whenever the message queue is empty, with `done` preset to
    // true; the loop then waits for the next message unless the handler
    // cleared the flag.
    std::function<void(bool& done)> OnIdle;
    // Shows an exception that escaped an event handler. Unset: an error
    // box with the title as caption and the message followed by "."
    // (ShowErrorBox of ui/error_box.h).
    std::function<void(const std::exception&)> OnException;
    // Replaces the system message box (tests observe boxes through it); the
    // other windows are disabled while it runs, as for the real box.
    std::function<int(const std::string& text, const std::string& caption, UINT flags)> OnMessageBox;
    // Replaces the message dialog of ui/message_dialog.h (kind and button
    // set as there); tests answer questions through it.
    std::function<int(const std::string& text, int type, unsigned buttons)> OnMessageDialog;

    // Runs the message loop until the quit message. Never shows a form.
    void Run();
    // Handles one message, or idles when there is none.
    void HandleMessage();
    // Handles every pending message once and returns.
    void ProcessMessages();
    // Posts the quit message: the loop ends when it reaches it.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Forgets a quit message seen earlier (a test running several loops).
    void ResetTerminated() { terminated_ = false; }

    // To be called only inside a catch block: the one place that turns the
    // exception being handled into what the user sees. A failed allocation
    // becomes EOutOfMemory, anything not derived from std::exception
    // "Unknown error"; the result goes to ShowException. Never throws.
    void HandleException() noexcept;
    // OnException, or when it is unset the error box (ShowErrorBox).
    void ShowException(const std::exception& e);

    // A modal message box owned by the application window. While it is up
    // every other window of the application is disabled; afterwards the
    // window that was active is active again.
    int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);

    // Makes the application window visible (it stays off-screen and empty):
    // from then on other instances see this one as running and may bring it
    // to the front. Done when the main form is first shown.
    void ShowApplicationWindow();

    // Internal: the form a window belongs to (nullptr if none of ours).
    static TForm* FormOf(HWND wnd);

private:
    void AdoptForm(std::unique_ptr<TForm> form);
    // One message: false when the queue was empty.
    bool ProcessMessage();
    void Idle();
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND handle_ = nullptr;
    std::string title_;
    int dpi_ = 0;
    bool terminated_ = false;
    TForm* mainForm_ = nullptr;
    std::vector<std::unique_ptr<TForm>> forms_;
};

// The process's one application object.
extern TApplication Application;

// Disables every visible, enabled top-level window of this thread but one,
// and remembers the active window. Restore (or the destructor) enables
// them again and reactivates that window. Used by modal forms and boxes.
class TWindowDisabler {
public:
    explicit TWindowDisabler(HWND keep);
    TWindowDisabler(const TWindowDisabler&) = delete;
    TWindowDisabler& operator=(const TWindowDisabler&) = delete;
    ~TWindowDisabler() { Restore(); }
    void Restore();
    // True when a visible window of this thread (other than `keep`) is
    // topmost: a modal window must then be topmost too to be seen.
    bool TopmostSeen() const { return topmostSeen_; }

private:
    static BOOL CALLBACK Visit(HWND wnd, LPARAM self);
    HWND keep_;
    HWND active_;
    bool topmostSeen_ = false;
    bool restored_ = false;
    std::vector<HWND> disabled_;
};

// Runs `fn`; whatever it throws goes to the application's exception handler.
template <class F>
void Protect(F&& fn) noexcept {
    try {
        fn();
    } catch (...) {
        Application.HandleException();
    }
}
