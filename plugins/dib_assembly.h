#pragma once
// A plug-in's decoded picture (a bitmap information block and pixel rows,
// as two memory blocks of known size) turned into a Windows bitmap file in
// memory, checked against the blocks' sizes so that a plug-in's mistakes
// cannot make the viewer read past them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mirabo {

struct AssembledBitmap {
  std::vector<uint8_t> file;  // "BM" file header, information block, pixel rows
  int bitCount = 0;
  uint32_t colours = 0;       // colour-table entries
  bool paletteFromTable = false;  // 4-bit pictures get a palette of their colours
  size_t pixelOffset = 0, pixelBytes = 0;  // where the rows are in file
  bool plainRgb32 = false;                 // 32 bits, no masks: the fourth byte is alpha
};

// info: the information block (header of 40 bytes or more, then masks and
// colour table); pixels: the rows. Nothing when the blocks are too small
// for what the header says, or the sizes overflow. A 32-bit picture whose
// alpha bytes are all zero comes back opaque.
std::optional<AssembledBitmap> AssembleBitmap(std::span<const uint8_t> info, std::span<const uint8_t> pixels);

// A 32-bit picture with real transparency (alpha neither all 0 nor all
// 255) drawn over the colour given, each pixel by its alpha (the colours
// are taken as not premultiplied), and left opaque. False when there was
// nothing to do.
bool CompositeOverBackground(AssembledBitmap& bitmap, uint8_t red, uint8_t green, uint8_t blue);

}  // namespace mirabo
