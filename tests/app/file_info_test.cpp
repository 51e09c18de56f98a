#include "app/file_info.h"

#include <gtest/gtest.h>

namespace mirabo {
namespace {

TEST(FileInfo, TheSheetLinesUpItsValuesAtColumnFifteen) {
  FileFacts facts{"C:\\photos\\a.jpg", "C:\\photos\\", "a.jpg", 0x21, "", ""};
  const auto head = FileInfoHead(facts);
  ASSERT_EQ(head.size(), 6u);
  EXPECT_EQ(head[0], "C:\\photos\\a.jpg");
  EXPECT_EQ(head[1], "--------------");
  const std::string lines[] = {head[2], head[3], head[4], FileInfoTimestampLine("2026/12/08 9:05:02"),
                               FileInfoSizeLine("1,234")};
  for (const std::string& line : lines) EXPECT_EQ(line.substr(13, 2), "\x81\x46") << line;  // the colon ends the label
  EXPECT_EQ(head[2].substr(15), "C:\\photos\\");
  EXPECT_EQ(head[3].substr(15), "a.jpg");
  EXPECT_EQ(head[4].substr(15), "a:d:v:s:h:r:");
  // A read-only archived file: each flag under its letter.
  EXPECT_EQ(head[5], std::string(15, ' ') + "a - - - - r ");
  EXPECT_EQ(lines[4].substr(15), "1,234 Bytes");
}

TEST(FileInfo, FlagsForEveryAttributeAndSizesWithGroups) {
  FileFacts facts;
  facts.attributes = 0x3F;
  EXPECT_EQ(FileInfoHead(facts)[5].substr(15), "a d v s h r ");
  facts.attributes = 0;
  EXPECT_EQ(FileInfoHead(facts)[5].substr(15), "- - - - - - ");
  const std::pair<uint64_t, const char*> sizes[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234, "1,234"}, {1048576, "1,048,576"}, {5368709120ull, "5,368,709,120"}};
  for (const auto& [value, text] : sizes) EXPECT_EQ(GroupDigits(value, ","), text);
}

}  // namespace
}  // namespace mirabo
