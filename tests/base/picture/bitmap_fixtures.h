#pragma once
// Bitmap files written field by field, so the tests can make every header
// form, depth, compression, mask set and colour table writers use.
#include <cstdint>
#include <functional>
#include <vector>

namespace mirabo::testing::bmp {

struct Bitmap {
  uint32_t headerSize = 40;  // 12, OS/2's 16 to 64, 40, 52, 56, 108, 124
  int width = 7, height = 5;
  bool topDown = false;
  int bits = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB
  std::vector<uint32_t> masks;    // after a 40-byte header, or inside a longer one
  std::vector<uint8_t> pixels;    // as stored
};
std::vector<uint8_t> Write(const Bitmap& b);

uint32_t Rgb(unsigned r, unsigned g, unsigned b);
// A colour for every pixel, different across and down.
uint32_t Colour(int x, int y);
// A table of entries colours, and the index each pixel takes.
std::vector<uint32_t> Palette(int entries);
int Index(int x, int y, int bits);

// Rows of palette indices or of direct colours (pack gives a pixel's
// stored number), bottom row first unless top-down, padded to four bytes.
std::vector<uint8_t> IndexRows(const Bitmap& b);
std::vector<uint8_t> ColourRows(const Bitmap& b, const std::function<uint32_t(int x, int y)>& pack);
// A palette picture of that header and depth, every index used.
Bitmap Paletted(uint32_t headerSize, int bits);

}  // namespace mirabo::testing::bmp
