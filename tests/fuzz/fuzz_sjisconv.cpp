// Japanese detection and conversion: any bytes give some Shift-JIS line,
// never longer than the conversion can make it, and never a 0x00.
#include <cstdlib>
#include <string_view>

#include "text/sjisconv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const mirabo::CodeKind kind = mirabo::TAutoSjisConv::Detect(line);
  if (kind != mirabo::CodeKind::Jis && kind != mirabo::CodeKind::Euc && kind != mirabo::CodeKind::Sjis) abort();
  const std::string out = mirabo::TAutoSjisConv().ConvertToSjis(line);
  if (out.find('\0') != std::string::npos) abort();
  std::string appended = "x";
  mirabo::TAutoSjisConv().AppendSjis(line, appended);
  if (appended.substr(1) != out) abort();
  return 0;
}
