// Which encoding a file's head says, how UTF-16 text breaks into lines, and
// how characters are stepped through and measured.
#include "text/encoding.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "text/line_index.h"
#include "text/line_source.h"

namespace mirabo::text {
namespace {

std::string Utf16Le(std::u16string_view s) {
  std::string out;
  for (const char16_t u : s) out += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  return out;
}
std::string Utf16Be(std::u16string_view s) {
  std::string out;
  for (const char16_t u : s) out += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
  return out;
}

TEST(Encoding, TheHeadDecides) {
  const std::string ascii(100, 'a');
  std::string cut = "a\xE3\x81\x82" + std::string(kDetectionHead - 5, 'b') + "\xE3";  // a cut あ at the end
  struct Row {
    const char* name;
    std::string head;
    bool complete;
    Encoding encoding;
    size_t mark;
  } rows[] = {
      {"UTF-8 mark", "\xEF\xBB\xBFx", true, Encoding::Utf8, 3},
      {"UTF-8 mark alone", "\xEF\xBB\xBF", true, Encoding::Utf8, 3},
      {"UTF-16LE mark", "\xFF\xFEx\0", true, Encoding::Utf16Le, 2},
      {"UTF-16BE mark", "\xFE\xFF\0x", true, Encoding::Utf16Be, 2},
      {"UTF-8 Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", true, Encoding::Utf8, 0},
      {"UTF-8 accent and emoji", "caf\xC3\xA9 \xF0\x9F\x98\x80", true, Encoding::Utf8, 0},
      {"pure ASCII", ascii, true, Encoding::ShiftJis, 0},
      {"empty", "", true, Encoding::ShiftJis, 0},
      {"cut at the head's end", cut, false, Encoding::Utf8, 0},
      {"cut at the file's end", cut, true, Encoding::ShiftJis, 0},
      {"overlong slash", "a\xC0\xAF", true, Encoding::ShiftJis, 0},
      {"overlong three bytes", "\xE0\x80\xAF", true, Encoding::ShiftJis, 0},
      {"a surrogate in UTF-8", "\xED\xA0\x80", true, Encoding::ShiftJis, 0},
      {"CESU-8 pair", "\xED\xA0\xBD\xED\xB8\x80", true, Encoding::ShiftJis, 0},
      {"past U+10FFFF", "\xF4\x90\x80\x80", true, Encoding::ShiftJis, 0},
      {"Shift-JIS 日本語", "\x93\xFA\x96\x7B\x8C\xEA", true, Encoding::ShiftJis, 0},
      {"EUC-JP あいう", "\xA4\xA2\xA4\xA4\xA4\xA6", true, Encoding::ShiftJis, 0},
      {"Shift-JIS valid as UTF-8 for a while", "\xC3\xBD\xC3\xBD\x82\xA0", true, Encoding::ShiftJis, 0},
  };
  for (const Row& r : rows) {
    const Detection d = DetectEncoding(r.head, r.complete);
    EXPECT_EQ(d.encoding, r.encoding) << r.name << ": got " << EncodingName(d.encoding);
    EXPECT_EQ(d.markBytes, r.mark) << r.name;
  }
}

TEST(Encoding, Utf16BreaksOnUnitsInEitherOrder) {
  // 上 is 0x4E0A, ਀ 0x0A00: each holds a 0x0A byte that is no line feed.
  const std::u16string text = u"a\u4E0Ab\r\n\u0A00\rc\nlast";
  for (const bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const std::string bytes = big ? Utf16Be(text) : Utf16Le(text);
    const LineIndex index = LineIndex::Utf16(bytes, big);
    ASSERT_EQ(index.Count(), 4u);
    const auto line = [&](size_t i) { return std::string(index.Line(bytes, i)); };
    EXPECT_EQ(line(0), big ? Utf16Be(u"a\u4E0Ab") : Utf16Le(u"a\u4E0Ab"));
    EXPECT_EQ(line(1), big ? Utf16Be(u"\u0A00") : Utf16Le(u"\u0A00"));
    EXPECT_EQ(line(2), big ? Utf16Be(u"c") : Utf16Le(u"c"));
    EXPECT_EQ(line(3), big ? Utf16Be(u"last") : Utf16Le(u"last"));
    // A final break opens no line; an odd last byte stays in its line.
    EXPECT_EQ(LineIndex::Utf16(bytes + (big ? Utf16Be(u"\n") : Utf16Le(u"\n")), big).Count(), 4u);
    const std::string odd = bytes + "z";
    const LineIndex oddIndex = LineIndex::Utf16(odd, big);
    ASSERT_EQ(oddIndex.Count(), 4u);
    std::u16string shown;
    AppendUtf16(oddIndex.Line(odd, 3), big ? Encoding::Utf16Be : Encoding::Utf16Le, shown);
    EXPECT_EQ(shown, u"last\uFFFD");
  }
  EXPECT_EQ(LineIndex::Utf16("", false).Count(), 0u);
}

TEST(Encoding, AMappedFileLosesItsMarkAndKeepsItsEncoding) {
  const std::string file = "\xFF\xFE" + Utf16Le(u"\u65E5\u672C\r\nx");
  const TextLineSource source(file, nullptr);
  EXPECT_EQ(source.Encoding(), Encoding::Utf16Le);
  ASSERT_EQ(source.LineCount(), 2u);
  EXPECT_EQ(source.Line(0), Utf16Le(u"\u65E5\u672C"));
  const TextLineSource utf8("\xEF\xBB\xBF\xE3\x81\x82\n", nullptr);
  EXPECT_EQ(utf8.Encoding(), Encoding::Utf8);
  EXPECT_EQ(utf8.Line(0), "\xE3\x81\x82");
  const std::string sjisFile = "\x82\xA0\n";  // Shift-JIS あ, as today
  const TextLineSource sjis(sjisFile, nullptr);
  EXPECT_EQ(sjis.Encoding(), Encoding::ShiftJis);
  EXPECT_EQ(sjis.Line(0), "\x82\xA0");
}

TEST(Encoding, CharactersAreSteppedAsTheUserSeesThem) {
  struct Row {
    const char* name;
    std::string line;
    Encoding encoding;
    std::vector<size_t> stops;  // every character's start, then the end
    std::u16string shown;
  } rows[] = {
      {"UTF-8 mixed", "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", Encoding::Utf8, {0, 1, 3, 6, 10},
       u"a\u00E9\u3042\U0001F600"},
      {"UTF-8 damaged", "a\x80\xE3\x81z", Encoding::Utf8, {0, 1, 2, 3, 4, 5}, u"a\uFFFD\uFFFD\uFFFDz"},
      {"UTF-16 pair", Utf16Le(u"x\U0001F600y"), Encoding::Utf16Le, {0, 2, 6, 8}, u"x\U0001F600y"},
      {"UTF-16 lone surrogate", Utf16Be(u"\xD800x"), Encoding::Utf16Be, {0, 2, 4}, u"\xD800x"},
      {"Shift-JIS", "a\x82\xA0\xB1", Encoding::ShiftJis, {0, 1, 3, 4}, u""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<size_t> stops{0};
    for (size_t at = 0; at < r.line.size();) stops.push_back(at = NextCharacter(r.line, at, r.encoding));
    EXPECT_EQ(stops, r.stops);
    for (size_t i = 1; i < r.stops.size(); ++i)
      EXPECT_EQ(PreviousCharacter(r.line, r.stops[i], r.encoding), r.stops[i - 1]) << "before " << r.stops[i];
    std::u16string shown;
    AppendUtf16(r.line, r.encoding, shown);
    EXPECT_EQ(shown, r.shown);
  }
}

TEST(Encoding, WideCharactersTakeTwoCells) {
  const struct {
    char32_t c;
    int cells;
  } rows[] = {{U'A', 1},       {U'\u00E9', 1},  {U'\u3042', 2},  {U'\u65E5', 2},     {U'\uFF71', 1},
              {U'\uFF21', 2},  {U'\uAC00', 2},  {U'\u0416', 1},  {U'\U0001F600', 2}, {U'\U00020B9F', 2},
              {U'\u2192', 1},  {U'\u3000', 2}};
  for (const auto& r : rows) EXPECT_EQ(CellWidth(r.c), r.cells) << "U+" << std::hex << static_cast<uint32_t>(r.c);
  size_t units = 0;
  EXPECT_EQ(CodePointAt(u"\U0001F600", 0, units), U'\U0001F600');
  EXPECT_EQ(units, 2u);
}

}  // namespace
}  // namespace mirabo::text
