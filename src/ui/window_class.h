// Registration of the toolkit's own window classes (forms, the application
// window, the gauge).
#pragma once

#include <windows.h>

// Registers the window class `name` of this module with the arrow cursor,
// no background brush (the window paints its background itself) and the
// given procedure, style and icon. A class registered already, by an
// earlier window of the same class, is left as it is. False when the class
// could not be registered.
bool RegisterWindowClass(const char* name, WNDPROC proc, UINT style = 0, HICON icon = nullptr);
