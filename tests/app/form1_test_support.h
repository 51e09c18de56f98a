#pragma once
// A main window on a temporary folder of its own, shown, with helpers that
// drive it as a user does (keys into the focused control, drops from the
// shell) and files of every kind to open.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/unit1.h"
#include "app/win/win_file_store.h"
#include "tests/app/win_test_support.h"

namespace mirabo::testing {

class MainWindow {
 public:
  explicit MainWindow(std::vector<std::wstring> arguments = {});
  ~MainWindow();
  TForm1* operator->() { return &form_; }
  TForm1& form() { return form_; }
  TempDir& dir() { return dir_; }
  bool destroyed() const { return destroyed_; }

  // Opens a file as the command line or a drop does.
  void Open(const std::wstring& path);
  // A key pressed while the control has the focus (down, char, up).
  void PressKey(HWND control, WORD key);
  // A real WM_DROPFILES from the shell's data block.
  void Drop(const std::vector<std::wstring>& paths, POINT at = {10, 10});

 private:
  TempDir dir_;
  Settings settings_;
  win::WinFileStore files_;
  TForm1 form_;
  bool destroyed_ = false;
};

// A real WM_DROPFILES, as the shell sends it, with the paths and the point.
void SendDrop(HWND target, const std::vector<std::wstring>& paths, POINT at);

// A 24-bit (or 8-bit palette) bitmap file whose pixel (x, y) has colour
// BmpColour(x, y); stored bottom-up unless topDown.
std::string MakeBmp(int width, int height, int bitsPerPixel, bool topDown);
COLORREF BmpColour(int x, int y);

// The colour of a picture's pixel.
COLORREF PixelOf(const Picture& picture, int x, int y);

}  // namespace mirabo::testing
