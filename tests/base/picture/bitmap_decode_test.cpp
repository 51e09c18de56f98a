#include "base/picture/bitmap_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <png.h>

#include "tests/base/picture/bitmap_fixtures.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo::bitmap {
namespace {

using namespace mirabo::testing::bmp;

constexpr Background kBack{0xD4, 0xD0, 0xC8};
uint32_t OverBack(uint32_t c, unsigned a) {
  const auto mix = [a](unsigned v, unsigned under) { return (v * a + under * (255 - a) + 127) / 255; };
  return Rgb(mix(c >> 16 & 255, kBack.red), mix(c >> 8 & 255, kBack.green), mix(c & 255, kBack.blue));
}

// A PNG of width x height whose pixel (x, y) is argb(x, y) (0xAARRGGBB),
// written by libpng.
std::vector<uint8_t> Png(int width, int height, const std::function<uint32_t(int x, int y)>& argb) {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t c = argb(x, y);
      rgba.insert(rgba.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
                               static_cast<uint8_t>(c >> 24)});
    }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

struct Decoded {
  bool ok = false;
  std::string problem;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, top row first
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Decoded Decode(const std::vector<uint8_t>& file) {
  Decoded d;
  const LayoutResult layout = CheckBitmapFile(file);
  if (!layout.ok) {
    d.problem = layout.problem;
    return d;
  }
  d.width = layout.layout.width, d.height = layout.layout.height;
  std::vector<uint8_t> bits(static_cast<size_t>(d.width) * d.height * 4, 0xFF);
  const DecodeResult r = DecodeBitmap(file, layout.layout, kBack, [&] { return Target{bits.data(), static_cast<size_t>(d.width) * 4}; });
  d.ok = r.ok, d.problem = r.problem;
  for (size_t i = 0; i < bits.size(); i += 4) d.pixels.push_back(Rgb(bits[i + 2], bits[i + 1], bits[i]));
  return d;
}

struct Row {
  const char* what;
  Bitmap made;
  std::function<uint32_t(int x, int y)> expected;
  int tolerance = 0;
};

TEST(BitmapDecode, EveryFormWritersUseShowsItsPixels) {
  const auto paletteColour = [](int bits) { return [bits](int x, int y) { return Palette(1 << bits)[Index(x, y, bits)]; }; };
  std::vector<Row> rows = {
      {"1-bit", Paletted(40, 1), paletteColour(1)},
      {"2-bit (Windows CE)", Paletted(40, 2), paletteColour(2)},
      {"4-bit", Paletted(40, 4), paletteColour(4)},
      {"8-bit", Paletted(40, 8), paletteColour(8)},
      {"8-bit, 12-byte header (3-byte entries)", Paletted(12, 8), paletteColour(8)},
      {"1-bit, OS/2 2.x 16-byte header", Paletted(16, 1), paletteColour(1)},
      {"8-bit, OS/2 2.x 16-byte header", Paletted(16, 8), paletteColour(8)},
      {"8-bit, OS/2 2.x 64-byte header", Paletted(64, 8), paletteColour(8)},
  };
  {
    Bitmap b = Paletted(40, 8);
    b.palette.resize(3);  // a short table: indices beyond it are black
    b.pixels = IndexRows(b);
    rows.push_back({"8-bit, three colours", b, [](int x, int y) { return Index(x, y, 8) < 3 ? Palette(3)[Index(x, y, 8)] : 0u; }});
  }
  {
    Bitmap b;
    b.pixels = ColourRows(b, [](int x, int y) { return Colour(x, y); });
    rows.push_back({"24-bit", b, Colour});
    b.topDown = true;
    b.pixels = ColourRows(b, [](int x, int y) { return Colour(x, y); });
    rows.push_back({"24-bit top-down", b, Colour});
  }
  const auto five = [](uint32_t c, int shift) { return (c >> shift & 255) >> 3; };
  const auto fiveBack = [](unsigned v) { return v * 255 / 31; };
  {
    Bitmap b;
    b.bits = 16;
    b.pixels = ColourRows(b, [&](int x, int y) {
      const uint32_t c = Colour(x, y);
      return five(c, 16) << 10 | five(c, 8) << 5 | five(c, 0);
    });
    rows.push_back({"16-bit 5-5-5", b, [&](int x, int y) {
                      const uint32_t c = Colour(x, y);
                      return Rgb(fiveBack(five(c, 16)), fiveBack(five(c, 8)), fiveBack(five(c, 0)));
                    }});
    b.compression = kBitFields;
    b.masks = {0xF800, 0x07E0, 0x001F};
    b.pixels = ColourRows(b, [&](int x, int y) {
      const uint32_t c = Colour(x, y);
      return five(c, 16) << 11 | (c >> 8 & 255) >> 2 << 5 | five(c, 0);
    });
    rows.push_back({"16-bit 5-6-5 bit fields", b, [&](int x, int y) {
                      const uint32_t c = Colour(x, y);
                      return Rgb(fiveBack(five(c, 16)), ((c >> 8 & 255) >> 2) * 255 / 63, fiveBack(five(c, 0)));
                    }});
  }
  const auto alpha = [](int x, int y) { return static_cast<unsigned>((x * 40 + y * 7) % 256); };
  {
    Bitmap b;
    b.bits = 32;
    b.pixels = ColourRows(b, [](int x, int y) { return Colour(x, y); });
    rows.push_back({"32-bit, fourth byte zero: opaque", b, Colour});
    b.pixels = ColourRows(b, [&](int x, int y) { return Colour(x, y) | alpha(x, y) << 24; });
    rows.push_back({"32-bit with alpha", b, [&](int x, int y) { return OverBack(Colour(x, y), alpha(x, y)); }});
    b.compression = kAlphaBitFields;
    b.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
    b.pixels = ColourRows(b, [&](int x, int y) {
      const uint32_t c = Colour(x, y);
      return (c >> 16 & 255) << 8 | (c >> 8 & 255) << 16 | (c & 255) << 24 | alpha(x, y);
    });
    rows.push_back({"32-bit alpha bit fields", b, [&](int x, int y) { return OverBack(Colour(x, y), alpha(x, y)); }});
    b.headerSize = 124;
    b.compression = kBitFields;
    rows.push_back({"32-bit, V5 header's masks with alpha", b, [&](int x, int y) { return OverBack(Colour(x, y), alpha(x, y)); }});
  }
  {
    // RLE8: a run, an absolute run, a move, end of line, end of picture;
    // what the file skips keeps the target's colour.
    Bitmap b = Paletted(40, 8);
    b.compression = kRle8;
    b.pixels = {3, 1, 0, 3, 4, 5, 6, 0, 0, 0,  // row 0 (bottom): 1 1 1 4 5 6, end of line
                0, 2, 2, 1,                      // two right, one up: row 2 from x = 2
                2, 7, 0, 0,                      // 7 7, end of line
                1, 9, 0, 1};                     // row 3: 9, end of picture
    const auto expected = [](int x, int y) -> uint32_t {
      const int row = 4 - y;
      const auto p = Palette(256);
      if (row == 0 && x < 6) return p[x < 3 ? 1 : x + 1];
      if (row == 2 && (x == 2 || x == 3)) return p[7];
      if (row == 3 && x == 0) return p[9];
      return 0xFFFFFF;
    };
    rows.push_back({"RLE8", b, expected});
    Bitmap c = Paletted(40, 4);
    c.compression = kRle4;
    c.pixels = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};  // 1 2 1 2 1, then 3 4 5
    rows.push_back({"RLE4", c, [](int x, int y) -> uint32_t {
                      const auto p = Palette(16);
                      const int seq[] = {1, 2, 1, 2, 1, 3, 4};
                      return y == 4 && x < 7 ? p[seq[x]] : 0xFFFFFF;
                    }});
  }
  {
    Bitmap b;
    b.compression = kJpeg;
    b.width = 16, b.height = 8;
    b.pixels = testing::MakeRgbJpeg(16, 8, 100, [](int y, uint8_t* rgb) {
      for (int x = 0; x < 16; ++x) rgb[3 * x] = static_cast<uint8_t>(100 + x * 4), rgb[3 * x + 1] = static_cast<uint8_t>(60 + y * 6), rgb[3 * x + 2] = 90;
    });
    rows.push_back({"JPEG pixels", b, [](int x, int y) { return Rgb(100 + x * 4, 60 + y * 6, 90); }, 6});
  }
  {
    // PNG pixels, their alpha over the background.
    Bitmap b;
    b.compression = kPng;
    b.bits = 0;  // as writers of PNG pixels put it
    b.width = 9, b.height = 6;
    b.pixels = Png(9, 6, [&](int x, int y) { return Colour(x, y) | alpha(x, y) << 24; });
    rows.push_back({"PNG pixels with alpha", b, [&](int x, int y) { return OverBack(Colour(x, y), alpha(x, y)); }});
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Decoded d = Decode(Write(row.made));
    if (row.made.compression == kPng && d.ok) {
      // The same as a packed DIB, as the clipboard holds it: no colour
      // table before the pixels for a depth of 0.
      const std::vector<uint8_t> file = Write(row.made);
      d = Decode(std::vector<uint8_t>(file.begin() + 14, file.end()));
    }
    ASSERT_TRUE(d.ok) << d.problem;
    ASSERT_EQ(d.width, row.made.width);
    ASSERT_EQ(d.height, row.made.height);
    int wrong = 0;
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) {
        const uint32_t got = d.At(x, y), want = row.expected(x, y);
        bool close = true;
        for (int shift : {0, 8, 16}) close &= std::abs(int(got >> shift & 255) - int(want >> shift & 255)) <= row.tolerance;
        if (!close && wrong++ < 3) ADD_FAILURE() << "(" << x << ", " << y << "): got " << std::hex << got << ", expected " << want;
      }
  }
}

TEST(BitmapDecode, WhatCannotBeDrawnIsRefused) {
  Bitmap png;
  png.compression = kPng;
  png.pixels = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  EXPECT_EQ(Decode(Write(png)).problem, "PNG pixels") << "a PNG cut after its signature";
  png.pixels = Png(8, 8, [](int, int) { return 0xFF000000u; });
  EXPECT_EQ(Decode(Write(png)).problem, "PNG size") << "the header says 7 x 5";
  Bitmap jpeg;
  jpeg.compression = kJpeg;
  jpeg.pixels = testing::MakeRgbJpeg(8, 8, 90, [](int, uint8_t* rgb) { std::fill(rgb, rgb + 24, uint8_t{7}); });
  const Decoded wrongSize = Decode(Write(jpeg));  // the header says 7 x 5
  EXPECT_FALSE(wrongSize.ok);
  EXPECT_EQ(wrongSize.problem, "JPEG size");
  Bitmap topDownRle = Paletted(40, 8);
  topDownRle.compression = kRle8;
  topDownRle.topDown = true;
  EXPECT_EQ(Decode(Write(topDownRle)).problem, "compressed rows stored top-down");
  Bitmap huffman = Paletted(64, 1);
  huffman.compression = 3;  // OS/2's Huffman 1-D
  EXPECT_EQ(Decode(Write(huffman)).problem, "compression");
}

}  // namespace
}  // namespace mirabo::bitmap
