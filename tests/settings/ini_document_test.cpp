#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <random>

namespace mirabo {
namespace {

TEST(IniDocument, EveryLineEndEndsALineAndSavingWritesCrLf) {
  struct Row {
    std::string_view input;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"[A]\r\nk=v\r\n", {"[A]", "k=v"}},
      {"[A]\nk=v\n", {"[A]", "k=v"}},
      {"[A]\rk=v\r", {"[A]", "k=v"}},
      {"[A]\r\n\nk=v\rx=y", {"[A]", "", "k=v", "x=y"}},
      {"\r\r", {"", ""}},
      {"", {}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const IniDocument doc = IniDocument::Parse(rows[i].input);
    EXPECT_EQ(doc.Lines(), rows[i].lines);
    std::string expected;
    for (const auto& l : rows[i].lines) expected += l + "\r\n";
    EXPECT_EQ(doc.Serialize(), expected);
  }
}

TEST(IniDocument, ReadsValuesTheWayTheProfileFunctionsDo) {
  const IniDocument doc = IniDocument::Parse(
      "; a comment line\r\n"
      "[Pos]\r\n"
      "Top=12\r\n"
      "  Left  =  34  \r\n"
      "Empty=\r\n"
      "Quoted=\"a b\"\r\n"
      "Single='x'\r\n"
      "HalfQuoted=\"abc\r\n"
      "Top=99\r\n"
      "no equals sign here\r\n"
      ";Hidden=1\r\n"
      "[View]\r\n"
      "Zoom=2\r\n"
      "[pos]\r\n"
      "Width=640\r\n");
  struct Row {
    std::string_view section, key;
    std::optional<std::string> expected;
  };
  const Row rows[] = {
      {"Pos", "Top", "12"},  // the first of two keys wins
      {"POS", "top", "12"},
      {"Pos", "Left", "34"},
      {"Pos", "Empty", ""},  // present but empty is not missing
      {"Pos", "Quoted", "a b"},
      {"Pos", "Single", "x"},
      {"Pos", "HalfQuoted", "\"abc"},
      {"Pos", "Missing", std::nullopt},
      {"Pos", ";Hidden", std::nullopt},
      {"Pos", "Zoom", std::nullopt},
      {"View", "Zoom", "2"},
      {"View", "Top", std::nullopt},
      {"Pos", "Width", "640"},  // a section written twice counts as one
      {"Nowhere", "Top", std::nullopt},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + std::string(rows[i].key));
    EXPECT_EQ(doc.Get(rows[i].section, rows[i].key), rows[i].expected);
  }
}

TEST(IniDocument, LongValuesAreCutAt2047BytesWithoutSplittingACharacter) {
  const std::string ascii(3000, 'a');
  IniDocument doc;
  doc.Set("S", "Long", ascii);
  EXPECT_EQ(doc.Get("S", "Long"), std::string(2047, 'a'));
  // The whole value stays in the file: only reading is limited.
  EXPECT_NE(doc.Serialize().find(ascii), std::string::npos);

  std::string kanji(2046, 'b');
  kanji += "\x96\xB3";  // the double-byte character would end at byte 2048
  doc.Set("S", "Kanji", kanji);
  EXPECT_EQ(doc.Get("S", "Kanji"), std::string(2046, 'b'));
}

TEST(IniDocument, WritesKeepEveryOtherLine) {
  IniDocument doc = IniDocument::Parse(
      "; settings, edited by hand\n"
      "[Pos]\n"
      "Top=1\n"
      "Unknown=keep me\n"
      "\n"
      "[View]\n"
      "Zoom=0\n");
  doc.Set("pos", "TOP", "5");        // in place, key spelling kept
  doc.Set("Pos", "Left", "7");       // end of its section, before the blank line
  doc.Set("Slide", "Loop", "1");     // new section at the end
  doc.Set("View", "FitWin", "");     // empty values are written, not removed
  const std::vector<std::string> expected{
      "; settings, edited by hand",
      "[Pos]",
      "Top=5",
      "Unknown=keep me",
      "Left=7",
      "",
      "[View]",
      "Zoom=0",
      "FitWin=",
      "",
      "[Slide]",
      "Loop=1",
  };
  EXPECT_EQ(doc.Lines(), expected);
  EXPECT_EQ(doc.Get("View", "FitWin"), "");
}

TEST(IniDocument, AFileThatIsNotTextDoesNotStopReadingOrWriting) {
  std::mt19937 random(1234);
  std::string junk(4096, '\0');
  for (auto& c : junk) c = static_cast<char>(random() & 0xFF);
  IniDocument doc = IniDocument::Parse(junk);
  EXPECT_EQ(doc.Get("Pos", "Top"), std::nullopt);
  doc.Set("Pos", "Top", "3");
  const IniDocument again = IniDocument::Parse(doc.Serialize());
  EXPECT_EQ(again.Get("Pos", "Top"), "3");
}

TEST(IniDocument, SectionNamesAndOddLinesAsTheProfileFunctionsReadThem) {
  // 評 is 0x95 0x5D, 転 0x93 0x5D: their second byte is "]".
  const std::string hyou = "\x95\x5D", ten = "\x93\x5D";
  IniDocument doc = IniDocument::Parse(
      "\xEF\xBB\xBF\xEF\xBB\xBF[Pos]\r\n"  // an editor's byte-order marks
      "Top=1\r\n"
      "[" + hyou + "]\r\n"
      "Count=2\r\n"
      "[a]b]\r\n"                 // the name ends at the last "]"
      "k=3\r\n"
      "[open\r\n"                 // no "]": an ordinary line of [a]b]
      "[x" + ten + "=4\r\n"
      "Zoom\r\n"                  // a key without "="
      "Zoom=5\r\n");
  struct Row {
    std::string section, key;
    std::optional<std::string> expected;
  };
  const Row rows[] = {
      {"Pos", "Top", "1"},
      {hyou, "Count", "2"},
      {"a]b", "k", "3"},
      {"a", "k", std::nullopt},
      {"open", "k", std::nullopt},
      {"a]b", "[x" + ten, "4"},
      {"a]b", "Zoom", std::nullopt},  // the first Zoom, without a value
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].key);
    EXPECT_EQ(doc.Get(rows[i].section, rows[i].key), rows[i].expected);
  }

  // Writes find the same lines: no second copy of a section or a key.
  doc.Set(hyou, "Count", "6");
  doc.Set("A]B", "zoom", "7");
  const std::string expected = "[Pos]\r\nTop=1\r\n[" + hyou + "]\r\nCount=6\r\n[a]b]\r\nk=3\r\n[open\r\n[x" +
                               ten + "=4\r\nZoom=7\r\nZoom=5\r\n";
  EXPECT_EQ(doc.Serialize(), expected);
  EXPECT_EQ(doc.Get("a]b", "Zoom"), "7");
}

TEST(IniDocument, AnEmptyDocumentGetsSectionsInTheOrderWritten) {
  IniDocument doc;
  doc.Set("Pos", "Top", "0");
  doc.Set("View", "Zoom", "1");
  doc.Set("Pos", "Left", "2");
  EXPECT_EQ(doc.Serialize(), "[Pos]\r\nTop=0\r\nLeft=2\r\n\r\n[View]\r\nZoom=1\r\n");
}

}  // namespace
}  // namespace mirabo
