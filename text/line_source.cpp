#include "text/line_source.h"

#include <algorithm>

#include "text/dump.h"

namespace mirabo {

TextLineSource::TextLineSource(std::string bytes) : owned_(std::move(bytes)), text_(owned_) { Build(); }

TextLineSource::TextLineSource(std::string_view mapped, std::shared_ptr<const void> keepAlive)
    : keepAlive_(std::move(keepAlive)), text_(mapped) {
  const std::string_view head = text_.substr(0, text::kDetectionHead);
  const text::Detection found = text::DetectEncoding(head, head.size() == text_.size());
  encoding_ = found.encoding;
  text_.remove_prefix(found.markBytes);
  Build();
}

void TextLineSource::Build() {
  index_ = text::IsUtf16(encoding_) ? LineIndex::Utf16(text_, encoding_ == text::Encoding::Utf16Be) : LineIndex(text_);
  maxLine_ = index_.MaxLineBytes();
}

std::string TextLineSource::Line(uint64_t index) const {
  if (index >= index_.Count()) return {};
  return std::string(index_.Line(text_, static_cast<size_t>(index)));
}

uint64_t DumpLineSource::LineCount() const { return DumpLineCount(size_); }

size_t DumpLineSource::MaxLineBytes() const { return kDumpLineLength + 8; }

std::string DumpLineSource::Line(uint64_t index) const {
  if (index >= LineCount()) return {};
  const DumpSpan span = DumpLineSpan(size_, index);
  uint8_t bytes[16] = {};
  const size_t got = span.count ? read_(span.offset, bytes, span.count) : 0;
  return DumpLine(span.offset, {bytes, std::min(got, span.count)});
}

}  // namespace mirabo
