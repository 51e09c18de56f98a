#pragma once
// Dots per inch in one place. Every size the program states is in 96-DPI
// pixels and is scaled by the DPI of the window it appears in; the
// interface font is made once per DPI.
#include <windows.h>

namespace mirabo::win {

inline constexpr int kBaseDpi = 96;

// The window's DPI: the per-monitor value where the system has one, the
// system's otherwise.
int DpiOf(HWND hwnd);

inline int Scaled(int pixels96, int dpi) { return ::MulDiv(pixels96, dpi, kBaseDpi); }

// "ＭＳ Ｐゴシック", 12 pixels at 96 DPI, Shift-JIS, for a window at dpi.
// Fonts are kept for the process's life, one per DPI seen.
HFONT InterfaceFont(int dpi);

// Gives every window under root that uses the font from the font to: how a
// window moved to another DPI takes the interface font of its new DPI,
// leaving the fonts of its own (a view's, a title's) alone.
void ReplaceFont(HWND root, HFONT from, HFONT to);

// The text's extent in the window's own font.
SIZE TextExtent(HWND hwnd, const wchar_t* text, UINT drawFlags = DT_SINGLELINE | DT_NOPREFIX, int width = 0);

}  // namespace mirabo::win
