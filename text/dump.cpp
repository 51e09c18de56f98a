#include "text/dump.h"

namespace mirabo {

DumpSpan DumpLineSpan(uint64_t fileSize, uint64_t index) {
  const uint64_t offset = index * 16;
  const uint64_t full = fileSize / 16;
  return {offset, index < full ? 16 : static_cast<size_t>(fileSize % 16)};
}

std::string DumpLine(uint64_t offset, std::span<const uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(kDumpLineLength + 8);
  int digits = 8;
  while (digits < 16 && (offset >> (digits * 4)) != 0) ++digits;
  for (int i = digits - 1; i >= 0; --i) line += kHex[(offset >> (i * 4)) & 0xF];
  line += "  ";
  for (size_t i = 0; i < 16; ++i) {
    if (i < bytes.size()) {
      line += kHex[bytes[i] >> 4];
      line += kHex[bytes[i] & 0xF];
      line += ' ';
    } else {
      line += "   ";
    }
  }
  line += "  ";
  for (const uint8_t b : bytes) line += b < 0x20 ? '.' : static_cast<char>(b);
  return line;
}

}  // namespace mirabo
