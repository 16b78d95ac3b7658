#include "ui/error_box.h"

#include <windows.h>

#include <new>

#include "errors.h"
#include "ui/application.h"

std::string ErrorBoxText(const std::string& message) { return message + "."; }

void ShowErrorBox(const std::exception& e) {
    Application.ShowMessageBox(ErrorBoxText(e.what()), Application.Title(), MB_ICONERROR | MB_OK);
}

void ShowCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            ShowErrorBox(EOutOfMemory());
        } catch (const std::exception& e) {
            ShowErrorBox(e);
        } catch (...) {
            ShowErrorBox(Exception("Unknown error"));
        }
    } catch (...) {
        // No box could be shown; the caller goes on with its clean-up.
    }
}
