// Common ground of the tests of the application shell: the application
// object with its title, message boxes and dialogs answered by the test,
// and no quit message left behind for the next test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/application.h"

struct RecordedBox {
    std::string Text;
    std::string Caption;
    UINT Flags;
    bool OthersDisabled;  // every other visible window of ours was disabled
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
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
