#include "text/cp932.h"

namespace mirabo::cp932 {
namespace {
constexpr unsigned char LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x)) {
      if (x != y) return false;
      if (i + 1 < a.size()) {
        if (a[i + 1] != b[i + 1]) return false;
        ++i;
      }
      continue;
    }
    if (LowerAscii(x) != LowerAscii(y)) return false;
  }
  return true;
}

std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t i = 0;
  while (i < maxBytes) {
    const size_t width = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
  }
  return text.substr(0, i);
}

}  // namespace mirabo::cp932
