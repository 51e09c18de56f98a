#pragma once
// A device-independent bitmap as the decoders produce it: top-down rows of
// 8-bit palette indices or 24-bit blue-green-red pixels, each row padded to
// a multiple of four bytes, so the Windows side can hand the bits to GDI as
// they are.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace mirabo {

struct RgbQuad {
  uint8_t blue, green, red, reserved;
};

struct DibFormat {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;          // 8 (with palette) or 24
  std::vector<RgbQuad> palette;   // 256 entries for 8 bits
  size_t Stride() const { return ((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4; }
  size_t ImageBytes() const { return Stride() * static_cast<size_t>(height); }
};

// Gives the decoder the memory of the bitmap it is about to fill (at least
// format.ImageBytes() bytes), or nullptr when it cannot.
using DibAllocator = std::function<uint8_t*(const DibFormat& format)>;

// A bitmap in ordinary memory, for callers without a device.
struct MemoryDib {
  DibFormat format;
  std::vector<uint8_t> bits;
  DibAllocator Allocator() {
    return [this](const DibFormat& f) {
      format = f;
      bits.assign(f.ImageBytes(), 0);
      return bits.data();
    };
  }
};

}  // namespace mirabo
