#include "components/launch_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>

#include "components/ie_page_setup.h"

namespace mirabo {
namespace {

// A made-up tree: folder paths (with "\") to their entries. Patterns are
// a folder and "*.*" or "*.ext".
class FakeTree : public IFolderSearch {
 public:
  std::map<std::wstring, std::vector<FolderEntry>> folders;
  std::vector<FolderEntry> Find(const std::wstring& pattern) override {
    const size_t slash = pattern.find_last_of(L'\\');
    const std::wstring folder = pattern.substr(0, slash + 1), mask = pattern.substr(slash + 1);
    std::vector<FolderEntry> found;
    const auto it = folders.find(folder);
    if (it == folders.end()) return found;
    for (const FolderEntry& e : it->second) {
      const std::wstring ext = mask.substr(1);  // "*.lnk" -> ".lnk"
      if (mask == L"*.*" || (e.name.size() >= ext.size() && e.name.compare(e.name.size() - ext.size(), ext.size(), ext) == 0))
        found.push_back(e);
    }
    return found;
  }
  bool IsFolder(const std::wstring& path) override {
    return folders.count(path.back() == L'\\' ? path : path + L'\\') != 0;
  }
};

int NoCase(const std::wstring& a, const std::wstring& b) {
  std::wstring x = a, y = b;
  for (auto* s : {&x, &y}) std::transform(s->begin(), s->end(), s->begin(), [](wchar_t c) { return std::towlower(c); });
  return x.compare(y);
}

std::vector<std::wstring> Captions(const std::vector<LaunchItem>& items) {
  std::vector<std::wstring> out;
  for (const auto& i : items) out.push_back(i.caption);
  return out;
}

TEST(LaunchList, FoldersFirstThenFilesSortedWithoutCaseTagsDepthFirst) {
  FakeTree tree;
  tree.folders[L"C:\\SendTo\\"] = {{L"b.lnk"}, {L"A.lnk"}, {L"readme.txt"}, {L"My.Tool.lnk"},
                                   {L"h.lnk", false, true}, {L"s.lnk", false, false, true},
                                   {L"Tools", true}, {L".", true}, {L"..", true}, {L"Secret", true, true},
                                   {L"empty", true}};
  tree.folders[L"C:\\SendTo\\Tools\\"] = {{L"x.lnk"}};
  tree.folders[L"C:\\SendTo\\Secret\\"] = {{L"y.lnk"}};
  tree.folders[L"C:\\SendTo\\empty\\"] = {};
  LaunchList list;
  ASSERT_TRUE(BuildLaunchList(L"C:\\SendTo", L"*.lnk", true, tree, NoCase, list));  // the "\" is added
  EXPECT_EQ(Captions(list.items),
            (std::vector<std::wstring>{L"empty", L"Secret", L"Tools", L"A", L"b", L"My.Tool"}));
  EXPECT_TRUE(list.items[0].folder && list.items[0].children.empty());
  EXPECT_EQ(list.items[1].children[0].tag, 1000) << "hidden folders are listed";
  EXPECT_EQ(list.items[2].children[0].tag, 1001);
  EXPECT_EQ(list.items[3].tag, 1002);
  EXPECT_EQ(list.items[5].tag, 1004);
  EXPECT_EQ(list.paths, (std::vector<std::wstring>{L"C:\\SendTo\\Secret\\y.lnk", L"C:\\SendTo\\Tools\\x.lnk",
                                                   L"C:\\SendTo\\A.lnk", L"C:\\SendTo\\b.lnk",
                                                   L"C:\\SendTo\\My.Tool.lnk"}));

  LaunchList flat;
  ASSERT_TRUE(BuildLaunchList(L"C:\\SendTo\\", L"*.lnk", false, tree, NoCase, flat));
  EXPECT_EQ(Captions(flat.items), (std::vector<std::wstring>{L"A", L"b", L"My.Tool"}));
  EXPECT_EQ(flat.items[0].tag, 1000);

  LaunchList none;
  EXPECT_FALSE(BuildLaunchList(L"", L"*.lnk", true, tree, NoCase, none));
  EXPECT_FALSE(BuildLaunchList(L"D:\\missing\\", L"*.lnk", true, tree, NoCase, none));
  EXPECT_TRUE(none.items.empty());
  EXPECT_EQ(WithoutLastExtension(L"noextension"), L"noextension");
}

TEST(PageSetup, MarginsLoseTheirBlanksAndTakeTheUsersSeparator) {
  EXPECT_EQ(CleanMargin(L" 0.750000 ", L"."), L"0.750000");
  EXPECT_EQ(CleanMargin(L"0.750000", L","), L"0,750000");
  EXPECT_EQ(CleanMargin(L"1 . 5.5", L","), L"1,5.5") << "only the first point";
  EXPECT_EQ(CleanMargin(L"", L","), L"");
}

}  // namespace
}  // namespace mirabo
