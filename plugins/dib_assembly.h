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

// The forms today's plug-ins return for photographs: 24 or 32 bits without
// compression or masks, either row order. Those are drawn straight from
// the plug-in's rows into a 24-bit picture, one pass instead of assembling
// a file and decoding it.
struct PlainPicture {
  int width = 0, height = 0;
  int bitCount = 24;
  bool topDown = false;
  size_t stride = 0;  // of the plug-in's rows
};

// Nothing when the blocks hold another form, do not hold what the header
// says, or the picture is over the viewer's limits: those go through
// AssembleBitmap.
std::optional<PlainPicture> PlainPictureOf(std::span<const uint8_t> info, std::span<const uint8_t> pixels);

// Top-down 24-bit rows (targetStride apart) of the picture, as
// AssembleBitmap, CompositeOverBackground and a bitmap decode would show
// it: 32-bit alpha all 0 or all 255 is opaque, any other alpha is drawn
// over the colour given.
void DrawPlainPicture(const PlainPicture& picture, std::span<const uint8_t> pixels, uint8_t red, uint8_t green,
                      uint8_t blue, uint8_t* target, size_t targetStride);

}  // namespace mirabo
