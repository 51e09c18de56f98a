#include "app/folder_list.h"

#include <gtest/gtest.h>

#include "app/classify.h"

namespace mirabo {
namespace {

std::string KeyNoCase(const std::wstring& name) {
  std::string key;
  for (const wchar_t c : LowerAscii(name)) key += static_cast<char>(c & 0x7F);
  return key;
}

TEST(FolderList, KeepsMatchingNamesInSortedOrder) {
  FolderList list;
  list.Assign({L"c.jpg", L"b.JPG", L"notes.txt", L"B.jpeg", L"a.jpg", L"a.jpgx"}, L"*.jpg;*.jpeg",
              KeyNoCase);
  EXPECT_EQ(list.Items(), (std::vector<std::wstring>{L"a.jpg", L"B.jpeg", L"b.JPG", L"c.jpg"}));
  EXPECT_EQ(list.IndexOf(L"B.JPG"), 2);
  EXPECT_EQ(list.IndexOf(L"c.jpg"), 3);
  EXPECT_EQ(list.IndexOf(L"gone.jpg"), 4) << "a file not in the list sits past its end";
}

TEST(FolderList, MovesStopAtBothEnds) {
  // a.jpg, b.jpg, c.jpg with b current, and the moves of a user.
  struct Row {
    const char* move;
    int index, count, expected;
  };
  const Row rows[] = {
      {"forward from b", 1, 3, 2}, {"forward from c", 2, 3, -1}, {"back from a", 0, 3, -1},
      {"back from b", 1, 3, 0},    {"home from c", 2, 3, 0},     {"home from a", 0, 3, -1},
      {"end from a", 0, 3, 2},     {"end from c", 2, 3, -1},     {"forward, empty", 0, 0, -1},
      {"back, empty", 0, 0, -1},   {"home, empty", 0, 0, -1},    {"end, empty", 0, 0, -1},
      // A current file missing from the list (13/12): back goes to the last,
      // forward does nothing, end goes to the last.
      {"back, missing", 12, 12, 11}, {"forward, missing", 12, 12, -1}, {"end, missing", 12, 12, 11},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.move);
    const std::string m = r.move;
    const int got = m.rfind("forward", 0) == 0 ? ForwardIndex(r.index, r.count)
                    : m.rfind("back", 0) == 0  ? BackIndex(r.index, r.count)
                    : m.rfind("home", 0) == 0  ? HomeIndex(r.index, r.count)
                                               : EndIndex(r.index, r.count);
    EXPECT_EQ(got, r.expected);
  }
}

TEST(FolderList, CounterAndJumpCaptions) {
  EXPECT_EQ(CounterText(1, 3), L"2/3");
  EXPECT_EQ(CounterText(0, 0), L"1/0");
  EXPECT_EQ(CounterText(12, 12), L"13/12");
  EXPECT_EQ(JumpCaption(0, L"IMG_0001.jpg"), L"1.IMG_0001.jpg");
  EXPECT_EQ(JumpCaption(9, L"x"), L"10.x");
}

}  // namespace
}  // namespace mirabo
