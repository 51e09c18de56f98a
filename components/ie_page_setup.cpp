#include "components/ie_page_setup.h"

#include <algorithm>

namespace mirabo {

std::wstring CleanMargin(const std::wstring& stored, const std::wstring& decimalSeparator) {
  std::wstring text;
  std::copy_if(stored.begin(), stored.end(), std::back_inserter(text), [](wchar_t c) { return c != L' '; });
  if (!decimalSeparator.empty() && decimalSeparator != L".") {
    const size_t dot = text.find(L'.');
    if (dot != std::wstring::npos) text.replace(dot, 1, decimalSeparator);
  }
  return text;
}

}  // namespace mirabo
