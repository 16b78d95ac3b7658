#include "ui/error_box.h"

#include <windows.h>

#include "ui/application.h"

std::string ErrorBoxText(const std::string& message) { return message + "."; }

void ShowErrorBox(const std::exception& e) {
    Application.ShowMessageBox(ErrorBoxText(e.what()), Application.Title(), MB_ICONERROR | MB_OK);
}

void ShowCurrentException() noexcept { Application.HandleException(); }
