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

wchar_t LowerChar(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

size_t LastSeparator(std::wstring_view path) { return path.find_last_of(L"\\:"); }

// Case-insensitive wildcard match of one pattern; iterative with one
// back-tracking point, so a long name cannot make it slow.
bool MatchOne(std::wstring_view name, std::wstring_view pattern) {
  size_t n = 0, p = 0, starP = std::wstring_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == L'?' || LowerChar(pattern[p]) == LowerChar(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::wstring_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

}  // namespace

std::wstring_view ExtensionOf(std::wstring_view path) {
  const size_t dot = path.find_last_of(L'.');
  if (dot == std::wstring_view::npos) return {};
  const size_t sep = LastSeparator(path);
  if (sep != std::wstring_view::npos && sep > dot) return {};
  return path.substr(dot);
}

std::wstring_view FileNameOf(std::wstring_view path) {
  const size_t sep = LastSeparator(path);
  return sep == std::wstring_view::npos ? path : path.substr(sep + 1);
}

std::wstring_view FolderOf(std::wstring_view path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash + 1);
}

std::wstring LowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = LowerChar(c);
  return out;
}

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

bool MatchesMask(std::wstring_view name, std::wstring_view mask) {
  size_t start = 0;
  while (start <= mask.size()) {
    size_t end = mask.find(L';', start);
    if (end == std::wstring_view::npos) end = mask.size();
    const std::wstring_view pattern = mask.substr(start, end - start);
    if (!pattern.empty() && MatchOne(name, pattern)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace mirabo
