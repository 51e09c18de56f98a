#include "base/picture/rotate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace mirabo {
namespace {

// A picture whose every pixel's bytes say where it is.
struct Image {
  Image(int w, int h, int bpp) : width(w), height(h), bpp(bpp), stride(((static_cast<size_t>(w) * bpp) + 3) / 4 * 4),
                                 bytes(stride * static_cast<size_t>(h), 0xEE) {}
  PixelBuffer View() { return {bytes.data(), width, height, stride, bpp}; }
  uint8_t* At(int x, int y) { return &bytes[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bpp]; }
  void Label() {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int b = 0; b < bpp; ++b) At(x, y)[b] = static_cast<uint8_t>(x * 16 + y * 3 + b * 101 + (x >> 4) * 7 + (y >> 4) * 13);
  }
  int width, height, bpp;
  size_t stride;
  std::vector<uint8_t> bytes;
};

Image Turn(Image& src, bool left) {
  Image dst(src.height, src.width, src.bpp);
  RotateQuarter(src.View(), dst.View(), left);
  return dst;
}

TEST(Rotate, CornersGoWhereTheyShouldForEveryPixelSize) {
  for (const int bpp : {1, 2, 3, 4}) {
    SCOPED_TRACE("bytes a pixel: " + std::to_string(bpp));
    Image src(5, 3, bpp);  // odd sizes, padded rows
    src.Label();
    Image left = Turn(src, true);
    Image right = Turn(src, false);
    ASSERT_EQ(left.width, 3);
    ASSERT_EQ(left.height, 5);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        for (int b = 0; b < bpp; ++b) {
          EXPECT_EQ(left.At(y, 4 - x)[b], src.At(x, y)[b]) << x << "," << y;
          EXPECT_EQ(right.At(2 - y, x)[b], src.At(x, y)[b]) << x << "," << y;
        }
    // The top-left corner turns left to the bottom-left, right to the top-right.
    EXPECT_EQ(left.At(0, 4)[0], src.At(0, 0)[0]);
    EXPECT_EQ(right.At(2, 0)[0], src.At(0, 0)[0]);
  }
}

TEST(Rotate, FourTurnsGiveTheOriginalAndLeftUndoesRight) {
  for (const int bpp : {1, 3, 4}) {
    Image src(300, 270, bpp);  // more than one tile each way
    src.Label();
    Image a = Turn(src, true);
    Image b = Turn(a, true);
    Image c = Turn(b, true);
    Image d = Turn(c, true);
    EXPECT_EQ(d.bytes, src.bytes) << bpp;
    Image r = Turn(src, false);
    Image back = Turn(r, true);
    EXPECT_EQ(back.bytes, src.bytes) << bpp;
  }
}

// Every pixel of pictures that cross tile edges, leave rows over from the
// four-row groups, end rows at the buffer's end, and (the large one) are
// turned in two halves at once; padding must stay untouched.
TEST(Rotate, EveryPixelLandsWhereTheGeometrySaysAtAnySize) {
  const struct {
    int width, height;
    std::vector<int> bpps;
  } cases[] = {{261, 263, {1, 2, 3, 4}}, {7, 5, {3}}, {4, 4, {3}}, {1030, 1101, {3, 4}}};
  for (const auto& c : cases)
    for (const int bpp : c.bpps)
      for (const bool left : {true, false}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " bpp " + std::to_string(bpp) +
                     (left ? " left" : " right"));
        Image src(c.width, c.height, bpp);
        src.Label();
        Image dst = Turn(src, left);
        int wrong = 0;
        for (int y = 0; y < c.height && wrong < 5; ++y)
          for (int x = 0; x < c.width && wrong < 5; ++x) {
            const int dx = left ? y : c.height - 1 - y, dy = left ? c.width - 1 - x : x;
            if (std::memcmp(dst.At(dx, dy), src.At(x, y), static_cast<size_t>(bpp)) != 0) {
              ADD_FAILURE() << "source (" << x << "," << y << ") not at (" << dx << "," << dy << ")";
              ++wrong;
            }
          }
        // The rows' padding bytes keep the fill they had.
        for (int y = 0; y < dst.height; ++y)
          for (size_t i = static_cast<size_t>(dst.width) * static_cast<size_t>(bpp); i < dst.stride; ++i)
            ASSERT_EQ(dst.bytes[static_cast<size_t>(y) * dst.stride + i], 0xEE) << "row " << y;
      }
}

TEST(Rotate, ProgressComesEveryTenRows) {
  Image src(4, 35, 3);
  Image dst(35, 4, 3);
  std::vector<int> rows;
  RotateQuarter(src.View(), dst.View(), true, [&](int row) { rows.push_back(row); });
  EXPECT_EQ(rows, (std::vector<int>{0, 10, 20, 30}));
  EXPECT_EQ(BytesPerPixel(24), 3);
  EXPECT_EQ(BytesPerPixel(4), 0);
}

}  // namespace
}  // namespace mirabo
