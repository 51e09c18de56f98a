#include "app/folder_list.h"

#include <algorithm>

#include "app/classify.h"

namespace mirabo {

void FolderList::Assign(std::vector<std::wstring> names, std::wstring_view mask, const SortKey& key) {
  std::erase_if(names, [&](const std::wstring& n) { return !MatchesMask(n, mask); });
  std::vector<std::pair<std::string, size_t>> order;
  order.reserve(names.size());
  for (size_t i = 0; i < names.size(); ++i) order.emplace_back(key(names[i]), i);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  items_.clear();
  items_.reserve(names.size());
  for (const auto& [k, i] : order) items_.push_back(std::move(names[i]));
}

int FolderList::IndexOf(std::wstring_view name) const {
  const std::wstring wanted = LowerAscii(name);
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].size() == wanted.size() && LowerAscii(items_[i]) == wanted)
      return static_cast<int>(i);
  return Count();
}

std::wstring CounterText(int index, int count) {
  return std::to_wstring(index + 1) + L"/" + std::to_wstring(count);
}

int BackIndex(int index, int count) { return (count == 0 || index == 0) ? -1 : index - 1; }

int ForwardIndex(int index, int count) { return (count == 0 || index + 1 >= count) ? -1 : index + 1; }

int HomeIndex(int index, int count) { return (count == 0 || index == 0) ? -1 : 0; }

int EndIndex(int index, int count) { return (count == 0 || index + 1 == count) ? -1 : count - 1; }

std::wstring JumpCaption(int index, std::wstring_view name) {
  return std::to_wstring(index + 1) + L"." + std::wstring(name);
}

}  // namespace mirabo
