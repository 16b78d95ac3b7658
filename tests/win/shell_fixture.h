// Common ground of the tests of the application shell: the application
// object with its title, message boxes and dialogs answered by the test,
// and no quit message left behind for the next test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ui/application.h"

// Ends a message loop that does not end by itself, so a test that opens a
// modal form or runs the application's loop fails within seconds instead
// of hanging the whole run. A thread waits `seconds`, then posts the quit
// message to the test's thread: a modal form ends with mrCancel, the
// application's loop ends, and Fired() tells the test it failed. A loop
// that does not even look at its messages cannot be ended that way: after
// as long again the watchdog names the test and ends the process.
class LoopWatchdog {
public:
    explicit LoopWatchdog(unsigned seconds)
        : seconds_(seconds), thread_id_(GetCurrentThreadId()), stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (test) name_ = std::string(test->test_suite_name()) + "." + test->name();
        thread_ = CreateThread(nullptr, 0, &Watch, this, 0, nullptr);
    }
    LoopWatchdog(const LoopWatchdog&) = delete;
    LoopWatchdog& operator=(const LoopWatchdog&) = delete;
    ~LoopWatchdog() {
        SetEvent(stop_);
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
        }
        CloseHandle(stop_);
    }
    bool Fired() const { return fired_ != 0; }
    unsigned Seconds() const { return seconds_; }

private:
    static DWORD WINAPI Watch(LPVOID self) {
        auto* w = static_cast<LoopWatchdog*>(self);
        if (WaitForSingleObject(w->stop_, w->seconds_ * 1000) != WAIT_TIMEOUT) return 0;
        InterlockedExchange(&w->fired_, 1);
        PostThreadMessageA(w->thread_id_, WM_QUIT, 0, 0);
        if (WaitForSingleObject(w->stop_, w->seconds_ * 1000) != WAIT_TIMEOUT) return 0;
        fprintf(stderr,
                "\n%s: its message loop did not end within %u s and does not take the quit message; "
                "ending the test run\n",
                w->name_.c_str(), w->seconds_);
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
        return 0;
    }

    unsigned seconds_;
    DWORD thread_id_;
    HANDLE stop_;
    HANDLE thread_ = nullptr;
    volatile LONG fired_ = 0;
    std::string name_;
};

struct RecordedBox {
    std::string Text;
    std::string Caption;
    UINT Flags;
    bool OthersDisabled;  // every other visible window of ours was disabled
};

class ShellTest : public ::testing::Test {
protected:
    // No test of the shell takes more than a fraction of this; a loop that
    // is still running then waits for something that never comes.
    static constexpr unsigned kLoopSeconds = 10;

    void SetUp() override {
        watchdog_.reset(new LoopWatchdog(kLoopSeconds));
        Application.Initialize();
        Application.SetTitle("Setup");
        DrainQuit();
        Application.OnException = nullptr;
        Application.OnIdle = nullptr;
        Application.OnMessageBox = [this](const std::string& text, const std::string& caption, UINT flags) {
            Boxes.push_back({text, caption, flags, OthersDisabled()});
            return IDOK;
        };
    }
    void TearDown() override {
        Application.OnMessageBox = nullptr;
        Application.OnMessageDialog = nullptr;
        Application.OnException = nullptr;
        Application.OnIdle = nullptr;
        DrainQuit();
        if (watchdog_ && watchdog_->Fired())
            ADD_FAILURE() << "a message loop did not end within " << watchdog_->Seconds()
                          << " s; the watchdog ended it with the quit message";
        watchdog_.reset();
    }

    // Creates a process-wide form the way start-up does: the instance
    // variable is set first, so handlers that reach other forms through
    // their instances find this one too.
    template <class T>
    static void MakeForm(std::unique_ptr<T>& owner, T*& instance) {
        owner.reset(new T());
        instance = owner.get();
        owner->Create();
    }

    // Takes quit messages off the queue; true when there was one.
    static bool DrainQuit() {
        MSG msg;
        bool found = false;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) found = true;
        if (Application.Terminated()) found = true;
        Application.ResetTerminated();
        return found;
    }

    // True when no visible window of this thread other than Exempt is enabled.
    bool OthersDisabled() const {
        Scan scan{Exempt, false};
        EnumThreadWindows(GetCurrentThreadId(), &VisitWindow, reinterpret_cast<LPARAM>(&scan));
        return !scan.anyEnabled;
    }
    struct Scan {
        HWND exempt;
        bool anyEnabled;
    };
    static BOOL CALLBACK VisitWindow(HWND wnd, LPARAM p) {
        auto* s = reinterpret_cast<Scan*>(p);
        if (wnd != s->exempt && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) s->anyEnabled = true;
        return TRUE;
    }

    std::vector<RecordedBox> Boxes;
    HWND Exempt = nullptr;

private:
    std::unique_ptr<LoopWatchdog> watchdog_;
};

// A scratch folder under the temporary folder, removed with its files.
class ScratchDir {
public:
    ScratchDir() {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        char name[MAX_PATH];
        GetTempFileNameA(tmp, "shl", 0, name);
        DeleteFileA(name);
        CreateDirectoryA(name, nullptr);
        path_ = name;
    }
    ~ScratchDir() {
        for (const std::string& f : files_) DeleteFileA(f.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    // Writes a file of these bytes and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string p = path_ + "\\" + name;
        HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (h != INVALID_HANDLE_VALUE) {
            ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(h);
        }
        files_.push_back(p);
        return p;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};
