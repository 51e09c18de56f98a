#pragma once
// Conversions between the program's three encodings: UTF-16 for every system
// call, UTF-8 for the program's own message texts, and CP932 for the bytes of
// text files and the settings file (named explicitly, never the system's
// ANSI code page, so the program looks the same on any system).
#include <string>
#include <string_view>

namespace mirabo::win {

inline constexpr unsigned kCodePage932 = 932;

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::wstring Cp932ToWide(std::string_view bytes);
// Characters that CP932 cannot hold become "?".
std::string WideToCp932(std::wstring_view wide);

}  // namespace mirabo::win
