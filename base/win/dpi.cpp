#include "base/win/dpi.h"

#include <map>

#include "base/win/unique_handle.h"

namespace mirabo::win {

int DpiOf(HWND hwnd) {
  // Windows 10 and later; earlier systems have one DPI for every window.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi && hwnd) {
    if (const UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
  }
  WindowDC screen(nullptr);
  return ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

HFONT InterfaceFont(int dpi) {
  // Only the user-interface thread makes windows, so only it asks.
  static std::map<int, UniqueFont> fonts;
  UniqueFont& font = fonts[dpi];
  if (!font)
    font.Reset(::CreateFontW(-Scaled(12, dpi), 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, DEFAULT_QUALITY, 0,
                             L"ＭＳ Ｐゴシック"));
  return font.Get();
}

namespace {
struct Swap {
  HFONT from, to;
};
BOOL CALLBACK SwapFont(HWND hwnd, LPARAM lp) {
  const auto* swap = reinterpret_cast<const Swap*>(lp);
  if (reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)) == swap->from)
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(swap->to), TRUE);
  return TRUE;
}
}  // namespace

void ReplaceFont(HWND root, HFONT from, HFONT to) {
  if (from == to) return;
  Swap swap{from, to};
  SwapFont(root, reinterpret_cast<LPARAM>(&swap));
  ::EnumChildWindows(root, &SwapFont, reinterpret_cast<LPARAM>(&swap));
}

SIZE TextExtent(HWND hwnd, const wchar_t* text, UINT drawFlags, int width) {
  WindowDC dc(hwnd);
  SelectedObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  RECT r{0, 0, width, 0};
  ::DrawTextW(dc.Get(), text, -1, &r, drawFlags | DT_CALCRECT);
  return {r.right, r.bottom};
}

}  // namespace mirabo::win
