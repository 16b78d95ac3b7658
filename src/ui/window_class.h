// Registration of the toolkit's own window classes (forms, the application
// window, the gauge).
#pragma once

#include <windows.h>

// The program's own icon: icon resource 1 of the executable (app/program.rc).
constexpr WORD kProgramIconId = 1;

// Registers the window class `name` of this module with the arrow cursor,
// no background brush (the window paints its background itself) and the
// given procedure and style; a top-level window's class (`programIcon`)
// shows the program's icon in its title bar, the task bar and Alt+Tab.
// A class registered already, by an earlier window of the same class, is
// left as it is. False when the class could not be registered.
bool RegisterWindowClass(const char* name, WNDPROC proc, UINT style = 0, bool programIcon = false);
