// Menu pictures as the menu draws them: read back from the screen while the
// menu is open.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/glyphs.h"
#include "base/win/popup_menu.h"
#include "base/win/unique_handle.h"

namespace mirabo {
namespace {

struct Capture {
  HMENU menu = nullptr;
  RECT item{};
  std::vector<COLORREF> pixels;
};
Capture* capture = nullptr;

// Runs inside the menu's own loop: the first item's rectangle off the screen.
void CALLBACK ReadMenu(HWND owner, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(owner, id);
  Capture& c = *capture;
  const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
  if (menuWindow) {
    c.menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, 0x01E1 /* MN_GETHMENU */, 0, 0));
    if (c.menu && ::GetMenuItemRect(nullptr, c.menu, 0, &c.item)) {
      win::WindowDC screen(nullptr);
      for (int y = c.item.top; y < c.item.bottom; ++y)
        for (int x = c.item.left; x < c.item.right; ++x) c.pixels.push_back(::GetPixel(screen.Get(), x, y));
    }
  }
  ::EndMenu();
}

TEST(PopupMenu, PicturesAreDrawnInTheirColoursNotAsBlackSquares) {
  const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 50, 50, nullptr, nullptr,
                                       nullptr, nullptr);
  ASSERT_TRUE(owner);
  ::SetForegroundWindow(owner);
  const HIMAGELIST images = win::CreateCommandImageList(16);
  win::PopupMenu menu;
  win::MenuItem help;
  help.id = 1;
  help.picture = 24;  // the help glyph: a green disc, clear in its corners, no black
  menu.items.push_back(help);
  Capture c;
  capture = &c;
  ::SetTimer(owner, 1, 300, &ReadMenu);
  menu.Track(owner, {120, 120}, images);
  capture = nullptr;
  ImageList_Destroy(images);
  ::DestroyWindow(owner);
  ASSERT_FALSE(c.pixels.empty()) << "the menu was not found open";
  int black = 0, green = 0;
  for (const COLORREF p : c.pixels) {
    if (p == RGB(0, 0, 0)) ++black;
    if (GetGValue(p) > 120 && GetRValue(p) < 80 && GetBValue(p) < 100) ++green;
  }
  EXPECT_EQ(black, 0) << "pixels of the item drawn black";
  EXPECT_GT(green, 60) << "the disc's green pixels";
}

}  // namespace
}  // namespace mirabo
