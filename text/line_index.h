#pragma once
// Where each line of a text starts, for a text of any size: CR LF, LF and CR
// each end a line, a final line break opens no further line, an empty text
// has no lines. Eight bytes per line; the text itself is not copied. A
// UTF-16 text breaks on 16-bit units: a 0x0A byte inside a character is no
// line feed.
#include <cstdint>
#include <string_view>
#include <vector>

namespace mirabo {

class LineIndex {
 public:
  LineIndex() = default;
  explicit LineIndex(std::string_view text);
  // The text as UTF-16 units in the byte order given; offsets stay bytes.
  static LineIndex Utf16(std::string_view text, bool bigEndian);

  size_t Count() const { return starts_.size(); }
  // The line's bytes without its line break.
  std::string_view Line(std::string_view text, size_t index) const;
  // The line holding byte offset (the last line for the end of the text).
  size_t LineOf(uint64_t offset) const;
  uint64_t Start(size_t index) const { return starts_[index]; }
  // The longest line in bytes, its line break included.
  size_t MaxLineBytes() const { return maxLine_; }

 private:
  LineIndex(std::string_view text, size_t expectedLines, bool split);
  std::vector<uint64_t> starts_;
  uint64_t size_ = 0;
  size_t maxLine_ = 0;
  int unit_ = 1;  // bytes of a code unit: 2 for UTF-16
  bool bigEndian_ = false;
};

}  // namespace mirabo
