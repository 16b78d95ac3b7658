// The single-instance guard: which windows count, and what the program
// does for each number of instances found.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/main_form.h"
#include "app/prev_inst.h"
#include "runtime/handles.h"
#include "shell_fixture.h"

namespace {

TEST(PrevInstanceTest, ProgramDecidesByCountNameAndVisibility) {
    const struct {
        const char* exe;
        int count;  // instances found, this one included
        bool otherVisible;
        bool front;
        bool end;
    } cases[] = {
        {"C:\\Setup\\SETUP.EXE", 1, false, false, false},
        {"C:\\Setup\\SETUP.EXE", 2, true, true, true},
        {"C:\\Setup\\SETUP.EXE", 2, false, false, true},
        {"C:\\Program Files\\Velto\\UNINST.EXE", 1, false, false, false},
        {"C:\\Program Files\\Velto\\UNINST.EXE", 2, true, false, false},
        {"C:\\Program Files\\Velto\\uninst.exe", 2, true, false, false},
        {"D:UnInst.Exe", 2, true, false, false},
        {"C:\\Program Files\\Velto\\UNINST.EXE", 3, true, true, true},
        {"C:\\Program Files\\Velto\\UNINST.EXE.BAK", 2, true, true, true},
        {"C:\\UNINST.EXE\\SETUP.EXE", 2, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.exe) + " count " + std::to_string(c.count));
        TLornPrevInstance guard;
        int events = 0;
        guard.OnAllowedInstancesExceeded = [&](TLornPrevInstance& sender, int count, TlornFoundAction& action) {
            EXPECT_EQ(&sender, &guard);
            EXPECT_EQ(count, c.count);
            ++events;
            action = AllowedInstancesAction(c.exe, count, action);
        };
        InstanceDecision d = guard.Decide(c.count, c.otherVisible);
        EXPECT_EQ(d.EventFired, c.count > 1);
        EXPECT_EQ(events, c.count > 1 ? 1 : 0);
        EXPECT_EQ(d.BringToFront, c.front);
        EXPECT_EQ(d.EndProcess, c.end);
    }
}

TEST(PrevInstanceTest, EveryActionHasItsEffect) {
    const struct {
        TlornFoundAction action;
        bool front, end;
    } cases[] = {{lornfaRestoreAndQuit, true, true},
                 {lornfaRestore, true, false},
                 {lornfaQuit, false, true},
                 {lornfaNone, false, false}};
    for (const auto& c : cases) {
        TLornPrevInstance guard;
        guard.FoundAction = c.action;
        InstanceDecision d = guard.Decide(2, true);
        EXPECT_EQ(d.BringToFront, c.front) << int(c.action);
        EXPECT_EQ(d.EndProcess, c.end) << int(c.action);
    }
    // No instance allowed: a lone process fires the event on itself.
    TLornPrevInstance none;
    none.AllowedInstances = 0;
    EXPECT_TRUE(none.Decide(1, false).EventFired);
    EXPECT_FALSE(none.Decide(1, false).BringToFront);
}

class InstanceWindowTest : public ShellTest {
protected:
    // A top-level window of the given class and text (never shown).
    HWND Make(const char* cls, const char* text) {
        windows_.emplace_back(
            CreateWindowExA(0, cls, text, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
        return windows_.back().Get();
    }
    std::vector<WindowHandle> windows_;
};

TEST_F(InstanceWindowTest, OnlyWindowsOfTheSameClassAndTextCount) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OtherProgramClass";
    RegisterClassExA(&wc);

    InstanceSearch alone = FindInstances(Application.Handle());
    EXPECT_EQ(alone.InstanceWindowCount, 1);  // the own application window
    EXPECT_EQ(alone.OtherInstanceWindow, nullptr);

    HWND twin = Make(kApplicationWindowClass, "Setup");
    Make(kApplicationWindowClass, "SETUP");  // other case: another program
    Make(kApplicationWindowClass, "");       // empty text never counts
    Make("OtherProgramClass", "Setup");      // other class
    InstanceSearch found = FindInstances(Application.Handle());
    EXPECT_EQ(found.InstanceWindowCount, 2);
    EXPECT_EQ(found.OtherInstanceWindow, twin);
    EXPECT_STREQ(found.OwnText, "Setup");
    EXPECT_STREQ(found.OwnClass, kApplicationWindowClass);
}

TEST_F(InstanceWindowTest, CheckEndsOnlyWhenTheActionSaysSo) {
    Make(kApplicationWindowClass, "Setup");
    TLornPrevInstance guard;
    int halts = 0;
    guard.Halt = [&] { ++halts; };
    guard.FoundAction = lornfaRestore;
    guard.CheckInstances();  // the twin is invisible: nothing comes forward
    EXPECT_EQ(halts, 0);
    guard.FoundAction = lornfaRestoreAndQuit;
    guard.CheckInstances();
    EXPECT_EQ(halts, 1);
}

}  // namespace
