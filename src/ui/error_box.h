// The error box: how every failure reaches the user.
#pragma once

#include <exception>
#include <string>

// The text of the error box for a message: the message with one "."
// appended (always, also after a message that ends in ".").
std::string ErrorBoxText(const std::string& message);

// A modal box owned by the application window: caption the application
// title, the exception's message with "." appended, error icon, one OK
// button. The application's other windows are disabled meanwhile.
void ShowErrorBox(const std::exception& e);

// To be called only inside a catch block: shows the exception being
// handled the way the application's exception boundary does
// (TApplication::HandleException: OnException, unset the error box).
// Never throws; when no box can be shown the caller goes on all the same.
void ShowCurrentException() noexcept;
