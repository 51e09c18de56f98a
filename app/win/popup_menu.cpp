#include "app/win/popup_menu.h"

#include <utility>

namespace mirabo::win {
namespace {

// A 32-bit bitmap with alpha for a menu item, from the image list's picture.
HBITMAP MenuBitmap(HIMAGELIST images, int index) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB};
  void* bits = nullptr;
  WindowDC screen(nullptr);
  HBITMAP bmp = ::CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return nullptr;
  const HDC dc = ::CreateCompatibleDC(screen.Get());
  const HGDIOBJ old = ::SelectObject(dc, bmp);
  ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  // Drawing with the mask leaves alpha at 0 everywhere; mark the drawn pixels
  // opaque by the mask itself.
  auto* px = static_cast<uint32_t*>(bits);
  HBITMAP mask = nullptr;
  IMAGEINFO info{};
  if (ImageList_GetImageInfo(images, index, &info)) mask = info.hbmMask;
  const HDC mdc = ::CreateCompatibleDC(screen.Get());
  const HGDIOBJ oldMask = mask ? ::SelectObject(mdc, mask) : nullptr;
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) {
      const bool transparent = mask && ::GetPixel(mdc, info.rcImage.left + x, info.rcImage.top + y) != 0;
      uint32_t& p = px[y * cx + x];
      p = transparent ? 0 : (p | 0xFF000000u);
    }
  if (mask) ::SelectObject(mdc, oldMask);
  ::DeleteDC(mdc);
  return bmp;
}

}  // namespace

const MenuItem* PopupMenu::Find(int id) const {
  for (const auto& item : items)
    if (item.id == id) return &item;
  return nullptr;
}

MenuItem* PopupMenu::Find(int id) { return const_cast<MenuItem*>(std::as_const(*this).Find(id)); }

HMENU PopupMenu::Build(HIMAGELIST images) {
  pictures_.clear();
  return BuildItems(items, images);
}

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
        pictures_.emplace_back(MenuBitmap(images, item.picture));
        mii.fMask |= MIIM_BITMAP;
        mii.hbmpItem = static_cast<HBITMAP>(pictures_.back().Get());
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
  const int chosen = static_cast<int>(::TrackPopupMenuEx(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, owner, nullptr));
  ::DestroyMenu(menu);
  pictures_.clear();
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
