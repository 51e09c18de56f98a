// Unicode text over any bytes: the encoding a head is found to be, the
// lines a text of it breaks into, each line's characters stepped both ways
// and decoded; steps land inside the line and move, decoding never makes
// more units than there are bytes.
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/encoding.h"
#include "text/line_index.h"

namespace {

using mirabo::LineIndex;
using namespace mirabo::text;

void CheckLines(std::string_view text, Encoding encoding) {
  const LineIndex index = IsUtf16(encoding) ? LineIndex::Utf16(text, encoding == Encoding::Utf16Be) : LineIndex(text);
  if ((index.Count() == 0) != text.empty()) abort();
  for (size_t i = 0; i < index.Count() && i < 256; ++i) {
    const std::string_view line = index.Line(text, i);
    if (line.data() < text.data() || line.data() + line.size() > text.data() + text.size()) abort();
    if (IsUtf16(encoding) && index.Start(i) % 2 != 0) abort();
    size_t steps = 0;
    for (size_t at = 0; at < line.size(); ++steps) {
      const size_t next = NextCharacter(line, at, encoding);
      if (next <= at || next > line.size()) abort();
      // Stepping back walks from the line's start: checked near it only.
      if (steps < 32 && PreviousCharacter(line, next, encoding) != at) abort();
      at = next;
    }
    std::u16string shown;
    AppendUtf16(line, encoding, shown);
    if (encoding != Encoding::ShiftJis && shown.size() > line.size()) abort();
    for (size_t k = 0, n = 0; k < shown.size(); k += n) {
      const char32_t c = CodePointAt(shown, k, n);
      if (n == 0 || k + n > shown.size() || CellWidth(c) < 1 || CellWidth(c) > 2) abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const bool complete : {true, false}) {
    const Detection found = DetectEncoding(bytes, complete);
    if (found.markBytes > size) abort();
    if (found.markBytes && !IsUtf16(found.encoding) && found.encoding != Encoding::Utf8) abort();
  }
  // Every reading, whatever the head says: a damaged file is shown too.
  for (const Encoding e : {Encoding::ShiftJis, Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be}) CheckLines(bytes, e);
  return 0;
}
