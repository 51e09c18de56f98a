#pragma once
// A quarter turn of a bitmap's pixels: W x H becomes H x W, each pixel's
// bytes moved unchanged (1, 2, 3 or 4 bytes a pixel), rows top-down.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace mirabo {

struct PixelBuffer {
  uint8_t* bits = nullptr;
  int width = 0, height = 0;
  size_t stride = 0;  // bytes from one row to the next
  int bytesPerPixel = 0;
};

// Bytes a pixel for a bit count of 8, 16, 24 or 32; 0 for any other.
int BytesPerPixel(int bitCount);

// dst must be src.height wide and src.width high with the same bytes a pixel.
// Left: (x, y) goes to (y, W - 1 - x); right: (x, y) goes to (H - 1 - y, x).
// progress is told every source row that is a multiple of ten once it is done.
void RotateQuarter(const PixelBuffer& src, const PixelBuffer& dst, bool left,
                   const std::function<void(int row)>& progress = {});

}  // namespace mirabo
