#pragma once
// Which viewer shows a file, decided from its extension alone, and which
// files of its folder belong to the same kind. Paths are UTF-16 as the file
// system gives them; extensions are lower-cased for ASCII letters only, so
// an entry of the browser list written in capitals never matches. The path
// helpers are base/paths.h's.
#include <span>
#include <string>
#include <string_view>

#include "base/paths.h"

namespace mirabo {

enum class ViewMode : int {
  Text = 0,      // and every unknown extension
  Jpeg = 1,
  Picture = 2,   // bitmap, device-independent bitmap, metafile, icon
  Document = 3,  // multi-page TIFF, PCX, AWD
  Plugin = 4,    // decoded by a plug-in
  Web = 5,
  Media = 6,
};
inline constexpr int kViewModeCount = 7;

// pluginFirstLines: line 0 of each loaded plug-in's extension list, in
// registry order ("*.pic;*.pct"). browserList: the user's extensions without
// the dot, in list order.
ViewMode ClassifyPath(std::wstring_view path, std::span<const std::wstring> pluginFirstLines,
                      std::span<const std::wstring> browserList);

// The folder list's mask for a file of that mode: JPEG and TIFF files step
// through both spellings of their extension, everything else through files of
// exactly its own extension (as spelled in the path).
std::wstring FolderMask(ViewMode mode, std::wstring_view path);

}  // namespace mirabo
