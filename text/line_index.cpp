#include "text/line_index.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace mirabo {

namespace {

// The first CR or LF in [p, end), or end. Eight bytes at a time: the C
// library's memchr is a plain byte loop on some systems (Wine's among them),
// and it finds only one of the two bytes anyway.
const char* FindBreak(const char* p, const char* end) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  constexpr uint64_t kLf = 0x0A * kOnes, kCr = 0x0D * kOnes;
  const auto hasZero = [](uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
  while (end - p >= 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if (hasZero(v ^ kLf) || hasZero(v ^ kCr)) break;
    p += 8;
  }
  for (; p < end; ++p)
    if (*p == '\n' || *p == '\r') return p;
  return end;
}

// Texts larger than this are indexed in two halves at once: a gigabyte of
// text is read at the speed of memory, and two cores read it faster.
constexpr size_t kSplitAbove = 32u << 20;
}  // namespace

LineIndex::LineIndex(std::string_view text) : size_(text.size()) {
  if (text.empty()) return;
  if (text.size() > kSplitAbove) {
    // Split after a line feed, which always ends a line (alone or as CR LF).
    const size_t lf = text.find('\n', text.size() / 2);
    if (lf != std::string_view::npos && lf + 1 < text.size()) {
      const size_t split = lf + 1;
      LineIndex second;
      std::thread worker([&] { second = LineIndex(text.substr(split)); });
      LineIndex first(text.substr(0, split));
      worker.join();
      starts_ = std::move(first.starts_);
      starts_.reserve(starts_.size() + second.starts_.size());
      for (const uint64_t start : second.starts_) starts_.push_back(start + split);
      maxLine_ = std::max(first.maxLine_, second.maxLine_);
      return;
    }
  }
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  starts_.reserve(text.size() / 128 + 16);
  starts_.push_back(0);
  for (const char* p = begin;;) {
    const char* brk = FindBreak(p, end);
    if (brk == end) break;
    const char* next = brk + 1;
    if (*brk == '\r' && next < end && *next == '\n') ++next;
    const uint64_t at = static_cast<uint64_t>(next - begin);
    maxLine_ = std::max<size_t>(maxLine_, static_cast<size_t>(at - starts_.back()));
    if (next >= end) break;
    starts_.push_back(at);
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
