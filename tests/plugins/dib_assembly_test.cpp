#include "plugins/dib_assembly.h"

#include "base/picture/bitmap_check.h"
#include "base/picture/bitmap_decode.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mirabo {
namespace {

std::vector<uint8_t> Header(int32_t width, int32_t height, uint16_t bits, uint32_t colours, uint32_t compression = 0,
                            uint32_t size = 40) {
  std::vector<uint8_t> h(size, 0);
  std::memcpy(&h[0], &size, 4);
  std::memcpy(&h[4], &width, 4);
  std::memcpy(&h[8], &height, 4);
  const uint16_t planes = 1;
  std::memcpy(&h[12], &planes, 2);
  std::memcpy(&h[14], &bits, 2);
  std::memcpy(&h[16], &compression, 4);
  std::memcpy(&h[32], &colours, 4);
  return h;
}

uint32_t U32(const std::vector<uint8_t>& v, size_t at) {
  uint32_t x;
  std::memcpy(&x, &v[at], 4);
  return x;
}

TEST(DibAssembly, FileHeaderTableAndRowsForEveryLayout) {
  struct Row {
    const char* what;
    int32_t w, h;
    uint16_t bits;
    uint32_t colours, compression, headerSize;
    size_t tableBytes, imageBytes;
    uint32_t offset;
    bool palette;
  };
  const Row rows[] = {
      {"24-bit, no table", 10, 5, 24, 0, 0, 40, 0, 32 * 5, 54, false},
      {"8-bit, colours 0 means 256", 3, 2, 8, 0, 0, 40, 1024, 4 * 2, 54 + 1024, false},
      {"4-bit with 16 colours gets a palette", 5, 3, 4, 16, 0, 40, 64, 4 * 3, 54 + 64, true},
      {"1-bit", 9, 2, 1, 0, 0, 40, 8, 4 * 2, 54 + 8, false},
      {"top-down keeps its height", 4, -3, 24, 0, 0, 40, 0, 12 * 3, 54, false},
      {"16-bit bit fields keep their masks", 3, 2, 16, 0, 3, 40, 12, 8 * 2, 54 + 12, false},
      {"a V5 header is kept whole", 2, 2, 32, 0, 3, 124, 84, 8 * 2, 14 + 124, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<uint8_t> info = Header(r.w, r.h, r.bits, r.colours, r.compression, r.headerSize);
    info.resize(r.headerSize + r.tableBytes, 0x11);
    const std::vector<uint8_t> pixels(r.imageBytes, 0x22);
    const auto bmp = AssembleBitmap(info, pixels);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->file[0], 'B');
    EXPECT_EQ(bmp->file[1], 'M');
    EXPECT_EQ(U32(bmp->file, 10), r.offset);
    EXPECT_EQ(U32(bmp->file, 2), r.offset + r.imageBytes);
    EXPECT_EQ(bmp->file.size(), r.offset + r.imageBytes);
    EXPECT_EQ(bmp->paletteFromTable, r.palette);
    EXPECT_EQ(bmp->file.back(), 0x22);
  }
}

TEST(DibAssembly, BlocksTooSmallForTheirHeaderAreRefused) {
  struct Row {
    const char* what;
    std::vector<uint8_t> info;
    size_t pixels;
  };
  const Row rows[] = {
      {"header cut short", std::vector<uint8_t>(20, 0), 100},
      {"rows missing", Header(100, 100, 24, 0), 100},
      {"colour table missing", Header(4, 4, 8, 0), 16},
      {"absurd width", Header(0x7FFFFFFF, 0x7FFFFFFF, 32, 0), 16},
      {"zero height", Header(4, 0, 24, 0), 64},
      {"odd bit count", Header(4, 4, 7, 0), 64},
      {"too many colours", Header(4, 4, 8, 100000), 64},
  };
  for (const Row& r : rows) {
    const std::vector<uint8_t> pixels(r.pixels, 0);
    EXPECT_FALSE(AssembleBitmap(r.info, pixels)) << r.what;
  }
}

TEST(DibAssembly, ThirtyTwoBitsWithoutAlphaAreOpaque) {
  const auto info = Header(2, 1, 32, 0);
  const std::vector<uint8_t> none{1, 2, 3, 0, 4, 5, 6, 0};
  const auto opaque = AssembleBitmap(info, none);
  ASSERT_TRUE(opaque);
  EXPECT_EQ(opaque->file[54 + 3], 0xFF);
  EXPECT_EQ(opaque->file[54 + 7], 0xFF);
  const std::vector<uint8_t> some{1, 2, 3, 0, 4, 5, 6, 0x80};
  const auto kept = AssembleBitmap(info, some);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->file[54 + 3], 0x00);
  EXPECT_EQ(kept->file[54 + 7], 0x80);
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

TEST(DibAssembly, RealAlphaIsDrawnOverTheViewsColour) {
  // 2 x 1, 32 bits: a half-transparent red and an opaque blue pixel.
  std::vector<uint8_t> info(40, 0);
  const auto put32 = [&info](size_t at, uint32_t v) { std::memcpy(info.data() + at, &v, 4); };
  put32(0, 40);
  put32(4, 2);
  put32(8, 1);
  info[12] = 1;
  info[14] = 32;
  const std::vector<uint8_t> pixels = {0, 0, 255, 128, 255, 0, 0, 255};
  auto bitmap = AssembleBitmap(info, pixels);
  ASSERT_TRUE(bitmap);
  ASSERT_TRUE(CompositeOverBackground(*bitmap, 240, 240, 240));
  const uint8_t* px = bitmap->file.data() + bitmap->pixelOffset;
  EXPECT_EQ(px[0], (240 * 127 + 127) / 255);            // blue over the background
  EXPECT_EQ(px[2], (255 * 128 + 240 * 127 + 127) / 255);  // red at half
  EXPECT_EQ(px[3], 255);
  EXPECT_EQ(px[4], 255);  // the opaque pixel unchanged
  EXPECT_EQ(px[7], 255);
  // All opaque, or all zero (made opaque): nothing to do.
  auto opaque = AssembleBitmap(info, std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0});
  ASSERT_TRUE(opaque);
  EXPECT_FALSE(CompositeOverBackground(*opaque, 240, 240, 240));
  EXPECT_EQ(opaque->file[opaque->pixelOffset], 1);
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

// The plain path draws what the general one (a file assembled, composited
// and decoded) shows, for every plain form.
TEST(DibAssembly, PlainPicturesDrawAsTheirAssembledFileDecodes) {
  const struct {
    const char* what;
    int32_t w, h;
    uint16_t bits;
    int alpha;  // 32 bits: 0 all zero, 1 all 255, 2 every level
  } cases[] = {
      {"24-bit bottom-up, rows padded", 5, 3, 24, 0},   {"24-bit top-down", 4, -3, 24, 0},
      {"32-bit, alpha all zero", 3, 2, 32, 0},          {"32-bit top-down, alpha all 255", 3, -2, 32, 1},
      {"32-bit, real alpha", 7, 5, 32, 2},              {"32-bit top-down, real alpha", 6, -4, 32, 2},
  };
  const uint8_t back[3] = {0xF0, 0x80, 0x10};  // red, green, blue
  for (const auto& c : cases) {
    const std::vector<uint8_t> info = Header(c.w, c.h, c.bits, 0);
    const int h = c.h < 0 ? -c.h : c.h;
    const size_t stride = (static_cast<size_t>(c.bits) * c.w + 31) / 32 * 4;
    std::vector<uint8_t> pixels(stride * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + 11);
    if (c.bits == 32) {
      for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = c.alpha == 0 ? 0 : c.alpha == 1 ? 255 : static_cast<uint8_t>(i * 13);
    }
    const auto plain = PlainPictureOf(info, pixels);
    ASSERT_TRUE(plain) << c.what;
    const size_t targetStride = (static_cast<size_t>(c.w) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> drawn(targetStride * h, 0xCC);
    DrawPlainPicture(*plain, pixels, back[0], back[1], back[2], drawn.data(), targetStride);

    auto assembled = AssembleBitmap(info, pixels);
    ASSERT_TRUE(assembled) << c.what;
    CompositeOverBackground(*assembled, back[0], back[1], back[2]);
    const auto layout = bitmap::CheckBitmapFile({assembled->file.data(), assembled->file.size()});
    ASSERT_TRUE(layout.ok) << c.what;
    std::vector<uint8_t> decoded(static_cast<size_t>(c.w) * 4 * h);
    ASSERT_TRUE(bitmap::DecodeBitmap({assembled->file.data(), assembled->file.size()}, layout.layout,
                                     {back[0], back[1], back[2]},
                                     [&]() -> bitmap::Target { return {decoded.data(), static_cast<size_t>(c.w) * 4}; })
                    .ok);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ(drawn[y * targetStride + x * 3 + k], decoded[(static_cast<size_t>(y) * c.w + x) * 4 + k])
              << c.what << " at " << x << "," << y << " channel " << k;
        }
      }
    }
  }
}

TEST(DibAssembly, OnlyPlainFormsThatFitTheirBlocksTakeThePlainPath) {
  std::vector<uint8_t> pixels(64 * 4 * 2);
  EXPECT_FALSE(PlainPictureOf(Header(8, 2, 8, 256), pixels)) << "a palette";
  EXPECT_FALSE(PlainPictureOf(Header(8, 2, 32, 0, 3), pixels)) << "masks";
  EXPECT_FALSE(PlainPictureOf(Header(64, 3, 32, 0), pixels)) << "rows the pixel block lacks";
  EXPECT_FALSE(PlainPictureOf(Header(20000, 20000, 24, 0), pixels)) << "over the picture limit";
  EXPECT_FALSE(PlainPictureOf(Header(0, 2, 24, 0), pixels)) << "no width";
  EXPECT_TRUE(PlainPictureOf(Header(64, -2, 32, 0), pixels)) << "exactly enough, top-down";
}

}  // namespace
}  // namespace mirabo
