#include "app/prev_inst.h"

#include <cstring>

#include "ui/application.h"

BOOL CALLBACK EnumInstanceWindow(HWND wnd, LPARAM context) {
    auto* search = reinterpret_cast<InstanceSearch*>(context);
    char buf[256];
    if (GetClassNameA(wnd, buf, sizeof buf) <= 0 || std::strcmp(buf, search->OwnClass) != 0) return TRUE;
    if (GetWindowTextA(wnd, buf, sizeof buf) <= 0 || std::strcmp(buf, search->OwnText) != 0) return TRUE;
    ++search->InstanceWindowCount;
    if (wnd != search->OwnWindow) search->OtherInstanceWindow = wnd;
    return TRUE;
}

InstanceSearch FindInstances(HWND ownWindow) {
    InstanceSearch search = {};
    search.OwnWindow = ownWindow;
    GetWindowTextA(ownWindow, search.OwnText, sizeof search.OwnText);
    GetClassNameA(ownWindow, search.OwnClass, sizeof search.OwnClass);
    EnumWindows(&EnumInstanceWindow, reinterpret_cast<LPARAM>(&search));
    return search;
}

InstanceDecision TLornPrevInstance::Decide(int count, bool otherVisible) {
    if (count <= AllowedInstances) return {false, false, false};
    if (OnAllowedInstancesExceeded) OnAllowedInstancesExceeded(*this, count, FoundAction);
    const bool restore = FoundAction == lornfaRestoreAndQuit || FoundAction == lornfaRestore;
    const bool quit = FoundAction == lornfaRestoreAndQuit || FoundAction == lornfaQuit;
    return {true, restore && otherVisible, quit};
}

void BringInstanceToFront(HWND other) {
    HWND popup = GetLastActivePopup(other);
    if (!popup) popup = other;
    BringWindowToTop(other);
    if (IsIconic(popup))
        ShowWindow(popup, SW_RESTORE);
    else
        SetForegroundWindow(popup);
}

void TLornPrevInstance::CheckInstances() {
    const InstanceSearch search = FindInstances(Application.Handle());
    const HWND other = search.OtherInstanceWindow;
    const InstanceDecision decision = Decide(search.InstanceWindowCount, other && IsWindowVisible(other));
    if (decision.BringToFront) BringInstanceToFront(other);
    if (decision.EndProcess) {
        if (Halt)
            Halt();
        else
            ExitProcess(0);
    }
}
