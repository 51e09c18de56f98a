#pragma once
// A popup menu held as a model (items with caption, picture, visibility,
// enabled and checked state) and built into a system menu only when it
// opens: the system's menus cannot hide an item, the program's can.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "base/win/unique_handle.h"

namespace mirabo::win {

struct MenuItem {
  int id = 0;                 // 0 for a separator
  std::wstring caption;
  int picture = -1;           // index in the image list, -1 for none
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  std::vector<MenuItem> children;  // a submenu when there are any
  bool IsSeparator() const { return id == 0; }
};

class PopupMenu {
 public:
  std::vector<MenuItem> items;
  bool autoPopup = true;  // opens on a right click

  MenuItem* Find(int id);
  const MenuItem* Find(int id) const;

  // Builds the menu, lets the user choose, and returns the chosen item's id
  // (0 when the menu was dismissed). The owner draws the items' pictures
  // from images while the menu is open.
  int Track(HWND owner, POINT screen, HIMAGELIST images);

  // The system menu as Track shows it, for callers that inspect it; the
  // caller owns it. Its pictures are drawn by Track's owner.
  HMENU Build(HIMAGELIST images);

 private:
  HMENU BuildItems(const std::vector<MenuItem>& items, HIMAGELIST images);
};

// Menu captions treat "&" as the accelerator mark; text that must show as
// it stands (file names) doubles it.
std::wstring LiteralMenuText(std::wstring_view text);

}  // namespace mirabo::win
