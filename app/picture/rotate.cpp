#include "app/picture/rotate.h"

#include <algorithm>
#include <cstring>

namespace mirabo {
namespace {

// The picture is turned in square tiles: a tile's source rows are read in
// runs and its destination rows stay in the cache while they are written,
// which keeps a large picture's turn near the speed of a copy.
constexpr int kBand = 32;

template <int Bpp>
void RotateBand(const PixelBuffer& src, const PixelBuffer& dst, bool left, int y0, int y1) {
  const int w = src.width, h = src.height;
  for (int x0 = 0; x0 < w; x0 += kBand) {
    const int x1 = std::min(w, x0 + kBand);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* srow = src.bits + static_cast<size_t>(y) * src.stride;
      // The column where source row y lands.
      const size_t dx = static_cast<size_t>(left ? y : h - 1 - y) * Bpp;
      for (int x = x0; x < x1; ++x) {
        const int dy = left ? w - 1 - x : x;
        std::memcpy(dst.bits + static_cast<size_t>(dy) * dst.stride + dx, srow + static_cast<size_t>(x) * Bpp, Bpp);
      }
    }
  }
}

}  // namespace

int BytesPerPixel(int bitCount) {
  switch (bitCount) {
    case 8: return 1;
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
  }
}

void RotateQuarter(const PixelBuffer& src, const PixelBuffer& dst, bool left,
                   const std::function<void(int row)>& progress) {
  for (int y0 = 0; y0 < src.height; y0 += kBand) {
    const int y1 = std::min(src.height, y0 + kBand);
    switch (src.bytesPerPixel) {
      case 1: RotateBand<1>(src, dst, left, y0, y1); break;
      case 2: RotateBand<2>(src, dst, left, y0, y1); break;
      case 3: RotateBand<3>(src, dst, left, y0, y1); break;
      case 4: RotateBand<4>(src, dst, left, y0, y1); break;
      default: return;
    }
    if (progress)
      for (int y = (y0 + 9) / 10 * 10; y < y1; y += 10) progress(y);
  }
}

}  // namespace mirabo
