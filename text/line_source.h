#pragma once
// What the text view shows: a source of numbered lines of bytes in one
// encoding (Shift-JIS unless the source says otherwise), asked only for the
// lines on screen, so a source may stand for a text of any size (a mapped
// file with its line index) or compute its lines on demand (the
// hexadecimal dump of a file).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "text/encoding.h"
#include "text/line_index.h"

namespace mirabo {

class ILineSource {
 public:
  virtual ~ILineSource() = default;
  virtual uint64_t LineCount() const = 0;
  // The line's bytes without its line break.
  virtual std::string Line(uint64_t index) const = 0;
  virtual text::Encoding Encoding() const { return text::Encoding::ShiftJis; }
  // The longest line in bytes (for the horizontal scroll range).
  virtual size_t MaxLineBytes() const = 0;
};

// Lines of a text held in memory or mapped: bytes owns the storage (it may
// be empty when the caller keeps the text alive as long as the source).
// A mapped file's encoding is found from its head, its mark left out.
class TextLineSource : public ILineSource {
 public:
  explicit TextLineSource(std::string bytes);
  TextLineSource(std::string_view mapped, std::shared_ptr<const void> keepAlive);
  text::Encoding Encoding() const override { return encoding_; }
  uint64_t LineCount() const override { return index_.Count(); }
  std::string Line(uint64_t index) const override;
  size_t MaxLineBytes() const override { return maxLine_; }
  std::string_view Text() const { return text_; }

 private:
  void Build();
  std::string owned_;
  std::shared_ptr<const void> keepAlive_;
  std::string_view text_;
  text::Encoding encoding_ = text::Encoding::ShiftJis;
  LineIndex index_;
  size_t maxLine_ = 0;
};

// The dump of a file of size bytes; read fills buffer with the bytes at
// offset and returns how many it got.
class DumpLineSource : public ILineSource {
 public:
  using Reader = std::function<size_t(uint64_t offset, uint8_t* buffer, size_t count)>;
  DumpLineSource(uint64_t size, Reader read) : size_(size), read_(std::move(read)) {}
  uint64_t LineCount() const override;
  std::string Line(uint64_t index) const override;
  size_t MaxLineBytes() const override;

 private:
  uint64_t size_;
  Reader read_;
};

}  // namespace mirabo
