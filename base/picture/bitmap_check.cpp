#include "base/picture/bitmap_check.h"

#include <algorithm>

#include "base/picture/checked_bytes.h"
#include "base/picture/limits.h"

namespace mirabo::bitmap {

using checks::Bytes;
using checks::Need;
using checks::Problem;

LayoutResult CheckBitmapFile(std::span<const uint8_t> data) {
  const Bytes d(data);
  LayoutResult result;
  Layout& l = result.layout;
  try {
    uint64_t bitsOffset = 0;
    if (d.size() >= 14 && d.U16(0) == 0x4D42) {
      l.infoOffset = 14;
      bitsOffset = d.U32(10);
    }
    Need(d.size() >= l.infoOffset + 4, "header cut short");
    l.headerSize = d.U32(l.infoOffset);
    uint64_t bitCount = 0, compression = 0, sizeImage = 0;
    if (l.headerSize == 12) {
      Need(d.size() >= l.infoOffset + 12, "header cut short");
      l.width = static_cast<int>(d.U16(l.infoOffset + 4));
      l.height = static_cast<int>(d.U16(l.infoOffset + 6));
      bitCount = d.U16(l.infoOffset + 10);
      if (bitsOffset == 0) bitsOffset = l.infoOffset + 12 + (bitCount <= 8 ? 3ull << bitCount : 0);
    } else {
      Need(l.headerSize >= 40 && l.headerSize <= 1024, "header size");
      Need(d.size() >= l.infoOffset + 40, "header cut short");
      const int32_t w = d.I32(l.infoOffset + 4), h = d.I32(l.infoOffset + 8);
      Need(h != INT32_MIN, "height");
      l.width = w;
      l.height = h < 0 ? -h : h;
      bitCount = d.U16(l.infoOffset + 14);
      compression = d.U32(l.infoOffset + 16);
      sizeImage = d.U32(l.infoOffset + 20);
      if (bitsOffset == 0) {
        // A packed DIB: the colour table (or bit-field masks) follows the header.
        const uint64_t used = d.U32(l.infoOffset + 32);
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

IconResult CheckIconFile(std::span<const uint8_t> data) {
  const Bytes d(data);
  IconResult result;
  try {
    Need(d.size() >= 6 && d.U16(0) == 0 && (d.U16(2) == 1 || d.U16(2) == 2), "directory header");
    const uint64_t count = d.U16(4);
    Need(count >= 1 && 6 + 16 * count <= d.size(), "directory entries outside the file");
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t entry = 6 + 16 * i;
      const uint64_t size = d.U32(entry + 8), offset = d.U32(entry + 12);
      Need(size >= 40 && offset + size <= d.size(), "image outside the file");
      const Bytes image = d.Sub(offset, size);
      if (image.U32(0) == 0x474E5089) continue;  // a PNG image ("\x89PNG")
      const uint64_t headerSize = image.U32(0);
      Need(headerSize >= 40 && headerSize <= size, "image header");
      const int32_t width = image.I32(4), height = image.I32(8);  // the height counts both masks
      Need(width > 0 && height > 0 && width <= 1024 && height <= 2048, "image size");
      const uint64_t bits = image.U16(14), used = image.U32(32);
      Need(IsPixelDepth(bits), "image depth");
      Need(image.U32(16) == 0, "image compression");
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
