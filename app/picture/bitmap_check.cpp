#include "app/picture/bitmap_check.h"

#include <algorithm>

#include "app/picture/limits.h"

namespace mirabo::bitmap {
namespace {

uint32_t U16(std::span<const uint8_t> d, uint64_t at) {
  return at + 2 <= d.size() ? static_cast<uint32_t>(d[at] | d[at + 1] << 8) : 0;
}
uint32_t U32(std::span<const uint8_t> d, uint64_t at) { return U16(d, at) | U16(d, at + 2) << 16; }
int32_t I32(std::span<const uint8_t> d, uint64_t at) { return static_cast<int32_t>(U32(d, at)); }

struct Problem {
  const char* text;
};
void Need(bool ok, const char* what) {
  if (!ok) throw Problem{what};
}

}  // namespace

LayoutResult CheckBitmapFile(std::span<const uint8_t> d) {
  LayoutResult result;
  Layout& l = result.layout;
  try {
    uint64_t bitsOffset = 0;
    if (d.size() >= 14 && d[0] == 'B' && d[1] == 'M') {
      l.infoOffset = 14;
      bitsOffset = U32(d, 10);
    }
    Need(d.size() >= l.infoOffset + 4, "header cut short");
    l.headerSize = U32(d, l.infoOffset);
    uint64_t bitCount = 0, compression = 0, sizeImage = 0;
    if (l.headerSize == 12) {
      Need(d.size() >= l.infoOffset + 12, "header cut short");
      l.width = static_cast<int>(U16(d, l.infoOffset + 4));
      l.height = static_cast<int>(U16(d, l.infoOffset + 6));
      bitCount = U16(d, l.infoOffset + 10);
      if (bitsOffset == 0) bitsOffset = l.infoOffset + 12 + (bitCount <= 8 ? 3ull << bitCount : 0);
    } else {
      Need(l.headerSize >= 40 && l.headerSize <= 1024, "header size");
      Need(d.size() >= l.infoOffset + 40, "header cut short");
      const int32_t w = I32(d, l.infoOffset + 4), h = I32(d, l.infoOffset + 8);
      Need(h != INT32_MIN, "height");
      l.width = w;
      l.height = h < 0 ? -h : h;
      bitCount = U16(d, l.infoOffset + 14);
      compression = U32(d, l.infoOffset + 16);
      sizeImage = U32(d, l.infoOffset + 20);
      if (bitsOffset == 0) {
        // A packed DIB: the colour table (or bit-field masks) follows the header.
        const uint64_t used = U32(d, l.infoOffset + 32);
        const uint64_t colours = used ? used : (bitCount <= 8 ? 1ull << bitCount : 0);
        const uint64_t masks = (compression == 3 && l.headerSize == 40) ? 12 : 0;
        bitsOffset = l.infoOffset + l.headerSize + masks + colours * 4;
      }
    }
    Need(l.width > 0 && l.height > 0 && l.width <= kMaxPictureSide && l.height <= kMaxPictureSide,
         "picture size");
    Need(static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) <= kMaxPicturePixels, "picture size");
    Need(bitsOffset >= l.infoOffset + l.headerSize && bitsOffset <= d.size(), "pixel offset");
    l.bitsOffset = static_cast<size_t>(bitsOffset);
    l.bitsAvailable = d.size() - bitsOffset;
    switch (compression) {
      case 0:
      case 3:
      case 6:
        Need(IsPixelDepth(bitCount), "depth");
        l.bitsNeeded = RowBytes(static_cast<uint64_t>(l.width), bitCount) * static_cast<uint64_t>(l.height);
        break;
      case 1:
      case 2:
      case 4:
      case 5:
        // The decoder stops at the size the header gives: never beyond the file.
        l.compressed = true;
        l.bitsNeeded = sizeImage ? std::min<uint64_t>(sizeImage, l.bitsAvailable) : l.bitsAvailable;
        break;
      default:
        Need(false, "compression");
    }
    result.ok = true;
  } catch (const Problem& p) {
    result.problem = p.text;
  }
  return result;
}

IconResult CheckIconFile(std::span<const uint8_t> d) {
  IconResult result;
  try {
    Need(d.size() >= 6 && U16(d, 0) == 0 && (U16(d, 2) == 1 || U16(d, 2) == 2), "directory header");
    const uint64_t count = U16(d, 4);
    Need(count >= 1 && 6 + 16 * count <= d.size(), "directory entries outside the file");
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t entry = 6 + 16 * i;
      const uint64_t size = U32(d, entry + 8), offset = U32(d, entry + 12);
      Need(size >= 40 && offset + size <= d.size(), "image outside the file");
      const std::span<const uint8_t> image = d.subspan(offset, size);
      if (image[0] == 0x89 && image[1] == 'P' && image[2] == 'N' && image[3] == 'G') continue;
      const uint64_t headerSize = U32(image, 0);
      Need(headerSize >= 40 && headerSize <= size, "image header");
      const int32_t width = I32(image, 4), height = I32(image, 8);  // the height counts both masks
      Need(width > 0 && height > 0 && width <= 1024 && height <= 2048, "image size");
      const uint64_t bits = U16(image, 14), used = U32(image, 32);
      Need(IsPixelDepth(bits), "image depth");
      Need(U32(image, 16) == 0, "image compression");
      const uint64_t colours = used ? used : (bits <= 8 ? 1ull << bits : 0);
      const uint64_t rows = static_cast<uint64_t>(height) / 2;
      const uint64_t needed = headerSize + 4 * colours + RowBytes(static_cast<uint64_t>(width), bits) * rows +
                              RowBytes(static_cast<uint64_t>(width), 1) * rows;
      Need(needed <= size, "image pixels or mask outside their entry");
    }
    result.ok = true;
  } catch (const Problem& p) {
    result.problem = p.text;
  }
  return result;
}

}  // namespace mirabo::bitmap
