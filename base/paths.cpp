#include "base/paths.h"

namespace mirabo {
namespace {

template <typename Char>
size_t LastSeparator(std::basic_string_view<Char> path) {
  static constexpr Char kSeparators[] = {'\\', '/', ':', 0};
  return path.find_last_of(kSeparators);
}

template <typename Char>
std::basic_string_view<Char> NameOf(std::basic_string_view<Char> path) {
  const size_t sep = LastSeparator(path);
  return sep == std::basic_string_view<Char>::npos ? path : path.substr(sep + 1);
}

template <typename Char>
std::basic_string_view<Char> ExtensionIn(std::basic_string_view<Char> path) {
  const std::basic_string_view<Char> name = NameOf(path);
  const size_t dot = name.find_last_of(Char('.'));
  return dot == std::basic_string_view<Char>::npos ? std::basic_string_view<Char>() : name.substr(dot);
}

wchar_t LowerChar(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

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

std::wstring_view ExtensionOf(std::wstring_view path) { return ExtensionIn(path); }
std::string_view ExtensionOf(std::string_view path) { return ExtensionIn(path); }
std::wstring_view FileNameOf(std::wstring_view path) { return NameOf(path); }
std::string_view FileNameOf(std::string_view path) { return NameOf(path); }

std::wstring_view FolderOf(std::wstring_view path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash + 1);
}

std::wstring LowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = LowerChar(c);
  return out;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool EndsWithAsciiNoCase(std::string_view name, std::string_view ending) {
  return name.size() >= ending.size() && EqualsAsciiNoCase(name.substr(name.size() - ending.size()), ending);
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
