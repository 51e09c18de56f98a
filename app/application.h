#pragma once
// The program's start: the application object with its title and the
// message loop that runs until the main window closes.
#include <windows.h>

namespace mirabo {

class TApplication {
 public:
  static const wchar_t* Title() { return L"Mirabo"; }

  // Common controls and the rest of the process-wide set-up.
  static void Initialize();

  // Runs until WM_QUIT; returns its exit code.
  static int Run();
};

}  // namespace mirabo
