// Single-instance guard: counts the running instances of this program by
// their application windows and, when there are more than allowed, raises
// an event, brings another instance to the front and ends this process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

enum TlornFoundAction : uint8_t {
    lornfaRestoreAndQuit = 0,  // bring the other instance to the front, end this one
    lornfaRestore = 1,         // bring the other instance to the front, go on
    lornfaQuit = 2,            // end this one
    lornfaNone = 3,            // go on
};

class TLornPrevInstance;

// Sender, number of instances found (this one included), the action to
// take (the handler may change it).
using TOnAllowedInstancesExceededEvent =
    std::function<void(TLornPrevInstance& sender, int instanceCount, TlornFoundAction& action)>;

// What one enumeration of the top-level windows found.
struct InstanceSearch {
    char OwnText[256];
    char OwnClass[256];
    HWND OwnWindow;
    int InstanceWindowCount;
    HWND OtherInstanceWindow;  // the last match that is not OwnWindow
};

// Callback of EnumWindows; `context` points to the InstanceSearch. A window
// counts when its class name and its text are both non-empty and equal,
// byte for byte, to those of the own application window. Always goes on.
BOOL CALLBACK EnumInstanceWindow(HWND wnd, LPARAM context);

// Counts the instances whose application window matches `ownWindow`.
InstanceSearch FindInstances(HWND ownWindow);

// What the check does once the count is known.
struct InstanceDecision {
    bool EventFired;
    bool BringToFront;  // the other instance (when its window is visible)
    bool EndProcess;
};

class TLornPrevInstance {
public:
    int AllowedInstances = 1;
    TlornFoundAction FoundAction = lornfaRestoreAndQuit;
    TOnAllowedInstancesExceededEvent OnAllowedInstancesExceeded;
    // Ends the process when the action says so; unset: exit code 0 at once.
    std::function<void()> Halt;

    // Runs the check once the owner's properties are in place.
    void Loaded() { CheckInstances(); }
    // Counts the instances of the application window, decides, and acts.
    void CheckInstances();
    // The decision for `count` instances (raising the event, which may
    // change FoundAction); `otherVisible`: the other instance's application
    // window is visible.
    InstanceDecision Decide(int count, bool otherVisible);
};

// Brings the instance whose application window is `other` to the front:
// its last active window is restored when minimised, else made foreground.
void BringInstanceToFront(HWND other);
