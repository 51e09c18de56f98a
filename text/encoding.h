#pragma once
// The encodings the text view reads besides Shift-JIS: UTF-8 (with or
// without its mark) and UTF-16 in either byte order (with its mark). Which
// one a file is in is decided once from its head; its lines are decoded
// only when they are drawn, each byte that starts no valid character
// becoming U+FFFD, so a damaged file still shows everything it holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirabo::text {

enum class Encoding { ShiftJis, Utf8, Utf16Le, Utf16Be };

// How much of a file's head decides.
inline constexpr size_t kDetectionHead = 64 * 1024;

struct Detection {
  Encoding encoding = Encoding::ShiftJis;
  size_t markBytes = 0;  // the byte-order mark, which is not shown
};

// A byte-order mark decides; without one, a head that is valid UTF-8 and
// holds at least one multi-byte character is UTF-8. complete says the head
// is the whole file; otherwise a character cut at the head's end counts
// for nothing. Everything else (pure ASCII too) is Shift-JIS.
Detection DetectEncoding(std::string_view head, bool complete);

// "Shift_JIS", "UTF-8", "UTF-16LE", "UTF-16BE".
std::string_view EncodingName(Encoding encoding);

bool IsUtf16(Encoding encoding);

// The next and previous character's byte offset in a line of the encoding:
// a character is one code point (a surrogate pair is one), and a byte that
// starts no valid character is one by itself. Shift-JIS steps over its
// double-byte characters.
size_t NextCharacter(std::string_view line, size_t at, Encoding encoding);
size_t PreviousCharacter(std::string_view line, size_t at, Encoding encoding);

// Appends the line's characters as UTF-16 (Shift-JIS is not decoded here:
// the system's code page 932 does that).
void AppendUtf16(std::string_view line, Encoding encoding, std::u16string& out);
// The same into out, which has room for MaxUtf16Units(line.size()) units;
// returns how many it wrote.
inline size_t MaxUtf16Units(size_t bytes) { return bytes + 1; }
size_t DecodeUtf16(std::string_view line, Encoding encoding, char16_t* out);

// The cells a character takes in a fixed-pitch font: two for wide East
// Asian characters (and emoji), one for the rest; a tab is expanded by the
// caller.
int CellWidth(char32_t c);

// The code point that starts at text[i] (a pair of surrogates joined), and
// how many units it takes.
char32_t CodePointAt(std::u16string_view text, size_t i, size_t& units);

}  // namespace mirabo::text
