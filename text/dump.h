#pragma once
// The hexadecimal dump as lines computed from file offsets on demand: line i
// shows the 16 bytes from offset 16 i, and one last line (always present,
// possibly with no bytes) ends the dump. Every line is exactly the one the
// 128-byte block algorithm would have produced; only when it is made differs.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace mirabo {

inline constexpr std::string_view kDumpHeader =
    "ADDRESS    0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F   0123456789ABCDEF";
inline constexpr size_t kDumpLineLength = 76;

// Lines of the dump of a file of fileSize bytes: the full lines and the last.
inline uint64_t DumpLineCount(uint64_t fileSize) { return fileSize / 16 + 1; }

// Offset and byte count of dump line index.
struct DumpSpan {
  uint64_t offset;
  size_t count;
};
DumpSpan DumpLineSpan(uint64_t fileSize, uint64_t index);

// One line: the offset ("%.8X"; offsets past 4 GB take the digits they
// need), two spaces, a 3-character cell per byte, 3 spaces per missing cell,
// two spaces, one character per byte (bytes below 0x20 as ".").
std::string DumpLine(uint64_t offset, std::span<const uint8_t> bytes);

}  // namespace mirabo
