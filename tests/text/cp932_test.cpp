#include "text/cp932.h"

#include <gtest/gtest.h>

namespace mirabo::cp932 {
namespace {

TEST(Cp932, EqualsNoCaseFoldsOnlyAsciiLetters) {
  struct Row {
    std::string_view a, b;
    bool equal;
  };
  const Row rows[] = {
      {"Pos", "pOS", true},
      {"Ext10", "EXT10", true},
      {"Pos", "Po", false},
      {"", "", true},
      // 0x83 0x41 is one katakana character whose trail byte is 'A'; folding
      // it would make it equal to 0x83 0x61, another character.
      {"\x83\x41", "\x83\x61", false},
      {"\x83\x41", "\x83\x41", true},
      {"a\x83\x41z", "A\x83\x41Z", true},
      {"[", "{", false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(EqualsNoCase(rows[i].a, rows[i].b), rows[i].equal);
  }
}

TEST(Cp932, CutNeverSplitsADoubleByteCharacter) {
  struct Row {
    std::string_view text;
    size_t max;
    std::string_view expected;
  };
  const Row rows[] = {
      {"abcdef", 4, "abcd"},
      {"abc", 10, "abc"},
      {"ab\x96\xB3", 3, "ab"},
      {"ab\x96\xB3", 4, "ab\x96\xB3"},
      {"\x96\xB3\x91\xE8", 3, "\x96\xB3"},
      {"\xB1\xB2\xB3", 2, "\xB1\xB2"},  // half-width katakana are single bytes
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(CutAtCharBoundary(rows[i].text, rows[i].max), rows[i].expected);
  }
}

}  // namespace
}  // namespace mirabo::cp932
