#pragma once
// The folder list: the plain files of one folder that match the current
// mode's mask, in the order a sorted list box shows them. It is the only
// record of the folder's contents; stepping reads it and never the disk.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mirabo {

class FolderList {
 public:
  // The sort key of a name in the order of the system's sorted list; keys
  // compare as byte strings. The Windows side gives the locale's
  // case-insensitive sort key, computed once per name rather than once per
  // comparison.
  using SortKey = std::function<std::string(const std::wstring&)>;

  // Keeps the names that match mask, sorted by their keys (names with equal
  // keys keep their order).
  void Assign(std::vector<std::wstring> names, std::wstring_view mask, const SortKey& key);

  const std::vector<std::wstring>& Items() const { return items_; }
  // An entry renamed in place: the list is not sorted again, so the file
  // keeps its place in the sequence being worked through.
  void Replace(int index, std::wstring name) { items_.at(static_cast<size_t>(index)) = std::move(name); }
  void RemoveAt(int index) { items_.erase(items_.begin() + index); }
  int Count() const { return static_cast<int>(items_.size()); }

  // Position of the first entry equal to name when both are lower-cased
  // (ASCII letters); Count() when there is none.
  int IndexOf(std::wstring_view name) const;

 private:
  std::vector<std::wstring> items_;
};

// The counter's text: position from 1, a slash, the number of entries.
std::wstring CounterText(int index, int count);

// Where each move goes from index in a list of count entries; -1 for a move
// that does nothing (no wrap at either end).
int BackIndex(int index, int count);
int ForwardIndex(int index, int count);
int HomeIndex(int index, int count);
int EndIndex(int index, int count);

// A jump menu caption: "3.IMG_0003.jpg".
std::wstring JumpCaption(int index, std::wstring_view name);

}  // namespace mirabo
