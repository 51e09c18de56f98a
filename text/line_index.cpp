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

// How many line starts a text will need, from the line breaks of its first
// megabyte: the index's memory is then taken once, not regrown and copied
// (under Wine each fresh page of a growing vector costs a fault).
size_t EstimateLines(std::string_view text) {
  const std::string_view sample = text.substr(0, 1u << 20);
  size_t breaks = 0;
  for (const char* p = sample.data(), *end = p + sample.size(); (p = FindBreak(p, end)) < end; ++p) ++breaks;
  const double perByte = static_cast<double>(breaks + 1) / static_cast<double>(sample.size());
  // A first megabyte of short lines says little of the rest: never more
  // room than lines of 32 bytes would need.
  return std::min(static_cast<size_t>(perByte * static_cast<double>(text.size()) * 1.05), text.size() / 32) + 16;
}

}  // namespace

LineIndex::LineIndex(std::string_view text) : LineIndex(text, text.empty() ? 0 : EstimateLines(text), true) {}

LineIndex::LineIndex(std::string_view text, size_t expectedLines, bool split) : size_(text.size()) {
  if (text.empty()) return;
  // Two halves only: splitting the halves again would copy every line start
  // once more at each level.
  if (split && text.size() > kSplitAbove) {
    // Split after a line feed, which always ends a line (alone or as CR LF).
    const size_t lf = text.find('\n', text.size() / 2);
    if (lf != std::string_view::npos && lf + 1 < text.size()) {
      const size_t middle = lf + 1;
      LineIndex second;
      const size_t secondShare = static_cast<size_t>(static_cast<double>(expectedLines) *
                                                     static_cast<double>(text.size() - middle) /
                                                     static_cast<double>(text.size())) + 16;
      std::thread worker([&] { second = LineIndex(text.substr(middle), secondShare, false); });
      // The first half holds room for both, so joining them copies once.
      LineIndex first(text.substr(0, middle), expectedLines, false);
      worker.join();
      starts_ = std::move(first.starts_);
      starts_.reserve(starts_.size() + second.starts_.size());
      for (const uint64_t start : second.starts_) starts_.push_back(start + middle);
      maxLine_ = std::max(first.maxLine_, second.maxLine_);
      return;
    }
  }
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  starts_.reserve(expectedLines);
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

LineIndex LineIndex::Utf16(std::string_view text, bool bigEndian) {
  LineIndex index;
  index.unit_ = 2;
  index.bigEndian_ = bigEndian;
  index.size_ = text.size();
  if (text.empty()) return index;
  // A break is a unit whose one byte is 0x0A or 0x0D and whose other is 0:
  // the bytes are found fast, then their place and partner are checked.
  const size_t low = bigEndian ? 1 : 0;  // where the unit's low byte lies
  const auto isBreak = [&](size_t unit, char which) {
    return unit + 1 < text.size() && text[unit + low] == which && text[unit + 1 - low] == 0;
  };
  index.starts_.reserve(EstimateLines(text));
  index.starts_.push_back(0);
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* p = begin;;) {
    const char* brk = FindBreak(p, end);
    if (brk == end) break;
    const size_t at = static_cast<size_t>(brk - begin);
    if (at % 2 != low || !isBreak(at - low, *brk)) {
      p = brk + 1;
      continue;
    }
    size_t next = at - low + 2;
    if (*brk == '\r' && isBreak(next, '\n')) next += 2;
    index.maxLine_ = std::max<size_t>(index.maxLine_, static_cast<size_t>(next - index.starts_.back()));
    if (next >= text.size()) break;
    index.starts_.push_back(next);
    p = begin + next;
  }
  index.maxLine_ = std::max<size_t>(index.maxLine_, static_cast<size_t>(index.size_ - index.starts_.back()));
  return index;
}

std::string_view LineIndex::Line(std::string_view text, size_t index) const {
  const uint64_t start = starts_[index];
  uint64_t end = index + 1 < starts_.size() ? starts_[index + 1] : size_;
  // Drop the line's break: LF, CR or CR LF, as bytes or as UTF-16 units.
  const auto endsWith = [&](char which) {
    if (end < start + static_cast<uint64_t>(unit_)) return false;
    if (unit_ == 1) return text[end - 1] == which;
    const size_t unit = static_cast<size_t>(end - 2);
    return (end - start) % 2 == 0 && text[unit + (bigEndian_ ? 1 : 0)] == which && text[unit + (bigEndian_ ? 0 : 1)] == 0;
  };
  if (endsWith('\n')) end -= static_cast<uint64_t>(unit_);
  if (endsWith('\r')) end -= static_cast<uint64_t>(unit_);
  return text.substr(start, end - start);
}

size_t LineIndex::LineOf(uint64_t offset) const {
  if (starts_.empty()) return 0;
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<size_t>(it - starts_.begin()) - 1;
}

}  // namespace mirabo
