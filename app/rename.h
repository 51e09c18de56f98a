#pragma once
// The rename bar's new names: a fixed part, an optional date and a running
// number, always with ".jpg" ("無題(2026-12-08)001.jpg").
#include <optional>
#include <string>
#include <string_view>

namespace mirabo {

struct CivilDate {
  int year, month, day;
};

// The counter as "%.Nd" formats it: at least digits digits, zero-padded,
// the sign in front of the padding.
std::wstring FormatCounter(int value, int digits);

// Box text read as the string library reads an integer (blanks, sign,
// "$"/"0x" hexadecimal); nothing when it is not one, including any
// character outside ASCII.
std::optional<int> ParseBoxInteger(std::wstring_view text);

// The precision of the format "%." + text + "d": decimal digits, none
// meaning 0; nothing when the format would be invalid (anything else, or a
// precision beyond 32 digits).
std::optional<int> ParseDigitCount(std::wstring_view text);

// fixed + "(yyyy-mm-dd)" when there is a date + the counter + ".jpg".
std::wstring ComposeNewName(std::wstring_view fixed, const std::optional<CivilDate>& date, int digits, int counter);

// Whether name can be given to a file as it is: not empty, none of
// \ / : * ? " < > | or control characters, and not a device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension).
bool IsUsableFileName(std::wstring_view name);

}  // namespace mirabo
