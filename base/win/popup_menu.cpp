#include "base/win/popup_menu.h"

#include <utility>

namespace mirabo::win {
namespace {

// Menus draw an item's picture themselves only as an opaque bitmap on some
// systems (a masked or alpha picture then shows as a black square), so
// every picture is drawn by the program: the item asks its owner for it
// (HBMMENU_CALLBACK), and while the menu is open the owner's messages pass
// through this subclass, which draws the image list's picture with its
// transparency over whatever the menu has drawn beneath.
constexpr UINT_PTR kPictureSubclass = 0x4D50;  // any number of ours

LRESULT CALLBACK DrawPictures(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  const auto images = reinterpret_cast<HIMAGELIST>(data);
  if (msg == WM_MEASUREITEM) {
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
    if (item->CtlType == ODT_MENU && item->itemData) {
      int cx = 0, cy = 0;
      ImageList_GetIconSize(images, &cx, &cy);
      item->itemWidth = static_cast<UINT>(cx);
      item->itemHeight = static_cast<UINT>(cy);
      return TRUE;
    }
  } else if (msg == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->CtlType == ODT_MENU && item->itemData) {
      int cx = 0, cy = 0;
      ImageList_GetIconSize(images, &cx, &cy);
      const int y = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - cy) / 2;
      const UINT style = ILD_TRANSPARENT | ((item->itemState & ODS_DISABLED) ? ILD_BLEND50 : 0);
      ImageList_Draw(images, static_cast<int>(item->itemData) - 1, item->hDC, item->rcItem.left, y, style);
      return TRUE;
    }
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

const MenuItem* PopupMenu::Find(int id) const {
  for (const auto& item : items)
    if (item.id == id) return &item;
  return nullptr;
}

MenuItem* PopupMenu::Find(int id) { return const_cast<MenuItem*>(std::as_const(*this).Find(id)); }

HMENU PopupMenu::Build(HIMAGELIST images) { return BuildItems(items, images); }

HMENU PopupMenu::BuildItems(const std::vector<MenuItem>& list, HIMAGELIST images) {
  HMENU menu = ::CreatePopupMenu();
  for (const MenuItem& item : list) {
    if (!item.visible) continue;
    MENUITEMINFOW mii{sizeof mii};
    if (item.IsSeparator()) {
      mii.fMask = MIIM_FTYPE;
      mii.fType = MFT_SEPARATOR;
    } else {
      mii.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
      mii.wID = static_cast<UINT>(item.id);
      mii.dwTypeData = const_cast<wchar_t*>(item.caption.c_str());
      mii.fState = (item.enabled ? MFS_ENABLED : MFS_DISABLED) | (item.checked ? MFS_CHECKED : 0);
      if (images && item.picture >= 0) {
        mii.fMask |= MIIM_BITMAP | MIIM_DATA;
        mii.hbmpItem = HBMMENU_CALLBACK;
        mii.dwItemData = static_cast<ULONG_PTR>(item.picture) + 1;  // 0 is no picture
      }
      if (!item.children.empty()) {
        mii.fMask |= MIIM_SUBMENU;
        mii.hSubMenu = BuildItems(item.children, images);
      }
    }
    ::InsertMenuItemW(menu, ::GetMenuItemCount(menu), TRUE, &mii);
  }
  return menu;
}

int PopupMenu::Track(HWND owner, POINT screen, HIMAGELIST images) {
  HMENU menu = Build(images);
  if (images) ::SetWindowSubclass(owner, &DrawPictures, kPictureSubclass, reinterpret_cast<DWORD_PTR>(images));
  const int chosen = static_cast<int>(::TrackPopupMenuEx(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, owner, nullptr));
  if (images) ::RemoveWindowSubclass(owner, &DrawPictures, kPictureSubclass);
  ::DestroyMenu(menu);
  return chosen;
}

std::wstring LiteralMenuText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    out += c;
    if (c == L'&') out += L'&';
  }
  return out;
}

}  // namespace mirabo::win
