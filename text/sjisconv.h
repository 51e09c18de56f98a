#pragma once
// TAutoSjisConv: one line of Japanese text to Shift-JIS. Each line is
// classified on its own as JIS (7-bit, with escape sequences), EUC-JP or
// Shift-JIS; JIS and EUC-JP are converted by arithmetic (no tables) and
// Shift-JIS passes unchanged. Bytes in, bytes out; nothing is reported,
// every input gives some output.
#include <string>
#include <string_view>

namespace mirabo {

enum class CodeKind { Jis = 0, Euc = 1, Sjis = 2 };

class TAutoSjisConv {
 public:
  // line: one line without its line break. The result ends at its first
  // 0x00 byte. The modes start cleared at every call: nothing carries over
  // from one line to the next.
  std::string ConvertToSjis(std::string_view line) const;
  // The same, appended to out: converting a whole text line by line into one
  // buffer allocates nothing per line.
  void AppendSjis(std::string_view line, std::string& out) const;

  // The detection pass alone.
  static CodeKind Detect(std::string_view line);
};

// The JIS X 0208 row and cell bytes (0x21-0x7E) as a Shift-JIS pair.
struct SjisPair {
  unsigned char lead, trail;
};
SjisPair JisToSjis(int row, int cell);

}  // namespace mirabo
