#include "components/launch_popup.h"

#include <shellapi.h>

#include "base/win/paths.h"
#include "base/win/unique_handle.h"

namespace mirabo {
namespace {

// The system's folder search: every entry of the pattern, with its
// attributes; wide names, so folders outside the ANSI code page list.
class SystemFolderSearch : public IFolderSearch {
 public:
  std::vector<FolderEntry> Find(const std::wstring& pattern) override {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW fd;
    const HANDLE find = ::FindFirstFileW(win::ExtendedPath(pattern).c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
      entries.push_back({fd.cFileName, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                         (fd.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0});
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return entries;
  }
  bool IsFolder(const std::wstring& path) override {
    const DWORD attributes = ::GetFileAttributesW(win::ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
};

int UserOrder(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) - CSTR_EQUAL;
}

// The shell's icon for files of this name's type, without opening the file,
// at the image list's size: the best fitting image of the icon when it has
// one, else the large icon scaled.
void AddTypeIcon(HIMAGELIST images, const std::wstring& name) {
  SHFILEINFOW info{};
  if (!::SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_ICON | SHGFI_USEFILEATTRIBUTES) ||
      !info.hIcon) {
    ImageList_AddIcon(images, ::LoadIconW(nullptr, IDI_APPLICATION));
    return;
  }
  int cx = 16, cy = 16;
  ImageList_GetIconSize(images, &cx, &cy);
  win::UniqueIcon shell(info.hIcon);
  win::UniqueIcon sized(static_cast<HICON>(::CopyImage(shell.Get(), IMAGE_ICON, cx, cy, LR_COPYFROMRESOURCE)));
  ImageList_AddIcon(images, sized ? sized.Get() : shell.Get());
}

}  // namespace

void TLaunchPopup::AddItems(const std::vector<LaunchItem>& from, std::vector<win::MenuItem>& to) {
  for (const LaunchItem& item : from) {
    win::MenuItem menuItem;
    menuItem.caption = win::LiteralMenuText(item.caption);
    // A folder item is not a command: an empty one does nothing.
    menuItem.id = item.folder ? 1 : item.tag;
    if (!item.folder && Images) {
      AddTypeIcon(Images, item.fileName);
      menuItem.picture = ImageList_GetImageCount(Images) - 1;
    }
    AddItems(item.children, menuItem.children);
    to.push_back(std::move(menuItem));
  }
}

void TLaunchPopup::Rebuild() {
  SystemFolderSearch search;
  LaunchList list;
  if (!BuildLaunchList(Directory, Mask, SearchDirectory, search, &UserOrder, list)) return;
  paths_ = std::move(list.paths);
  AddItems(list.items, menu_.items);
}

void TLaunchPopup::Popup(POINT screen) {
  const int chosen = menu_.Track(owner_, screen, Images);
  if (chosen >= kFirstLaunchTag) Click(chosen);
}

void TLaunchPopup::Click(int tag) {
  const size_t index = static_cast<size_t>(tag - kFirstLaunchTag);
  if (tag < kFirstLaunchTag || index >= paths_.size()) return;
  const std::wstring& path = paths_[index];
  if (OnItemClick) {
    selectedFile_ = path;
    OnItemClick(*this);
    return;
  }
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
  ::ShellExecuteW(owner_, nullptr, path.c_str(), L"", folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace mirabo
