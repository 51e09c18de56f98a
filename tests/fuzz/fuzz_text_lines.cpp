// The text view's line index and the dump view's lines over any bytes:
// lines cover the text in order, every offset maps to its line, and dump
// lines are well formed.
#include <cstdlib>
#include <span>
#include <string_view>

#include "text/dump.h"
#include "text/line_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const mirabo::LineIndex index(text);
  if ((index.Count() == 0) != (size == 0)) abort();  // an empty text has no lines
  uint64_t previous = 0;
  for (size_t i = 0; i < index.Count(); ++i) {
    const uint64_t start = index.Start(i);
    if (start < previous || start > size) abort();
    const std::string_view line = index.Line(text, i);
    if (line.size() > index.MaxLineBytes()) abort();
    if (index.LineOf(start) != i && !(i > 0 && index.Start(i - 1) == start)) abort();
    previous = start;
  }
  const uint64_t lines = mirabo::DumpLineCount(size);
  for (uint64_t i = 0; i < lines && i < 64; ++i) {
    const mirabo::DumpSpan span = mirabo::DumpLineSpan(size, i);
    if (span.offset + span.count > size) abort();
    const std::string line = mirabo::DumpLine(span.offset, std::span<const uint8_t>(data + span.offset, span.count));
    if (line.find('\0') != std::string::npos) abort();
  }
  return 0;
}
