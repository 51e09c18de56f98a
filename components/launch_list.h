#pragma once
// What the launch menu lists, worked out over a folder-search interface so
// the rules can be tested on a made-up tree: sub-folders (hidden ones too)
// before files, each group in the user's order of names without case;
// files matching the mask but not hidden or system ones; captions without
// the last extension; tags from 1000 in the order of creation, depth first.
#include <functional>
#include <string>
#include <vector>

namespace mirabo {

struct FolderEntry {
  std::wstring name;
  bool folder = false;
  bool hidden = false;
  bool system = false;
};

class IFolderSearch {
 public:
  virtual ~IFolderSearch() = default;
  // The entries a search of pattern (a folder followed by a mask) finds.
  virtual std::vector<FolderEntry> Find(const std::wstring& pattern) = 0;
  virtual bool IsFolder(const std::wstring& path) = 0;
};

// The user's order of two names without case: negative, 0 or positive.
using NameCompare = std::function<int(const std::wstring&, const std::wstring&)>;

inline constexpr int kFirstLaunchTag = 1000;

struct LaunchItem {
  std::wstring caption;
  int tag = 0;             // file items: 1000 + their place in the path list; folders 0
  bool folder = false;
  std::wstring fileName;   // file items: the name, for the icon of its type
  std::vector<LaunchItem> children;
};

struct LaunchList {
  std::vector<LaunchItem> items;
  std::vector<std::wstring> paths;  // full paths of the file items, by tag - 1000
};

// Nothing (and false) when the directory is empty or not a folder. A
// directory without its trailing "\" gets one: the mask is joined to it.
bool BuildLaunchList(const std::wstring& directory, const std::wstring& mask, bool searchDirectory,
                     IFolderSearch& search, const NameCompare& compare, LaunchList& out);

// "My.Tool.lnk" -> "My.Tool": only the last extension goes.
std::wstring WithoutLastExtension(const std::wstring& name);

}  // namespace mirabo
