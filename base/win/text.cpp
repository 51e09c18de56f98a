#include "base/win/text.h"

#include <windows.h>

namespace mirabo::win {
namespace {

std::wstring ToWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

std::string FromWide(unsigned codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string WideToUtf8(std::wstring_view wide) { return FromWide(CP_UTF8, wide); }
std::wstring Cp932ToWide(std::string_view bytes) { return ToWide(kCodePage932, bytes); }
std::string WideToCp932(std::wstring_view wide) { return FromWide(kCodePage932, wide); }

}  // namespace mirabo::win
