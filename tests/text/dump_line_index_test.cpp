#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "text/dump.h"
#include "text/line_index.h"

namespace mirabo {
namespace {

// The dump as the 128-byte block algorithm builds it, for comparison.
std::vector<std::string> BlockDump(const std::vector<uint8_t>& file) {
  std::vector<std::string> lines;
  uint64_t offset = 0;
  size_t pos = 0;
  while (file.size() - pos >= 128) {
    for (int i = 0; i < 8; ++i, offset += 16) lines.push_back(DumpLine(offset, {file.data() + pos + i * 16, 16}));
    pos += 128;
  }
  const size_t n = file.size() - pos;
  for (size_t i = 0; i < n / 16; ++i, offset += 16) lines.push_back(DumpLine(offset, {file.data() + pos + i * 16, 16}));
  lines.push_back(DumpLine(offset, {file.data() + pos + (n / 16) * 16, n % 16}));
  return lines;
}

TEST(Dump, LinesForFilesOfEverySize) {
  struct Row {
    size_t size;
    uint64_t lines;
    const char* lastLine;
  };
  const std::string spaces52(52, ' ');
  const Row rows[] = {
      {0, 1, nullptr}, {16, 2, nullptr}, {20, 2, nullptr}, {128, 9, nullptr}, {300, 19, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.size);
    std::vector<uint8_t> file(r.size);
    std::iota(file.begin(), file.end(), static_cast<uint8_t>(0x30));
    ASSERT_EQ(DumpLineCount(r.size), r.lines);
    const auto expected = BlockDump(file);
    ASSERT_EQ(expected.size(), r.lines);
    for (uint64_t i = 0; i < r.lines; ++i) {
      const DumpSpan span = DumpLineSpan(r.size, i);
      EXPECT_EQ(DumpLine(span.offset, {file.data() + span.offset, span.count}), expected[i]) << "line " << i;
    }
  }
  EXPECT_EQ(DumpLine(0, {}), "00000000" + spaces52);
  EXPECT_EQ(DumpLine(0x10, {}), "00000010" + spaces52);
  const uint8_t twenty[20] = {0x41, 0x42, 0x43, 0x44};
  const std::string last = DumpLine(0x10, {twenty + 16, 4});
  EXPECT_EQ(last, "00000010  00 00 00 00" + std::string(12 * 3 + 1 + 2, ' ') + "....");
  EXPECT_EQ(last.size(), 64u);
  EXPECT_EQ(DumpLineSpan(300, 18).offset, 0x120u);
  EXPECT_EQ(DumpLineSpan(300, 18).count, 12u);
}

TEST(Dump, TheCharacterColumnAndTheHeaderLineUp) {
  const uint8_t bytes[16] = {0x00, 0x09, 0x0A, 0x0D, 0x1A, 0x20, 0x7F, 0x80, 0xFF, 0x41, 0x82, 0xA0, 0x1F, 0x5C, 0x7E, 0x21};
  const std::string line = DumpLine(0xABCDEF0, bytes);
  ASSERT_EQ(line.size(), kDumpLineLength);
  ASSERT_EQ(kDumpHeader.size(), kDumpLineLength);
  EXPECT_EQ(line.substr(0, 10), "0ABCDEF0  ");
  EXPECT_EQ(line.substr(10, 48), "00 09 0A 0D 1A 20 7F 80 FF 41 82 A0 1F 5C 7E 21 ");
  EXPECT_EQ(line.substr(58), "  ....." " \x7F\x80\xFF" "A\x82\xA0." "\\~!");
  // Each column digit of the header stands over the second digit of its byte.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(kDumpHeader[static_cast<size_t>(11 + 3 * i)], "0123456789ABCDEF"[i]) << i;
  EXPECT_EQ(kDumpHeader.substr(60), "0123456789ABCDEF");
}

TEST(Dump, OffsetsBeyondFourGigabytesKeepEveryDigit) {
  const uint64_t size = 5ull << 30;  // 5 GB
  EXPECT_EQ(DumpLineCount(size), (size / 16) + 1);
  const DumpSpan span = DumpLineSpan(size, 0x10000000);  // the line at 4 GB
  EXPECT_EQ(span.offset, 0x100000000ull);
  EXPECT_EQ(span.count, 16u);
  const uint8_t bytes[16] = {};
  EXPECT_EQ(DumpLine(span.offset, bytes).substr(0, 11), "100000000  ");
  EXPECT_EQ(DumpLine(0xFFFFFFF0ull, bytes).substr(0, 10), "FFFFFFF0  ");
}

TEST(LineIndex, EveryKindOfLineBreakEndsALine) {
  struct Row {
    const char* what;
    std::string text;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"empty", "", {}},
      {"no final break", "abc", {"abc"}},
      {"final break opens no line", "abc\r\n", {"abc"}},
      {"CR LF", "a\r\nb\r\nc", {"a", "b", "c"}},
      {"LF", "a\nb\n", {"a", "b"}},
      {"CR", "a\rb\rc", {"a", "b", "c"}},
      {"mixed with empty lines", "a\r\r\n\n\rb", {"a", "", "", "", "b"}},
      {"only a break", "\r\n", {""}},
      {"bytes of every kind", std::string("x\0y\x1Az", 5) + "\n\x82\xA0", {std::string("x\0y\x1Az", 5), "\x82\xA0"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const LineIndex index(r.text);
    ASSERT_EQ(index.Count(), r.lines.size());
    for (size_t i = 0; i < r.lines.size(); ++i) EXPECT_EQ(index.Line(r.text, i), r.lines[i]) << i;
  }
  const std::string text = "ab\ncd\r\nef";
  const LineIndex index(text);
  EXPECT_EQ(index.LineOf(0), 0u);
  EXPECT_EQ(index.LineOf(2), 0u);
  EXPECT_EQ(index.LineOf(3), 1u);
  EXPECT_EQ(index.LineOf(8), 2u);
}

TEST(LineIndex, LongRunsOfCarriageReturnsAreIndexedInOnePass) {
  std::string text(200000, '\r');
  text += "\nend";
  const LineIndex index(text);
  // 199,999 lone CRs, one CR LF, then the last line.
  ASSERT_EQ(index.Count(), 200001u);
  EXPECT_EQ(index.Line(text, 200000), "end");
  EXPECT_EQ(index.Line(text, 199999), "");
  EXPECT_EQ(index.Line(text, 5), "");
}

}  // namespace
}  // namespace mirabo
