#include "text/sjisconv.h"

#include <gtest/gtest.h>


namespace mirabo {
namespace {

std::string Hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

TEST(SjisConv, EveryKindOfLineConvertsByteForByte) {
  struct Row {
    const char* what;
    std::string input, expected;
    CodeKind kind;
  };
  const Row rows[] = {
      {"ASCII is JIS and unchanged", "abc", "abc", CodeKind::Jis},
      {"Shift-JIS unchanged", "\x82\xA0\x82\xA2", "\x82\xA0\x82\xA2", CodeKind::Sjis},
      {"EUC-JP hiragana", "\xA4\xA2", "\x82\xA0", CodeKind::Euc},
      {"EUC-JP half-width katakana", std::string("\x8E\xB1"), "\xB1", CodeKind::Euc},
      {"JIS kanji between escapes", "\x1B\x24\x42\x30\x21\x1B\x28\x42\x78", "\x88\x9F\x78", CodeKind::Jis},
      {"JIS kana by escape", "\x1B\x28\x49\x31\x32", "\xB1\xB2", CodeKind::Jis},
      {"JIS kana by SO and SI", "\x0E\x31\x32\x0F", "\xB1\xB2", CodeKind::Jis},
      {"three katakana bytes are Shift-JIS", "\xB1\xB2\xB3", "\xB1\xB2\xB3", CodeKind::Sjis},
      {"two katakana bytes are EUC-JP", "\xB1\xB2", "\x89\x51", CodeKind::Euc},
      {"0x8E then 0x9E is Shift-JIS", "\x8E\x9E", "\x8E\x9E", CodeKind::Sjis},
      {"0x8E then 0xE0 is Shift-JIS", "\x8E\xE0", "\x8E\xE0", CodeKind::Sjis},
      {"0x8E then 0xA0 is Shift-JIS", "\x8E\xA0", "\x8E\xA0", CodeKind::Sjis},
      {"a katakana pair later keeps it EUC-JP", "\x8E\xB1\xA4\xA2", "\xB1\x82\xA0", CodeKind::Euc},
      {"JIS row byte at the end keeps only the lead", "\x1B\x24\x42\x30", "\x88", CodeKind::Jis},
      {"empty", "", "", CodeKind::Jis},
      {"JIS 0x24 0x22", "\x1B\x24\x40\x24\x22", "\x82\xA0", CodeKind::Jis},
      // Malformed input goes through the same rules.
      {"unknown escape stays", "\x1B\x28\x5A" "a", "\x1B\x28\x5A" "a", CodeKind::Jis},
      {"SO then escape back", "\x0E\x31\x1B\x28\x42\x31", "\xB1" "1", CodeKind::Jis},
      {"unpaired EUC byte at the end makes it Shift-JIS", "\xA4\xA2\xA4", "\xA4\xA2\xA4", CodeKind::Sjis},
      {"a stray 0xFF in EUC loses bit 7", "\xA4\xA2\xFF" "A", "\x82\xA0\x7F" "A", CodeKind::Euc},
      {"0x8E without katakana loses bit 7", "\xA4\xA2\x8E" "a", "\x82\xA0\x0E" "a", CodeKind::Euc},
      {"a NUL ends the output", std::string("ab\0cd", 5), "ab", CodeKind::Jis},
      {"a NUL in Shift-JIS ends it too", std::string("\x82\xA0\0\x82\xA2", 5), "\x82\xA0", CodeKind::Sjis},
      // 0x1A ends the guess; the bytes after it follow the guess made.
      {"0x1A ends detection", "\xA4\xA2\x1A\x81\x81", "\x82\xA0\x1A\x01\x01", CodeKind::Euc},
      {"JIS kanji whose cell byte is 0x00", std::string("\x1B\x24\x42\x30\0x", 6), "\x88\x7D\xEC", CodeKind::Jis},
      {"EUC kana mode by escape", "\xA4\xA2\x1B\x28\x49\x31", "\x82\xA0\xB1", CodeKind::Euc},
  };
  const TAutoSjisConv conv;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(TAutoSjisConv::Detect(r.input), r.kind);
    EXPECT_EQ(Hex(conv.ConvertToSjis(r.input)), Hex(r.expected));
  }
}

TEST(SjisConv, TheArithmeticMapsRowsAndCells) {
  struct Row {
    int row, cell;
    unsigned char lead, trail;
  };
  const Row rows[] = {{0x30, 0x21, 0x88, 0x9F}, {0x24, 0x22, 0x82, 0xA0}, {0x21, 0x21, 0x81, 0x40},
                      {0x7E, 0x7E, 0xEF, 0xFC}, {0x5E, 0x21, 0x9F, 0x9F}, {0x5F, 0x21, 0xE0, 0x40}, {0x60, 0x21, 0xE0, 0x9F},
                      {0x21, 0x20, 0x81, 0x3F}};
  for (const Row& r : rows) {
    const SjisPair p = JisToSjis(r.row, r.cell);
    EXPECT_EQ(p.lead, r.lead) << std::hex << r.row << " " << r.cell;
    EXPECT_EQ(p.trail, r.trail) << std::hex << r.row << " " << r.cell;
  }
}

TEST(SjisConv, NothingCarriesOverBetweenLines) {
  const TAutoSjisConv conv;
  EXPECT_EQ(conv.ConvertToSjis("\x1B\x24\x42\x30\x21"), "\x88\x9F");
  EXPECT_EQ(conv.ConvertToSjis("\x30\x21"), "\x30\x21") << "kanji mode ended with the last line";
}

TEST(SjisConv, ALineOfManyEscapesConvertsWhole) {
  std::string jis = "\x1B\x24\x42";
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    jis += "\x30\x21\x1B\x28\x42" "a\x1B\x24\x42";
    expected += "\x88\x9F" "a";
  }
  EXPECT_EQ(TAutoSjisConv().ConvertToSjis(jis), expected);
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

// The short-cut for ordinary cells must give the numbers of the division
// rule everywhere, and the division rule must still run for the rest.
TEST(SjisConv, EveryRowAndCellFollowsTheDivisionRule) {
  for (int row = 0x21; row <= 0x7F; ++row) {
    for (int cell = 0x00; cell <= 0x7F; ++cell) {
      const int d = (row - 0x21) * 94 + (cell - 0x21);
      int lead = d / 188 + 0x81, trail = d % 188 + 0x40;
      if (lead > 0x9F) lead += 0x40;
      if (trail > 0x7E) trail += 1;
      const SjisPair p = JisToSjis(row, cell);
      ASSERT_EQ(p.lead, static_cast<unsigned char>(lead)) << std::hex << row << " " << cell;
      ASSERT_EQ(p.trail, static_cast<unsigned char>(trail)) << std::hex << row << " " << cell;
    }
  }
}

}  // namespace
}  // namespace mirabo
