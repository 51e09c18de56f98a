#include "text/encoding.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "text/cp932.h"

namespace mirabo::text {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The length of the valid UTF-8 character at bytes[i], or 0 when it is not
// one (overlong forms, surrogates and values past U+10FFFF are not), or -1
// when the bytes end inside a character that could still be valid.
int Utf8Length(std::string_view bytes, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  int length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) length = 2;
  else if (c == 0xE0) length = 3, low = 0xA0;
  else if (c == 0xED) length = 3, high = 0x9F;  // no surrogates
  else if (c >= 0xE1 && c <= 0xEF) length = 3;
  else if (c == 0xF0) length = 4, low = 0x90;
  else if (c == 0xF4) length = 4, high = 0x8F;  // nothing past U+10FFFF
  else if (c >= 0xF1 && c <= 0xF3) length = 4;
  else return 0;
  for (int k = 1; k < length; ++k) {
    if (i + static_cast<size_t>(k) >= bytes.size()) return -1;
    const unsigned char next = b(i + static_cast<size_t>(k));
    if (k == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) return 0;
  }
  return length;
}

char32_t Utf8Value(std::string_view bytes, size_t i, int length) {
  const auto b = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(bytes[k])); };
  switch (length) {
    case 1: return b(i);
    case 2: return (b(i) & 0x1F) << 6 | (b(i + 1) & 0x3F);
    case 3: return (b(i) & 0x0F) << 12 | (b(i + 1) & 0x3F) << 6 | (b(i + 2) & 0x3F);
    default: return (b(i) & 0x07) << 18 | (b(i + 1) & 0x3F) << 12 | (b(i + 2) & 0x3F) << 6 | (b(i + 3) & 0x3F);
  }
}

char16_t Unit(std::string_view bytes, size_t i, bool bigEndian) {
  const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
  const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
  return static_cast<char16_t>(hi << 8 | lo);
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

Detection DetectEncoding(std::string_view head, bool complete) {
  const auto starts = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) return {Encoding::Utf8, 3};
  if (starts("\xFF\xFE")) return {Encoding::Utf16Le, 2};
  if (starts("\xFE\xFF")) return {Encoding::Utf16Be, 2};
  bool multiByte = false;
  for (size_t i = 0; i < head.size();) {
    const int length = Utf8Length(head, i);
    if (length < 0 && !complete) break;  // cut by the head's end
    if (length <= 0) return {};
    multiByte |= length > 1;
    i += static_cast<size_t>(length);
  }
  return multiByte ? Detection{Encoding::Utf8, 0} : Detection{};
}

std::string_view EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::Utf8: return "UTF-8";
    case Encoding::Utf16Le: return "UTF-16LE";
    case Encoding::Utf16Be: return "UTF-16BE";
    case Encoding::ShiftJis: break;
  }
  return "Shift_JIS";
}

bool IsUtf16(Encoding encoding) { return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be; }

size_t NextCharacter(std::string_view line, size_t at, Encoding encoding) {
  if (at >= line.size()) return line.size();
  switch (encoding) {
    case Encoding::ShiftJis:
      return std::min(line.size(), at + (cp932::IsLeadByte(static_cast<unsigned char>(line[at])) ? 2 : 1));
    case Encoding::Utf8: {
      const int length = Utf8Length(line, at);
      return at + (length > 0 ? static_cast<size_t>(length) : 1);
    }
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
      if (at + 2 > line.size()) return line.size();  // an odd last byte
      const bool big = encoding == Encoding::Utf16Be;
      if (IsHighSurrogate(Unit(line, at, big)) && at + 4 <= line.size() && IsLowSurrogate(Unit(line, at + 2, big)))
        return at + 4;
      return at + 2;
    }
  }
  return at + 1;
}

size_t PreviousCharacter(std::string_view line, size_t at, Encoding encoding) {
  // Lines are short next to the cost of drawing them: walk from the start,
  // the only way Shift-JIS and damaged UTF-8 can be stepped back safely.
  size_t previous = 0;
  for (size_t i = 0; i < at && i < line.size(); i = NextCharacter(line, i, encoding)) previous = i;
  return previous;
}

size_t DecodeUtf16(std::string_view line, Encoding encoding, char16_t* out) {
  char16_t* const start = out;
  if (encoding == Encoding::Utf8) {
    const char* const bytes = line.data();
    for (size_t i = 0; i < line.size();) {
      // Runs of ASCII eight bytes at a time: most lines are mostly ASCII.
      while (i + 8 <= line.size()) {
        uint64_t v;
        std::memcpy(&v, bytes + i, 8);
        if (v & 0x8080808080808080ull) break;
        for (int k = 0; k < 8; ++k) *out++ = static_cast<char16_t>(static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]));
        i += 8;
      }
      if (i >= line.size()) break;
      const unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c < 0x80) {
        *out++ = static_cast<char16_t>(c);
        ++i;
        continue;
      }
      const int length = Utf8Length(line, i);
      if (length <= 0) {
        *out++ = kReplacement;
        ++i;
        continue;
      }
      char32_t value = Utf8Value(line, i, length);
      if (value < 0x10000) {
        *out++ = static_cast<char16_t>(value);
      } else {
        value -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 + (value >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
      }
      i += static_cast<size_t>(length);
    }
  } else if (IsUtf16(encoding)) {
    const bool big = encoding == Encoding::Utf16Be;
    size_t i = 0;
    for (; i + 2 <= line.size(); i += 2) *out++ = Unit(line, i, big);
    if (i < line.size()) *out++ = kReplacement;  // an odd last byte
  }
  return static_cast<size_t>(out - start);
}

void AppendUtf16(std::string_view line, Encoding encoding, std::u16string& out) {
  const size_t at = out.size();
  out.resize(at + MaxUtf16Units(line.size()));
  out.resize(at + DecodeUtf16(line, encoding, out.data() + at));
}

int CellWidth(char32_t c) {
  // East Asian Wide and Fullwidth ranges, and the emoji planes.
  static constexpr struct {
    char32_t first, last;
  } kWide[] = {
      {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
      {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
      {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
      {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
      {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
      {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
      {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
      {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
      {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
      {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF},
      {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251},
      {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
      {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
  };
  if (c < 0x1100) return 1;
  size_t low = 0, high = std::size(kWide);
  while (low < high) {
    const size_t mid = (low + high) / 2;
    if (c < kWide[mid].first) high = mid;
    else if (c > kWide[mid].last) low = mid + 1;
    else return 2;
  }
  return 1;
}

char32_t CodePointAt(std::u16string_view text, size_t i, size_t& units) {
  const char32_t u = text[i];
  if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
    units = 2;
    return 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  units = 1;
  return u;
}

}  // namespace mirabo::text
