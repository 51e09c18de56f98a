#pragma once
// Bitmap files and packed DIBs decoded by our own reader, after the checks,
// so that every form draws the same on every system: palettes of 1, 2, 4
// and 8 bits (3-byte entries of the old 12-byte header, OS/2 2.x's headers),
// 16 and 32 bits with or without masks, 24 bits, RLE4 and RLE8, JPEG and
// PNG pixels; alpha (32 bits, PNG) laid over a background colour.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/picture/bitmap_check.h"

namespace mirabo::bitmap {

// Where the decoder writes: top-down rows of blue, green, red and a zero
// byte, already filled with the colour that shows where the file draws
// nothing (skipped RLE pixels, rows a short file lacks).
struct Target {
  uint8_t* bits = nullptr;
  size_t stride = 0;
};

struct Background {
  uint8_t red = 255, green = 255, blue = 255;
};

struct DecodeResult {
  bool ok = false;
  std::string problem;  // for tests and the log; empty when ok
};

// layout: what CheckBitmapFile found in data. allocate: the target for the
// layout's size (called once, after the header is understood; an empty
// target stops the decode).
DecodeResult DecodeBitmap(std::span<const uint8_t> data, const Layout& layout, Background background,
                          const std::function<Target()>& allocate);

}  // namespace mirabo::bitmap
