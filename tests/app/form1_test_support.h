#pragma once
// A main window on a temporary folder of its own, shown, with helpers that
// drive it as a user does (keys into the focused control, drops from the
// shell) and files of every kind to open.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/unit1.h"
#include "settings/win_file_store.h"
#include "tests/app/win_test_support.h"

namespace mirabo::testing {

// The notification area as a log: each call with its message, icon number,
// flags and tip; refuse makes every call fail.
class RecordingTray : public ITrayShell {
 public:
  struct Call {
    DWORD message;
    UINT id;
    UINT flags;
    std::wstring tip;
  };
  std::vector<Call> calls;
  bool refuse = false;
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override {
    calls.push_back({message, data.uID, data.uFlags, data.szTip});
    return !refuse;
  }
  int Count(DWORD message) const {
    int n = 0;
    for (const auto& c : calls) n += c.message == message;
    return n;
  }
};

class MainWindow {
 public:
  // ini: the settings file's text before the window is made; exeFolder:
  // the program's folder as the window is told it (CP932, with "\").
  explicit MainWindow(std::vector<std::wstring> arguments = {}, const std::string& ini = "",
                      const std::string& exeFolder = "C:\\Program\\");
  ~MainWindow();
  TForm1* operator->() { return &form_; }
  TForm1& form() { return form_; }
  RecordingTray& tray() { return tray_; }
  TempDir& dir() { return dir_; }
  bool destroyed() const { return destroyed_; }

  // A command as its button sends it: through the window's own dispatch,
  // so an error reaches the default handler instead of the test.
  void Click(std::string_view command);
  // Opens a file as the command line or a drop does.
  void Open(const std::wstring& path);
  // A key pressed while the control has the focus (down, char, up).
  void PressKey(HWND control, WORD key);
  // A real WM_DROPFILES from the shell's data block.
  void Drop(const std::vector<std::wstring>& paths, POINT at = {10, 10});

 private:
  TempDir dir_;
  bool iniWritten_;
  RecordingTray tray_;
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

namespace mirabo::testing {

// Bitmap files of the other layouts Windows reads: 1-bit, 8-bit RLE, 16-bit
// with 5-6-5 masks, 32-bit. Each is 8 x 4 pixels; ExpectedBmpPixel gives
// the colour the viewer must show at (x, y).
enum class BmpLayout { Mono, Rle8, Masks565, Rgb32 };
std::string MakeBmpOfLayout(BmpLayout layout);
COLORREF ExpectedBmpPixel(BmpLayout layout, int x, int y);

// A 16 x 16 icon file with one 32-bit image: red left half, blue right half.
std::string MakeIcon();

// A one-page black-and-white TIFF of 40 x 30 pixels.
std::string SmallTiff();

// A placeable metafile 2 x 1 inches (at 1440 units per inch) with a filled rectangle.
std::string MakePlaceableMetafile();

}  // namespace mirabo::testing
