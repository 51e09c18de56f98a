#pragma once
// Bitmap and icon files checked before the system draws them: the system
// reads as many pixel bytes as the header says, so a short or lying file
// would make it read past the file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mirabo::bitmap {

// The depths an uncompressed DIB may have, and the bytes of one of its rows
// (rows are padded to four bytes). Two bits a pixel is Windows CE's.
constexpr bool IsPixelDepth(uint64_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The pixel forms a bitmap's header names.
enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5, kAlphaBitFields = 6 };
constexpr uint64_t RowBytes(uint64_t width, uint64_t bits) { return (width * bits + 31) / 32 * 4; }

// Where the parts of a bitmap file (or a packed DIB) are.
struct Layout {
  size_t infoOffset = 0;  // the information header
  size_t headerSize = 0;  // its own size
  size_t bitsOffset = 0;  // the pixels; the colour table lies between
  int width = 0, height = 0;
  bool topDown = false;     // a negative height: the first row is the top
  bool compressed = false;  // RLE, JPEG or PNG pixels
  int bitCount = 0;
  uint32_t compression = kRgb;
  // The colour table: its entries (3 bytes each in the old 12-byte form,
  // 4 in every other), at most 2^bitCount, all inside the file.
  size_t paletteOffset = 0;
  uint32_t paletteEntries = 0;
  int entryBytes = 4;
  // Red, green, blue and alpha masks for 16 and 32 bits (the defaults when
  // the file gives none); alphaMask 0 for none.
  uint32_t masks[4] = {};
  // The pixel bytes the header asks for, and how many the file holds from
  // bitsOffset; a short file gives what it holds, the rest blank.
  uint64_t bitsNeeded = 0, bitsAvailable = 0;
};

struct LayoutResult {
  bool ok = false;
  Layout layout;
  std::string problem;
};

LayoutResult CheckBitmapFile(std::span<const uint8_t> data);

struct IconResult {
  bool ok = false;
  std::string problem;
};

// An icon (or cursor) file: every image inside the file, every image's
// header, colours and masks inside its entry.
IconResult CheckIconFile(std::span<const uint8_t> data);

}  // namespace mirabo::bitmap
