#pragma once
// TLaunchPopup: a popup menu filled from a folder of shortcuts, with a
// submenu for every sub-folder, the shell's icon of each file's type, and a
// click that hands the file to the owner (or opens it with the shell).
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "base/win/popup_menu.h"
#include "components/launch_list.h"

namespace mirabo {

class TLaunchPopup {
 public:
  // owner: the window the menu and the shell's opening belong to.
  explicit TLaunchPopup(HWND owner) : owner_(owner) {}

  std::wstring Directory;        // used with a trailing "\"
  bool SearchDirectory = false;
  std::wstring Mask = L"*.lnk";
  HIMAGELIST Images = nullptr;   // the icons are appended to it
  std::function<void(TLaunchPopup& sender)> OnItemClick;

  const std::wstring& SelectedFile() const { return selectedFile_; }
  // Appends the folder's items to the menu (the caller empties it first).
  void Rebuild();
  void Clear() { menu_.items.clear(); }
  const std::vector<win::MenuItem>& Items() const { return menu_.items; }
  // The system menu as Popup shows it; the caller owns it.
  HMENU BuildMenu() { return menu_.Build(Images); }
  // Shows the menu at a screen point and runs the click rule for the file
  // item chosen.
  void Popup(POINT screen);
  // The click rule of the file item with that tag.
  void Click(int tag);

 private:
  void AddItems(const std::vector<LaunchItem>& from, std::vector<win::MenuItem>& to);

  HWND owner_;
  win::PopupMenu menu_;
  std::vector<std::wstring> paths_;
  std::wstring selectedFile_;
};

}  // namespace mirabo
