#include "base/picture/bitmap_check.h"

#include <gtest/gtest.h>

#include <string>

namespace mirabo::bitmap {
namespace {

void Put(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A bitmap file of width x height at bits, with pixelBytes of pixels.
std::string Bmp(int32_t width, int32_t height, int bits, size_t pixelBytes, uint32_t compression = 0) {
  const uint32_t colours = bits <= 8 ? 4u << bits : 0;
  std::string s = "BM";
  Put(s, 0, 4);
  Put(s, 0, 4);
  Put(s, 54 + colours, 4);
  Put(s, 40, 4);
  Put(s, static_cast<uint32_t>(width), 4);
  Put(s, static_cast<uint32_t>(height), 4);
  Put(s, 1, 2);
  Put(s, static_cast<uint32_t>(bits), 2);
  Put(s, compression, 4);
  Put(s, 100, 4);  // the compressed size the header claims
  s.append(16, '\0');
  s.append(colours, '\x40');
  s.append(pixelBytes, '\x7F');
  return s;
}

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

TEST(BitmapCheck, ShortFilesShowWhatTheyHoldAndLyingOnesAreRefused) {
  const LayoutResult whole = CheckBitmapFile(Span(Bmp(10, 4, 24, 4 * 32)));
  ASSERT_TRUE(whole.ok) << whole.problem;
  EXPECT_EQ(whole.layout.bitsNeeded, 4u * 32);
  EXPECT_EQ(whole.layout.bitsAvailable, 4u * 32);

  const LayoutResult cut = CheckBitmapFile(Span(Bmp(10, 4, 24, 40)));
  ASSERT_TRUE(cut.ok) << cut.problem;
  EXPECT_EQ(cut.layout.bitsAvailable, 40u);  // the rest is drawn blank, never read
  EXPECT_EQ(cut.layout.bitsNeeded, 4u * 32);

  const LayoutResult rle = CheckBitmapFile(Span(Bmp(10, 4, 8, 30, 1)));
  ASSERT_TRUE(rle.ok) << rle.problem;
  EXPECT_EQ(rle.layout.bitsNeeded, 30u);  // the header's 100 bytes cut to the file's 30

  struct Row {
    const char* what;
    std::string file;
  };
  const Row refused[] = {
      {"30000 x 30000 pixels", Bmp(30000, 30000, 24, 16)},
      {"no width", Bmp(0, 4, 24, 16)},
      {"a 7-bit depth", Bmp(4, 4, 7, 64)},
      {"pixels before the header's end", [] {
         std::string s = Bmp(4, 4, 24, 64);
         s[10] = 20;
         return s;
       }()},
      {"header cut short", Bmp(4, 4, 24, 0).substr(0, 30)},
  };
  for (const Row& r : refused) {
    SCOPED_TRACE(r.what);
    EXPECT_FALSE(CheckBitmapFile(Span(r.file)).ok);
  }
}

TEST(BitmapCheck, IconImagesMustLieInsideTheFileWithTheirMasks) {
  const auto icon = [](uint32_t declaredSize, size_t imageBytes, uint32_t offset = 22) {
    std::string s;
    Put(s, 0, 2);
    Put(s, 1, 2);
    Put(s, 1, 2);
    s += std::string("\x10\x10\x00\x00", 4);
    Put(s, 1, 2);
    Put(s, 4, 2);
    Put(s, declaredSize, 4);
    Put(s, offset, 4);
    std::string image;
    Put(image, 40, 4);
    Put(image, 16, 4);
    Put(image, 32, 4);
    Put(image, 1, 2);
    Put(image, 4, 2);
    image.append(24, '\0');
    image.resize(imageBytes, '\x11');
    return s + image;
  };
  const size_t full = 40 + 16 * 4 + 8 * 16 + 4 * 16;  // header, colours, 4-bit rows, mask rows
  EXPECT_TRUE(CheckIconFile(Span(icon(static_cast<uint32_t>(full), full))).ok);
  EXPECT_FALSE(CheckIconFile(Span(icon(static_cast<uint32_t>(full), full - 10))).ok);       // beyond the file
  EXPECT_FALSE(CheckIconFile(Span(icon(static_cast<uint32_t>(full - 20), full))).ok);      // mask beyond the entry
  EXPECT_FALSE(CheckIconFile(Span(icon(static_cast<uint32_t>(full), full, 0xFFFFFFF0))).ok);  // offset overflow
}

}  // namespace
}  // namespace mirabo::bitmap
