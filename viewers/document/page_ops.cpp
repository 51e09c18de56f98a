#include "viewers/document/page_ops.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "base/picture/rotate.h"

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

// Set bits of every byte, by table: without a popcount instruction in the
// baseline instruction set the library's count is a call per byte.
constexpr auto kBitCount = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>((i & 1) + t[i / 2]);
  return t;
}();

// The set bits of each half of every byte, in two byte lanes: the white
// pixels of two 4-pixel blocks by one lookup.
constexpr auto kNibbleCounts = [] {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) t[i] = static_cast<uint16_t>(kBitCount[i >> 4] | kBitCount[i & 15u] << 8);
  return t;
}();

// White pixels among bits [first, first + count) of a 1-bit row.
uint32_t WhiteBits(const uint8_t* row, int first, int count) {
  uint32_t n = 0;
  while (count > 0 && (first & 7)) {
    n += row[first >> 3] >> (7 - (first & 7)) & 1;
    ++first;
    --count;
  }
  for (; count >= 8; first += 8, count -= 8) n += kBitCount[row[first >> 3]];
  for (; count > 0; ++first, --count) n += row[first >> 3] >> (7 - (first & 7)) & 1;
  return n;
}

// Grey levels of four output pixels from two source bytes, one above the
// other: each 2 x 2 block's share of white, by one lookup.
const std::vector<uint32_t>& HalvingTable() {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(65536);
    for (unsigned top = 0; top < 256; ++top)
      for (unsigned bottom = 0; bottom < 256; ++bottom) {
        uint32_t v = 0;
        for (unsigned k = 0; k < 4; ++k) {
          const unsigned shift = 6 - 2 * k;
          const unsigned white = kBitCount[(top >> shift) & 3u] + kBitCount[(bottom >> shift) & 3u];
          v |= ((white * 255 + 2) / 4) << (8 * k);
        }
        t[top << 8 | bottom] = v;
      }
    return t;
  }();
  return table;
}

// Black and white reduced by 2, 4 or 8 with whole blocks: whole source bytes
// at a time. The pixels of a partial last block are dropped, as the page's
// size at that zoom drops them.
void ReduceBilevelByBytes(const DocPage& page, int factor, DocPage& out, int firstRow, int endRow) {
  const int outWidth = out.width, sourceBytes = (page.width + 7) / 8;
  const uint32_t area = static_cast<uint32_t>(factor * factor);
  uint8_t level[65];
  for (uint32_t s = 0; s <= area; ++s) level[s] = static_cast<uint8_t>((s * 255 + area / 2) / area);
  std::vector<uint16_t> sums(static_cast<size_t>(sourceBytes));
  const std::vector<uint32_t>& halving = HalvingTable();
  for (int oy = firstRow; oy < endRow; ++oy) {
    uint8_t* dst = out.Row(oy);
    if (factor == 2) {
      const uint8_t* top = page.Row(2 * oy);
      const uint8_t* bottom = page.Row(2 * oy + 1);
      const int whole = outWidth / 4;
      for (int b = 0; b < whole; ++b) {
        const uint32_t v = halving[static_cast<unsigned>(top[b]) << 8 | bottom[b]];
        dst[4 * b] = static_cast<uint8_t>(v);
        dst[4 * b + 1] = static_cast<uint8_t>(v >> 8);
        dst[4 * b + 2] = static_cast<uint8_t>(v >> 16);
        dst[4 * b + 3] = static_cast<uint8_t>(v >> 24);
      }
      for (int x = whole * 4; x < outWidth; ++x)
        dst[x] = level[WhiteBits(top, 2 * x, 2) + WhiteBits(bottom, 2 * x, 2)];
      continue;
    }
    // Four or eight rows: white counts of each source byte's nibbles (or of
    // the whole byte) added up in byte lanes, then turned into levels.
    const int usedBytes = factor == 4 ? (outWidth + 1) / 2 : outWidth;
    std::fill_n(sums.begin(), usedBytes, uint16_t{0});
    for (int dy = 0; dy < factor; ++dy) {
      const uint8_t* row = page.Row(oy * factor + dy);
      if (factor == 4) {
        for (int b = 0; b < usedBytes; ++b)
          sums[b] = static_cast<uint16_t>(sums[b] + kNibbleCounts[row[b]]);
      } else {
        for (int b = 0; b < usedBytes; ++b) sums[b] = static_cast<uint16_t>(sums[b] + kBitCount[row[b]]);
      }
    }
    if (factor == 8) {
      for (int x = 0; x < outWidth; ++x) dst[x] = level[sums[x]];
    } else {
      for (int x = 0; x < outWidth; ++x) dst[x] = level[x & 1 ? sums[x / 2] >> 8 : sums[x / 2] & 0xFF];
    }
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

namespace {

void FlipRows(DocPage& page) {
  std::vector<uint8_t> spare(page.stride);
  for (int a = 0, b = page.height - 1; a < b; ++a, --b) {
    std::memcpy(spare.data(), page.Row(a), page.stride);
    std::memcpy(page.Row(a), page.Row(b), page.stride);
    std::memcpy(page.Row(b), spare.data(), page.stride);
  }
}

void FlipColumns(DocPage& page) {
  const int bpp = page.BitsPerPixel() / 8;
  for (int y = 0; y < page.height; ++y) {
    uint8_t* row = page.Row(y);
    for (int a = 0, b = page.width - 1; a < b; ++a, --b) {
      if (bpp == 0) {  // one bit a pixel, the leftmost in the top bit
        const uint8_t ma = static_cast<uint8_t>(0x80 >> (a & 7)), mb = static_cast<uint8_t>(0x80 >> (b & 7));
        const bool va = row[a >> 3] & ma, vb = row[b >> 3] & mb;
        row[a >> 3] = static_cast<uint8_t>(vb ? row[a >> 3] | ma : row[a >> 3] & ~ma);
        row[b >> 3] = static_cast<uint8_t>(va ? row[b >> 3] | mb : row[b >> 3] & ~mb);
      } else {
        std::swap_ranges(row + a * bpp, row + (a + 1) * bpp, row + b * bpp);
      }
    }
  }
}

}  // namespace

DocPage OrientPage(DocPage page, int orientation) {
  // The transposed forms are the quarter turns, 5 and 7 then mirrored.
  switch (orientation) {
    case 2: FlipColumns(page); return page;
    case 3: return TurnPage(page, 2);
    case 4: FlipRows(page); return page;
    case 5: page = TurnPage(page, 3); FlipColumns(page); return page;
    case 6: return TurnPage(page, 3);
    case 7: page = TurnPage(page, 3); FlipRows(page); return page;
    case 8: return TurnPage(page, 1);
    default: return page;
  }
}

DocPage MakeReducedPage(const DocPage& page, int factor, DocPage* recycle) {
  factor = std::max(factor, 1);
  DocPage out = MakePage(std::max(1, page.width / factor), std::max(1, page.height / factor),
                         page.format == PageFormat::Bilevel ? PageFormat::Grey : page.format, recycle);
  out.xdpi = page.xdpi / factor;
  out.ydpi = page.ydpi / factor;
  return out;
}

void ReduceRows(const DocPage& page, int factor, DocPage& out, int firstRow, int endRow) {
  factor = std::max(factor, 1);
  firstRow = std::clamp(firstRow, 0, out.height);
  endRow = std::clamp(endRow, firstRow, out.height);
  const int outWidth = out.width;
  // A page smaller than one block becomes one pixel of all it has.
  const int blockWidth = std::min(factor, page.width), blockHeight = std::min(factor, page.height);
  const uint32_t area = static_cast<uint32_t>(blockWidth) * static_cast<uint32_t>(blockHeight);
  const bool bilevel = page.format == PageFormat::Bilevel;
  if (bilevel && (factor == 2 || factor == 4 || factor == 8) && blockWidth == factor && blockHeight == factor) {
    ReduceBilevelByBytes(page, factor, out, firstRow, endRow);
    return;
  }
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
  for (int oy = firstRow; oy < endRow; ++oy) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (int dy = 0; dy < blockHeight; ++dy) {
      const uint8_t* row = page.Row(oy * factor + dy);
      if (bilevel) {
        for (int x = 0; x < outWidth; ++x) sums[x] += WhiteBits(row, x * factor, blockWidth);
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
}

DocPage ReducePage(const DocPage& page, int factor, DocPage* recycle) {
  DocPage out = MakeReducedPage(page, factor, recycle);
  ReduceRows(page, factor, out, 0, out.height);
  return out;
}

bool HasOblongPixels(const DocPage& page) {
  if (page.xdpi <= 0 || page.ydpi <= 0) return false;
  const double ratio = page.xdpi / page.ydpi;
  return std::abs(ratio - 1) >= 0.01 && ratio <= 8 && ratio >= 1.0 / 8;
}

SquareSize SquaredSize(int width, int height, double xdpi, double ydpi) {
  DocPage probe;
  probe.xdpi = xdpi;
  probe.ydpi = ydpi;
  if (!HasOblongPixels(probe)) return {width, height};
  if (xdpi > ydpi) return {width, static_cast<int>(std::lround(height * (xdpi / ydpi)))};
  return {static_cast<int>(std::lround(width * (ydpi / xdpi))), height};
}

void RepeatRowsInPlace(DocPage& page, int newHeight) {
  const int height = page.height;
  page.height = newHeight;
  // From the last row up: a row is only ever copied from one above it or
  // from itself, and every row that still needs a source row lies below.
  for (int y = newHeight; y-- > 0;) {
    const int from = static_cast<int>(static_cast<int64_t>(y) * height / newHeight);
    if (from != y) std::memcpy(page.Row(y), page.Row(from), page.stride);
  }
}

DocPage SquarePixels(const DocPage& page, DocPage* recycle) {
  if (!HasOblongPixels(page)) return page;
  const SquareSize size = SquaredSize(page.width, page.height, page.xdpi, page.ydpi);
  DocPage out = MakePage(size.width, size.height, page.format, recycle);
  out.xdpi = out.ydpi = std::max(page.xdpi, page.ydpi);
  if (size.height != page.height) {
    std::memcpy(out.bits.data(), page.bits.data(), page.stride * static_cast<size_t>(page.height));
    out.height = page.height;
    RepeatRowsInPlace(out, size.height);
    return out;
  }
  const int bits = page.BitsPerPixel();
  for (int y = 0; y < page.height; ++y) {
    const uint8_t* src = page.Row(y);
    uint8_t* dst = out.Row(y);
    for (int x = 0; x < size.width; ++x) {
      const int sx = static_cast<int>(static_cast<int64_t>(x) * page.width / size.width);
      if (bits == 1) {
        if (src[sx >> 3] >> (7 - (sx & 7)) & 1) dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | 0x80 >> (x & 7));
      } else {
        std::memcpy(dst + static_cast<size_t>(x) * (bits / 8), src + static_cast<size_t>(sx) * (bits / 8), bits / 8);
      }
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
