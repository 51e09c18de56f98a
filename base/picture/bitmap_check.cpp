#include "base/picture/bitmap_check.h"

#include <algorithm>

#include "base/picture/checked_bytes.h"
#include "base/picture/limits.h"

namespace mirabo::bitmap {

using checks::Bytes;
using checks::Need;
using checks::Problem;

namespace {

// The sizes of the Windows information headers (40, and the later forms
// with their masks, colour space and profile); any other size from 16 to 64
// is OS/2 2.x's header, cut where its writer chose.
bool IsWindowsHeader(uint64_t size) { return size == 40 || size == 52 || size == 56 || size == 108 || size == 124; }

}  // namespace

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
    const uint64_t at = l.infoOffset;
    uint64_t bitCount = 0, compression = kRgb, sizeImage = 0, used = 0, masksAfter = 0;
    if (l.headerSize == 12) {
      Need(d.size() >= at + 12, "header cut short");
      l.width = static_cast<int>(d.U16(at + 4));
      l.height = static_cast<int>(d.U16(at + 6));
      bitCount = d.U16(at + 10);
      l.entryBytes = 3;
    } else if (IsWindowsHeader(l.headerSize) || (l.headerSize >= 16 && l.headerSize <= 64)) {
      Need(d.size() >= at + l.headerSize, "header cut short");
      const bool os2 = !IsWindowsHeader(l.headerSize);
      const int32_t w = d.I32(at + 4), h = d.I32(at + 8);
      Need(h != INT32_MIN, "height");
      l.width = w;
      l.height = h < 0 ? -h : h;
      l.topDown = h < 0;
      bitCount = d.U16(at + 14);
      if (l.headerSize >= 20) compression = d.U32(at + 16);
      if (l.headerSize >= 24) sizeImage = d.U32(at + 20);
      if (l.headerSize >= 36) used = d.U32(at + 32);
      if (os2) {
        // OS/2's 3 (Huffman) and 4 (24-bit RLE) are no Windows forms.
        Need(compression == kRgb || compression == kRle8 || compression == kRle4, "compression");
      } else if (compression == kBitFields || compression == kAlphaBitFields) {
        const int count = compression == kAlphaBitFields ? 4 : 3;
        const uint64_t from = l.headerSize >= 52 ? at + 40 : at + l.headerSize;
        if (l.headerSize < 52) masksAfter = 4ull * static_cast<uint64_t>(count);
        Need(d.size() >= from + 4ull * static_cast<uint64_t>(count), "masks cut short");
        for (int i = 0; i < count; ++i) l.masks[i] = d.U32(from + 4ull * static_cast<uint64_t>(i));
        if (count == 3 && l.headerSize >= 56) l.masks[3] = d.U32(at + 52);
      }
      Need(!l.topDown || compression == kRgb || compression == kBitFields || compression == kAlphaBitFields,
           "compressed rows stored top-down");
    } else {
      Need(false, "header size");
    }
    l.bitCount = static_cast<int>(bitCount);
    l.compression = static_cast<uint32_t>(compression);
    if (compression == kRgb) {
      if (bitCount == 16) l.masks[0] = 0x7C00, l.masks[1] = 0x03E0, l.masks[2] = 0x001F;
      // The fourth byte may be alpha: the decoder looks whether any is set.
      if (bitCount == 32) l.masks[0] = 0xFF0000, l.masks[1] = 0xFF00, l.masks[2] = 0xFF, l.masks[3] = 0xFF000000;
    }
    Need(l.width > 0 && l.height > 0 && l.width <= kMaxPictureSide && l.height <= kMaxPictureSide,
         "picture size");
    Need(static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) <= kMaxPicturePixels, "picture size");
    l.paletteOffset = static_cast<size_t>(std::min<uint64_t>(at + l.headerSize + masksAfter, d.size()));
    // JPEG and PNG pixels say 0 bits: they have no colour table.
    const bool paletted = bitCount >= 1 && bitCount <= 8;
    const uint64_t maxEntries = paletted ? 1ull << bitCount : 0;
    uint64_t entries = paletted ? (used && used < maxEntries ? used : maxEntries) : 0;
    if (bitsOffset == 0) bitsOffset = l.paletteOffset + entries * static_cast<uint64_t>(l.entryBytes);  // a packed DIB
    Need(bitsOffset >= at + l.headerSize && bitsOffset <= d.size(), "pixel offset");
    // A table cut short by the pixels keeps the entries it has; the rest
    // show black.
    if (bitsOffset > l.paletteOffset)
      entries = std::min<uint64_t>(entries, (bitsOffset - l.paletteOffset) / static_cast<uint64_t>(l.entryBytes));
    else
      entries = 0;
    l.paletteEntries = static_cast<uint32_t>(entries);
    l.bitsOffset = static_cast<size_t>(bitsOffset);
    l.bitsAvailable = d.size() - bitsOffset;
    switch (compression) {
      case kRgb:
      case kBitFields:
      case kAlphaBitFields:
        Need(IsPixelDepth(bitCount), "depth");
        Need(compression == kRgb || bitCount == 16 || bitCount == 32, "depth");
        l.bitsNeeded = RowBytes(static_cast<uint64_t>(l.width), bitCount) * static_cast<uint64_t>(l.height);
        break;
      case kRle8:
      case kRle4:
        Need(bitCount == (compression == kRle8 ? 8u : 4u), "depth");
        [[fallthrough]];
      case kJpeg:
      case kPng:
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
