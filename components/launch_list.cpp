#include "components/launch_list.h"

#include <algorithm>

namespace mirabo {
namespace {

struct Builder {
  IFolderSearch& search;
  const NameCompare& compare;
  const std::wstring& mask;
  bool searchDirectory;
  LaunchList& out;

  void AddFolder(const std::wstring& folder, std::vector<LaunchItem>& parent) {
    // Prefixed names: "0" folders before "1" files, sorted together.
    std::vector<std::wstring> scratch;
    for (const FolderEntry& e : search.Find(folder + L"*.*"))
      if (e.folder && e.name != L"." && e.name != L"..") scratch.push_back(L"0" + e.name);
    for (const FolderEntry& e : search.Find(folder + mask))
      if (!e.folder && !e.hidden && !e.system) scratch.push_back(L"1" + e.name);
    std::stable_sort(scratch.begin(), scratch.end(),
                     [this](const std::wstring& a, const std::wstring& b) { return compare(a, b) < 0; });
    for (const std::wstring& entry : scratch) {
      const std::wstring name = entry.substr(1);
      if (entry[0] == L'1') {
        LaunchItem item;
        item.caption = WithoutLastExtension(name);
        item.tag = kFirstLaunchTag + static_cast<int>(out.paths.size());
        item.fileName = name;
        out.paths.push_back(folder + name);
        parent.push_back(std::move(item));
      } else if (searchDirectory) {
        LaunchItem item;
        item.caption = name;
        item.folder = true;
        parent.push_back(std::move(item));
        AddFolder(folder + name + L"\\", parent.back().children);
      }
    }
  }
};

}  // namespace

std::wstring WithoutLastExtension(const std::wstring& name) {
  const size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

bool BuildLaunchList(const std::wstring& directory, const std::wstring& mask, bool searchDirectory,
                     IFolderSearch& search, const NameCompare& compare, LaunchList& out) {
  if (directory.empty() || !search.IsFolder(directory)) return false;
  std::wstring folder = directory;
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  out.paths.clear();
  Builder{search, compare, mask, searchDirectory, out}.AddFolder(folder, out.items);
  return true;
}

}  // namespace mirabo
