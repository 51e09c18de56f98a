#include "viewers/document/page_ops.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "app/picture/rotate.h"

namespace mirabo {
namespace {

// An 8 x 8 block of bits, one byte a row with the leftmost pixel in the top
// bit, transposed: byte j of the result is column j, its top bit row 0.
void Transpose8(const uint8_t in[8], uint8_t out[8]) {
  uint64_t x = 0;
  for (int i = 0; i < 8; ++i) x = x << 8 | in[i];
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x ^= t ^ (t << 28);
  for (int j = 0; j < 8; ++j) out[j] = static_cast<uint8_t>(x >> (56 - 8 * j));
}

// One bit a pixel, a quarter turn: eight source rows at a time make one
// byte of every destination row.
void TurnBilevel(const DocPage& src, DocPage& dst, bool left) {
  const int w = src.width, h = src.height;
  const int srcBytes = (w + 7) / 8, dstBytes = (h + 7) / 8;
  uint8_t rows[8], columns[8];
  for (int bX = 0; bX < dstBytes; ++bX) {
    // The source rows whose pixels make destination columns 8bX..8bX+7.
    const uint8_t* from[8];
    for (int i = 0; i < 8; ++i) {
      const int y = left ? 8 * bX + i : h - 1 - (8 * bX + i);
      from[i] = y >= 0 && y < h ? src.Row(y) : nullptr;
    }
    for (int bx = 0; bx < srcBytes; ++bx) {
      for (int i = 0; i < 8; ++i) rows[i] = from[i] ? from[i][bx] : 0;
      Transpose8(rows, columns);
      for (int j = 0; j < 8; ++j) {
        const int x = 8 * bx + j;
        if (x >= w) break;
        dst.Row(left ? w - 1 - x : x)[bX] = columns[j];
      }
    }
  }
}

DocPage TurnQuarter(const DocPage& src, bool left) {
  DocPage dst = MakePage(src.height, src.width, src.format);
  dst.xdpi = src.ydpi;
  dst.ydpi = src.xdpi;
  if (src.format == PageFormat::Bilevel) {
    TurnBilevel(src, dst, left);
  } else {
    const int bpp = src.format == PageFormat::Grey ? 1 : 3;
    RotateQuarter({const_cast<uint8_t*>(src.bits.data()), src.width, src.height, src.stride, bpp},
                  {dst.bits.data(), dst.width, dst.height, dst.stride, bpp}, left);
  }
  return dst;
}

// White pixels among bits [first, first + count) of a 1-bit row.
uint32_t WhiteBits(const uint8_t* row, int first, int count) {
  uint32_t n = 0;
  while (count > 0 && (first & 7)) {
    n += row[first >> 3] >> (7 - (first & 7)) & 1;
    ++first;
    --count;
  }
  for (; count >= 8; first += 8, count -= 8) n += static_cast<uint32_t>(std::popcount(row[first >> 3]));
  for (; count > 0; ++first, --count) n += row[first >> 3] >> (7 - (first & 7)) & 1;
  return n;
}

// The white pixels of each output column over one source row, added to
// sums: whole bytes hold one, two or four output pixels' bits.
void AddWhiteCounts(const uint8_t* row, int factor, int outWidth, int blockWidth, uint32_t* sums) {
  if (blockWidth < factor) {  // a page narrower than one block
    sums[0] += WhiteBits(row, 0, blockWidth);
  } else if (factor == 8) {
    for (int x = 0; x < outWidth; ++x) sums[x] += static_cast<uint32_t>(std::popcount(row[x]));
  } else if (factor == 4 || factor == 2) {
    const int perByte = 8 / factor;
    const int wholeBytes = outWidth / perByte;
    const unsigned mask = (1u << factor) - 1;
    for (int b = 0; b < wholeBytes; ++b) {
      const unsigned byte = row[b];
      for (int k = 0; k < perByte; ++k)
        sums[b * perByte + k] += static_cast<uint32_t>(std::popcount((byte >> (8 - factor * (k + 1))) & mask));
    }
    for (int x = wholeBytes * perByte; x < outWidth; ++x) sums[x] += WhiteBits(row, x * factor, blockWidth);
  } else {
    for (int x = 0; x < outWidth; ++x) sums[x] += WhiteBits(row, x * factor, blockWidth);
  }
}

}  // namespace

DocPage TurnPage(const DocPage& page, int quarterTurnsLeft) {
  switch (((quarterTurnsLeft % 4) + 4) % 4) {
    case 1: return TurnQuarter(page, true);
    case 2: return TurnQuarter(TurnQuarter(page, true), true);
    case 3: return TurnQuarter(page, false);
    default: return page;
  }
}

DocPage ReducePage(const DocPage& page, int factor) {
  factor = std::max(factor, 1);
  const int outWidth = std::max(1, page.width / factor), outHeight = std::max(1, page.height / factor);
  // A page smaller than one block becomes one pixel of all it has.
  const int blockWidth = std::min(factor, page.width), blockHeight = std::min(factor, page.height);
  const uint32_t area = static_cast<uint32_t>(blockWidth) * static_cast<uint32_t>(blockHeight);
  const bool bilevel = page.format == PageFormat::Bilevel;
  DocPage out = MakePage(outWidth, outHeight, bilevel ? PageFormat::Grey : page.format);
  out.xdpi = page.xdpi / factor;
  out.ydpi = page.ydpi / factor;
  const int channels = page.format == PageFormat::Colour ? 3 : 1;
  const size_t sumCount = static_cast<size_t>(outWidth) * static_cast<size_t>(channels);
  std::vector<uint32_t> sums(sumCount);
  // Sums to grey levels, rounded; by table when the block is small.
  std::vector<uint8_t> level;
  const uint32_t maxSum = bilevel ? area : area * 255;
  if (maxSum <= 1u << 16) {
    level.resize(maxSum + 1);
    for (uint32_t s = 0; s <= maxSum; ++s)
      level[s] = static_cast<uint8_t>(bilevel ? (s * 255 + area / 2) / area : (s + area / 2) / area);
  }
  for (int oy = 0; oy < outHeight; ++oy) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (int dy = 0; dy < blockHeight; ++dy) {
      const uint8_t* row = page.Row(oy * factor + dy);
      if (bilevel) {
        AddWhiteCounts(row, factor, outWidth, blockWidth, sums.data());
        continue;
      }
      for (int ox = 0; ox < outWidth; ++ox) {
        const uint8_t* p = row + static_cast<size_t>(ox) * factor * channels;
        uint32_t* s = &sums[static_cast<size_t>(ox) * channels];
        for (int dx = 0; dx < blockWidth; ++dx, p += channels)
          for (int c = 0; c < channels; ++c) s[c] += p[c];
      }
    }
    uint8_t* dst = out.Row(oy);
    for (size_t i = 0; i < sumCount; ++i)
      dst[i] = level.empty() ? static_cast<uint8_t>((sums[i] + area / 2) / area) : level[sums[i]];
  }
  return out;
}

DocPage SquarePixels(DocPage page) {
  if (page.xdpi <= 0 || page.ydpi <= 0) return page;
  const double ratio = page.xdpi / page.ydpi;
  if (std::abs(ratio - 1) < 0.01 || ratio > 8 || ratio < 1.0 / 8) return page;
  const bool taller = ratio > 1;  // rows are coarser: repeat rows
  const double scale = taller ? ratio : 1 / ratio;
  const int width = taller ? page.width : static_cast<int>(std::lround(page.width * scale));
  const int height = taller ? static_cast<int>(std::lround(page.height * scale)) : page.height;
  DocPage out = MakePage(width, height, page.format);
  out.xdpi = out.ydpi = std::max(page.xdpi, page.ydpi);
  const int bits = page.BitsPerPixel();
  for (int y = 0; y < height; ++y) {
    const int sy = taller ? static_cast<int>(static_cast<int64_t>(y) * page.height / height) : y;
    const uint8_t* src = page.Row(sy);
    uint8_t* dst = out.Row(y);
    if (!taller) {
      for (int x = 0; x < width; ++x) {
        const int sx = static_cast<int>(static_cast<int64_t>(x) * page.width / width);
        if (bits == 1) {
          if (src[sx >> 3] >> (7 - (sx & 7)) & 1) dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | 0x80 >> (x & 7));
        } else {
          std::memcpy(dst + static_cast<size_t>(x) * (bits / 8), src + static_cast<size_t>(sx) * (bits / 8), bits / 8);
        }
      }
    } else if (y > 0 && sy == static_cast<int>(static_cast<int64_t>(y - 1) * page.height / height)) {
      std::memcpy(dst, out.Row(y - 1), out.stride);
    } else {
      std::memcpy(dst, src, page.stride);
    }
  }
  return out;
}

std::vector<uint8_t> PageAreaDib(const DocPage& page, int left, int top, int width, int height) {
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(left) + width, page.width));
  const int y1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(top) + height, page.height));
  if (page.Empty() || x1 <= x0 || y1 <= y0) return {};
  const int w = x1 - x0, h = y1 - y0;
  const int bits = page.BitsPerPixel();
  const uint32_t colours = page.format == PageFormat::Bilevel ? 2 : page.format == PageFormat::Grey ? 256 : 0;
  const size_t stride = DocPage::StrideFor(w, page.format);
  const size_t headerBytes = 40 + colours * 4;
  std::vector<uint8_t> dib(headerBytes + stride * static_cast<size_t>(h), 0);
  const auto put = [&dib](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) dib[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  const auto perMetre = [](double dpi) { return dpi > 0 ? static_cast<uint32_t>(std::lround(dpi / 0.0254)) : 0u; };
  put(0, 40, 4);
  put(4, static_cast<uint32_t>(w), 4);
  put(8, static_cast<uint32_t>(h), 4);  // bottom-up: every reader takes it
  put(12, 1, 2);
  put(14, static_cast<uint32_t>(bits), 2);
  put(20, static_cast<uint32_t>(stride * static_cast<size_t>(h)), 4);
  put(24, perMetre(page.xdpi), 4);
  put(28, perMetre(page.ydpi), 4);
  put(32, colours, 4);
  for (uint32_t i = 0; i < colours; ++i) put(40 + i * 4, (i * (colours == 2 ? 255 : 1)) * 0x010101u, 4);
  const int shift = x0 & 7;
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = page.Row(y0 + y);
    uint8_t* dst = dib.data() + headerBytes + static_cast<size_t>(h - 1 - y) * stride;
    if (bits != 1) {
      std::memcpy(dst, src + static_cast<size_t>(x0) * (bits / 8), static_cast<size_t>(w) * (bits / 8));
      continue;
    }
    const size_t first = static_cast<size_t>(x0) >> 3, bytes = (static_cast<size_t>(w) + 7) / 8;
    for (size_t k = 0; k < bytes; ++k) {
      const unsigned hi = src[first + k];
      const unsigned lo = first + k + 1 < page.stride ? src[first + k + 1] : 0;
      dst[k] = static_cast<uint8_t>(shift ? (hi << shift | lo >> (8 - shift)) : hi);
    }
    if (w & 7) dst[bytes - 1] = static_cast<uint8_t>(dst[bytes - 1] & (0xFF00 >> (w & 7)));
  }
  return dib;
}

PlacedRect PlaceOnPaper(int pageWidth, int pageHeight, double pageDpi, int areaWidth, int areaHeight,
                        int deviceDpiX, int deviceDpiY) {
  if (pageWidth <= 0 || pageHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
  // The page's size on paper in device pixels; without a resolution only
  // its proportions count.
  const double dpi = pageDpi > 0 ? pageDpi : std::max(deviceDpiX, deviceDpiY);
  double w = pageWidth * static_cast<double>(deviceDpiX) / dpi;
  double h = pageHeight * static_cast<double>(deviceDpiY) / dpi;
  if (pageDpi <= 0 || w > areaWidth || h > areaHeight) {
    const double scale = std::min(areaWidth / w, areaHeight / h);
    w *= scale;
    h *= scale;
  }
  PlacedRect r;
  r.width = std::clamp(static_cast<int>(std::lround(w)), 1, areaWidth);
  r.height = std::clamp(static_cast<int>(std::lround(h)), 1, areaHeight);
  r.x = (areaWidth - r.width) / 2;
  r.y = (areaHeight - r.height) / 2;
  return r;
}

}  // namespace mirabo
