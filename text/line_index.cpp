#include "text/line_index.h"

#include <algorithm>
#include <cstring>

namespace mirabo {

LineIndex::LineIndex(std::string_view text) : size_(text.size()) {
  if (text.empty()) return;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  starts_.reserve(text.size() / 128 + 16);
  starts_.push_back(0);
  const char* p = begin;
  const char* lf = nullptr;
  bool lfKnown = false;
  while (p < end) {
    // memchr for the likelier LF finds breaks at memory speed; a CR before
    // it (or alone) is looked for in the stretch it skipped. The LF found is
    // kept until it is passed, so CR-only text does not rescan the rest.
    if (!lfKnown || (lf && lf < p)) {
      lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      lfKnown = true;
    }
    const char* stop = lf ? lf : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
    const char* brk = cr ? cr : lf;
    if (!brk) break;
    const char* next = brk + 1;
    if (*brk == '\r' && next < end && *next == '\n') ++next;
    const uint64_t at = static_cast<uint64_t>(next - begin);
    maxLine_ = std::max<size_t>(maxLine_, static_cast<size_t>(at - starts_.back()));
    if (next < end) starts_.push_back(at);
    p = next;
  }
  maxLine_ = std::max<size_t>(maxLine_, static_cast<size_t>(size_ - starts_.back()));
}

std::string_view LineIndex::Line(std::string_view text, size_t index) const {
  const uint64_t start = starts_[index];
  uint64_t end = index + 1 < starts_.size() ? starts_[index + 1] : size_;
  // Drop the line's break: LF, CR or CR LF.
  if (end > start && text[end - 1] == '\n') --end;
  if (end > start && text[end - 1] == '\r') --end;
  return text.substr(start, end - start);
}

size_t LineIndex::LineOf(uint64_t offset) const {
  if (starts_.empty()) return 0;
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<size_t>(it - starts_.begin()) - 1;
}

}  // namespace mirabo
