#pragma once
// The pictures of the buttons and menu items, drawn by the program itself
// at any size (16 pixels at 96 DPI), so they stay crisp at every scale.
#include <windows.h>
#include <commctrl.h>

namespace mirabo::win {

inline constexpr int kGlyphCount = 25;

// A new image list of kGlyphCount pictures of size × size pixels, in the
// order of the command map's picture numbers. The caller destroys it.
HIMAGELIST CreateCommandImageList(int size);

}  // namespace mirabo::win
