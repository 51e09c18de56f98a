#include "app/rename.h"

#include <cwchar>

#include "settings/rw_ini.h"

namespace mirabo {

std::wstring FormatCounter(int value, int digits) {
  const long long v = value;
  std::wstring magnitude = std::to_wstring(v < 0 ? -v : v);
  if (static_cast<int>(magnitude.size()) < digits)
    magnitude.insert(0, static_cast<size_t>(digits) - magnitude.size(), L'0');
  return v < 0 ? L"-" + magnitude : magnitude;
}

std::optional<int> ParseBoxInteger(std::wstring_view text) {
  std::string ascii;
  for (const wchar_t c : text) {
    if (c <= 0 || c > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  return ParseInteger(ascii);
}

std::optional<int> ParseDigitCount(std::wstring_view text) {
  if (text.size() > 2) return std::nullopt;  // the cap below has two digits
  int digits = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    digits = digits * 10 + (c - L'0');
  }
  if (digits > 32) return std::nullopt;
  return digits;
}

std::wstring ComposeNewName(std::wstring_view fixed, const std::optional<CivilDate>& date, int digits, int counter) {
  std::wstring name(fixed);
  if (date) {
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"(%04d-%02d-%02d)", date->year, date->month, date->day);
    name += text;
  }
  name += FormatCounter(counter, digits);
  name += L".jpg";
  return name;
}

bool IsUsableFileName(std::wstring_view name) {
  if (name.empty()) return false;
  for (const wchar_t c : name)
    if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
  std::wstring stem(name.substr(0, name.find(L'.')));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& c : stem)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL") return false;
  if (stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) && stem[3] >= L'1' && stem[3] <= L'9')
    return false;
  return true;
}

}  // namespace mirabo
