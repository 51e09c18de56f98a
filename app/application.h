#pragma once
// The program's start: the application object with its title and the
// message loop that runs until the main window closes.
#include <windows.h>

#include <functional>

#include "base/product.h"

namespace mirabo {

class TApplication {
 public:
  static const wchar_t* Title() { return kProductName; }

  // Common controls, OLE for the embedded controls, and the rest of the
  // process-wide set-up.
  static void Initialize();

  // Runs until WM_QUIT; returns its exit code. preTranslate sees each
  // message first and keeps it from the window when it returns true.
  static int Run(const std::function<bool(MSG&)>& preTranslate = {});
};

}  // namespace mirabo
