#include "base/win/error_handler.h"

#include <utility>

#include "base/product.h"
#include "base/win/text.h"

namespace mirabo {
namespace {
ErrorHandler& Current() {
  static ErrorHandler handler = &ShowErrorBox;
  return handler;
}
}  // namespace

void ShowErrorBox(HWND owner, const std::exception& error) {
  const std::wstring text = win::Utf8ToWide(error.what());
  ::MessageBoxW(owner, text.c_str(), kProductName, MB_OK | MB_ICONERROR);
}

ErrorHandler SetDefaultErrorHandler(ErrorHandler handler) {
  return std::exchange(Current(), std::move(handler));
}

void HandleError(HWND owner, const std::exception& error) {
  if (Current()) Current()(owner, error);
}

}  // namespace mirabo
