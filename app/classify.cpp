#include "app/classify.h"

#include <array>

namespace mirabo {
namespace {

using namespace std::string_view_literals;

constexpr std::array kDocument{L".tif"sv, L".tiff"sv, L".pcx"sv, L".awd"sv};
// ".emf" stands beside ".wmf": both are metafiles the picture control draws.
constexpr std::array kPicture{L".bmp"sv, L".dib"sv, L".wmf"sv, L".emf"sv, L".ico"sv};
constexpr std::array kWeb{L".htm"sv, L".html"sv, L".mht"sv, L".gif"sv, L".png"sv,
                          L".art"sv, L".au"sv,   L".xbf"sv, L".nws"sv, L".eml"sv};
constexpr std::array kMedia{L".cda"sv, L".mid"sv, L".rmi"sv, L".asf"sv,  L".wm"sv,
                            L".wma"sv, L".wmv"sv, L".wav"sv, L".snd"sv,  L".av"sv,
                            L".aif"sv, L".aifc"sv, L".aiff"sv, L".mp3"sv, L".avi"sv,
                            L".mpeg"sv, L".mpg"sv, L".m1v"sv, L".mp2"sv, L".mpa"sv,
                            L".mpe"sv, L".asx"sv, L".wax"sv, L".m3u"sv, L".wvx"sv};

template <size_t N>
bool OneOf(std::wstring_view ext, const std::array<std::wstring_view, N>& list) {
  for (const auto& e : list)
    if (ext == e) return true;
  return false;
}

}  // namespace

ViewMode ClassifyPath(std::wstring_view path, std::span<const std::wstring> pluginFirstLines,
                      std::span<const std::wstring> browserList) {
  const std::wstring ext = LowerAscii(ExtensionOf(path));
  if (ext == L".jpg" || ext == L".jpeg") return ViewMode::Jpeg;
  const std::wstring needle = L"*" + ext + L";";
  for (const auto& line : pluginFirstLines)
    if ((LowerAscii(line) + L";").find(needle) != std::wstring::npos) return ViewMode::Plugin;
  if (OneOf(ext, kDocument)) return ViewMode::Document;
  if (OneOf(ext, kPicture)) return ViewMode::Picture;
  if (OneOf(ext, kWeb)) return ViewMode::Web;
  for (const auto& e : browserList)
    if (ext == L"." + e) return ViewMode::Web;
  if (OneOf(ext, kMedia)) return ViewMode::Media;
  return ViewMode::Text;
}

std::wstring FolderMask(ViewMode mode, std::wstring_view path) {
  if (mode == ViewMode::Jpeg) return L"*.jpg;*.jpeg";
  const std::wstring_view ext = ExtensionOf(path);
  if (mode == ViewMode::Document) {
    const std::wstring lower = LowerAscii(ext);
    if (lower == L".tif" || lower == L".tiff") return L"*.tif;*.tiff";
  }
  return L"*" + std::wstring(ext);
}

}  // namespace mirabo
