#pragma once
// Byte-level facts about Shift-JIS (code page 932) text that the settings file
// and the text views need without asking the system.
#include <cstddef>
#include <string_view>

namespace mirabo::cp932 {

constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Compares ASCII letters without case; the trail byte of a double-byte
// character is compared exactly, so it is never mistaken for a letter.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The longest prefix of at most maxBytes that does not split a character.
std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes);

}  // namespace mirabo::cp932
