#pragma once
// The application's default error handler: the one place where an error that
// no command caught is shown to the user (a message box with the error's own
// text), after which the program goes on.
#include <windows.h>

#include <exception>
#include <functional>

namespace mirabo {

using ErrorHandler = std::function<void(HWND owner, const std::exception& error)>;

// Shows the error in a message box titled with the application's title.
void ShowErrorBox(HWND owner, const std::exception& error);

// Tests put a recorder here; returns the handler it replaces.
ErrorHandler SetDefaultErrorHandler(ErrorHandler handler);

void HandleError(HWND owner, const std::exception& error);

}  // namespace mirabo
