#include "tests/viewers/tiff_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace mirabo::test {
namespace {

uint8_t Red(uint32_t c) { return static_cast<uint8_t>(c >> 16); }
uint8_t Green(uint32_t c) { return static_cast<uint8_t>(c >> 8); }
uint8_t Blue(uint32_t c) { return static_cast<uint8_t>(c); }
uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return (r & 255) << 16 | (g & 255) << 8 | (b & 255); }

// The palette fixtures' colours and which one each pixel takes.
uint32_t PaletteColour(unsigned i) { return Rgb(i * 37 + 11, 255 - i * 13, i * 91); }
unsigned PaletteIndex(int x, int y, int bits) { return static_cast<unsigned>(x + 2 * y) % (1u << bits); }

unsigned Levels(int bits) { return (1u << bits) - 1; }
unsigned GreyLevel(uint32_t colour, int bits) { return (Red(colour) * Levels(bits) + 127) / 255; }

struct MemoryFile {
  std::vector<uint8_t> bytes;
  uint64_t pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (m->pos >= m->bytes.size()) return 0;
  const size_t k = std::min<size_t>(static_cast<size_t>(n), m->bytes.size() - m->pos);
  std::memcpy(buf, m->bytes.data() + m->pos, k);
  m->pos += k;
  return static_cast<tmsize_t>(k);
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (m->pos + static_cast<size_t>(n) > m->bytes.size()) m->bytes.resize(m->pos + static_cast<size_t>(n));
  std::memcpy(m->bytes.data() + m->pos, buf, static_cast<size_t>(n));
  m->pos += static_cast<size_t>(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  m->pos = (whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->bytes.size() : 0) + off;
  return m->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

// The value of one stored sample of pixel (x, y) of the upright picture.
uint64_t StoredSample(const TiffPage& p, int x, int y, int sample) {
  if (p.value) {
    const double v = p.value(x, y, sample);
    if (p.sampleFormat == SAMPLEFORMAT_IEEEFP) {
      if (p.bits == 64) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        return u;
      }
      const float f = static_cast<float>(v);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      if (p.bits == 32) return u;
      // to half precision (the fixtures' values are exact in it)
      const uint32_t sign = u >> 16 & 0x8000;
      const int exponent = static_cast<int>(u >> 23 & 255) - 127 + 15;
      if ((u & 0x7FFFFFFF) == 0) return sign;
      if (exponent <= 0) return sign | static_cast<uint32_t>(std::ldexp(std::fabs(f), 24));
      return sign | static_cast<uint32_t>(exponent) << 10 | (u >> 13 & 1023);
    }
    const int64_t n = static_cast<int64_t>(std::llround(v));
    return static_cast<uint64_t>(n) & (p.bits >= 64 ? ~0ull : (1ull << p.bits) - 1);
  }
  const uint32_t c = p.pattern(x, y);
  const uint8_t a = p.alpha(x, y);
  switch (p.photometric) {
    case PHOTOMETRIC_MINISWHITE:
      if (p.bits == 1) return c ? 0 : 1;
      return Levels(p.bits) - GreyLevel(c, p.bits);
    case PHOTOMETRIC_MINISBLACK:
      if (p.bits == 1) return c ? 1 : 0;
      if (p.bits == 16) return Red(c) * 257u;
      return GreyLevel(c, p.bits);
    case PHOTOMETRIC_PALETTE: return PaletteIndex(x, y, p.bits);
    case PHOTOMETRIC_SEPARATED: return sample == 3 ? 0 : 255u - (sample == 0 ? Red(c) : sample == 1 ? Green(c) : Blue(c));
    default: {  // RGB and YCbCr (written as RGB)
      if (sample == 3) return a;
      const unsigned v = sample == 0 ? Red(c) : sample == 1 ? Green(c) : Blue(c);
      return p.extraSample == EXTRASAMPLE_ASSOCALPHA ? (v * a + 127) / 255 : v;
    }
  }
}

// Where the stored pixel (x, y) stands in the upright picture, for the
// eight orientations (0th row and 0th column as TIFF names them).
void Upright(const TiffPage& p, int& x, int& y) {
  const int w = p.width, h = p.height, sx = x, sy = y;
  switch (p.orientation) {
    case ORIENTATION_TOPRIGHT: x = w - 1 - sx; break;
    case ORIENTATION_BOTRIGHT: x = w - 1 - sx, y = h - 1 - sy; break;
    case ORIENTATION_BOTLEFT: y = h - 1 - sy; break;
    case ORIENTATION_LEFTTOP: x = sy, y = sx; break;
    case ORIENTATION_RIGHTTOP: x = h - 1 - sy, y = sx; break;
    case ORIENTATION_RIGHTBOT: x = h - 1 - sy, y = w - 1 - sx; break;
    case ORIENTATION_LEFTBOT: x = sy, y = w - 1 - sx; break;
    default: break;
  }
}

// One stored row of one plane (or of all samples when contiguous), packed.
std::vector<uint8_t> StoredRow(const TiffPage& p, int storedY, int plane) {
  const bool contig = p.planar == PLANARCONFIG_CONTIG;
  const int perPixel = contig ? p.samples : 1;
  const size_t bitsPerRow = static_cast<size_t>(p.width) * perPixel * p.bits;
  std::vector<uint8_t> row((bitsPerRow + 7) / 8, 0);
  size_t bit = 0;
  for (int storedX = 0; storedX < p.width; ++storedX)
    for (int s = 0; s < perPixel; ++s, bit += p.bits) {
      int x = storedX, y = storedY;
      Upright(p, x, y);
      const uint64_t v = StoredSample(p, x, y, contig ? s : plane);
      if (p.bits % 8 == 0) {
        for (int b = 0; b < p.bits / 8; ++b) row[bit / 8 + b] = static_cast<uint8_t>(v >> (8 * b));  // little-endian here
      } else {
        for (int b = 0; b < p.bits; ++b)  // from the top bit down
          if (v >> (p.bits - 1 - b) & 1) row[(bit + b) / 8] = static_cast<uint8_t>(row[(bit + b) / 8] | 0x80 >> ((bit + b) % 8));
      }
    }
  return row;
}

void Check(int ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("fixture: ") + what);
}

void WritePage(TIFF* t, const TiffPage& p) {
  Check(TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(p.width)), "width");
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(p.height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samples);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, p.planar);
  TIFFSetField(t, TIFFTAG_ORIENTATION, p.orientation);
  TIFFSetField(t, TIFFTAG_FILLORDER, p.fillOrder);
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, p.sampleFormat);
  if (p.smax > p.smin) {
    TIFFSetField(t, TIFFTAG_SMINSAMPLEVALUE, p.smin);
    TIFFSetField(t, TIFFTAG_SMAXSAMPLEVALUE, p.smax);
  }
  Check(TIFFSetField(t, TIFFTAG_COMPRESSION, p.compression), "compression");
  if (p.compression == COMPRESSION_WEBP) TIFFSetField(t, TIFFTAG_WEBP_LOSSLESS, p.webpLossless);
  if (p.group3Options) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, p.group3Options);
  if (p.compression == COMPRESSION_JPEG) {
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, 95);
    if (p.photometric == PHOTOMETRIC_YCBCR) TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  if (p.xres > 0) {
    TIFFSetField(t, TIFFTAG_XRESOLUTION, p.xres);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, p.yres);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, p.resUnit);
  }
  if (p.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
  if (p.extraSample != 0xFFFF) {
    const uint16_t extra[] = {p.extraSample};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  std::vector<uint16_t> map[3];
  if (p.photometric == PHOTOMETRIC_PALETTE) {
    for (auto& m : map) m.resize(1u << p.bits);
    for (unsigned i = 0; i < (1u << p.bits); ++i) {
      map[0][i] = static_cast<uint16_t>(Red(PaletteColour(i)) * 257);
      map[1][i] = static_cast<uint16_t>(Green(PaletteColour(i)) * 257);
      map[2][i] = static_cast<uint16_t>(Blue(PaletteColour(i)) * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  }
  const int planes = p.planar == PLANARCONFIG_SEPARATE ? p.samples : 1;
  if (p.tileWidth) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, p.tileWidth);
    TIFFSetField(t, TIFFTAG_TILELENGTH, p.tileHeight);
    const size_t rowBits = static_cast<size_t>(p.tileWidth) * (planes > 1 ? 1 : p.samples) * p.bits;
    std::vector<uint8_t> tile(TIFFTileSize(t));
    for (int plane = 0; plane < planes; ++plane)
      for (uint32_t y0 = 0; y0 < static_cast<uint32_t>(p.height); y0 += p.tileHeight)
        for (uint32_t x0 = 0; x0 < static_cast<uint32_t>(p.width); x0 += p.tileWidth) {
          std::fill(tile.begin(), tile.end(), 0);
          for (uint32_t r = 0; r < p.tileHeight && y0 + r < static_cast<uint32_t>(p.height); ++r) {
            const std::vector<uint8_t> row = StoredRow(p, static_cast<int>(y0 + r), plane);
            const size_t from = x0 * rowBits / p.tileWidth / 8;
            const size_t n = std::min(rowBits / 8, row.size() - from);
            std::memcpy(tile.data() + r * (rowBits / 8), row.data() + from, n);
          }
          Check(TIFFWriteEncodedTile(t, TIFFComputeTile(t, x0, y0, 0, static_cast<uint16_t>(plane)), tile.data(),
                                     static_cast<tmsize_t>(tile.size())) >= 0, "tile");
        }
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.rowsPerStrip);
    const uint32_t stripsPerPlane = (static_cast<uint32_t>(p.height) + p.rowsPerStrip - 1) / p.rowsPerStrip;
    for (int plane = 0; plane < planes; ++plane)
      for (uint32_t s = 0; s < stripsPerPlane; ++s) {
        std::vector<uint8_t> strip;
        for (uint32_t r = s * p.rowsPerStrip; r < std::min<uint32_t>((s + 1) * p.rowsPerStrip, p.height); ++r) {
          const std::vector<uint8_t> row = StoredRow(p, static_cast<int>(r), plane);
          strip.insert(strip.end(), row.begin(), row.end());
        }
        Check(TIFFWriteEncodedStrip(t, s + static_cast<uint32_t>(plane) * stripsPerPlane, strip.data(),
                                    static_cast<tmsize_t>(strip.size())) >= 0, "strip");
      }
  }
  Check(TIFFWriteDirectory(t), "directory");
}

}  // namespace

uint32_t BilevelPattern(int x, int y) { return ((x / 3 + y / 2) % 3 == 0 || x == y) ? 0 : 0xFFFFFF; }
uint32_t GreyPattern(int x, int y) { return ((x * 3 + y * 4) & 255) * 0x010101u; }
uint32_t ColourPattern(int x, int y) { return Rgb(x * 4, y * 6, (x + y) * 2 + 16); }

int ShownWidth(const TiffPage& p) { return p.orientation >= ORIENTATION_LEFTTOP ? p.height : p.width; }
int ShownHeight(const TiffPage& p) { return p.orientation >= ORIENTATION_LEFTTOP ? p.width : p.height; }

uint32_t ExpectedColour(const TiffPage& p, int x, int y) {
  if (p.expected) return p.expected(x, y);
  const uint32_t c = p.pattern(x, y);
  switch (p.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK: {
      if (p.bits == 1) return c ? 0xFFFFFF : 0;
      if (p.bits >= 8) return Red(c) * 0x010101u;
      return GreyLevel(c, p.bits) * 255 / Levels(p.bits) * 0x010101u;
    }
    case PHOTOMETRIC_PALETTE: return PaletteColour(PaletteIndex(x, y, p.bits));
    default: {
      if (p.samples < 4 || p.photometric == PHOTOMETRIC_SEPARATED) return c;
      const unsigned a = p.alpha(x, y);
      const auto over = [a](unsigned v) { return std::min(255u, (v * a + 127) / 255 + 255 - a); };
      return Rgb(over(Red(c)), over(Green(c)), over(Blue(c)));
    }
  }
}

// ---- the variants

namespace {

uint32_t GreyOf(unsigned level) { return (level & 255) * 0x010101u; }
// A ramp from 0 to 255 across the page, the same on every row.
unsigned Ramp(int x, int width) { return static_cast<unsigned>(x * 255 / (width - 1)); }

// A page of any sample form: value gives each stored sample from the
// ramp's level, expected the colour shown.
TiffPage Samples(uint16_t photometric, uint16_t bits, uint16_t samples, uint16_t format,
                 std::function<double(unsigned level, int sample)> value, std::function<uint32_t(unsigned level)> expected) {
  TiffPage p;
  p.width = 52, p.height = 9, p.rowsPerStrip = 4;
  p.photometric = photometric, p.bits = bits, p.samples = samples, p.sampleFormat = format;
  const int w = p.width;
  p.value = [w, value](int x, int, int s) { return value(Ramp(x, w), s); };
  p.expected = [w, expected](int x, int) { return expected(Ramp(x, w)); };
  return p;
}

template <class F>
TiffPage With(TiffPage p, F change) {
  change(p);
  return p;
}

// Six swatches across the page, each an L*a*b* colour under D50 and the
// sRGB colour it is (from sRGB's D50 matrix): white, black, a middle grey
// and three colours inside every encoding's range.
struct Swatch {
  double l, a, b;
  uint32_t srgb;
};
constexpr Swatch kSwatches[] = {{100, 0, 0, 0xFFFFFF},           {0, 0, 0, 0x000000},
                                {50, 0, 0, 0x777777},            {54.22, 38.20, 46.24, 0xC86432},
                                {55.39, -10.09, -38.94, 0x3C8CC8}, {73.68, -40.75, 46.11, 0x78C85A}};
TiffPage Lab(uint16_t photometric, uint16_t bits, std::function<double(const Swatch&, int sample)> encode) {
  TiffPage p;
  p.width = 36, p.height = 5;
  p.photometric = photometric, p.bits = bits, p.samples = 3;
  p.value = [encode](int x, int, int s) { return encode(kSwatches[x / 6], s); };
  p.expected = [](int x, int) { return kSwatches[x / 6].srgb; };
  return p;
}

TiffPage Plain(uint16_t bits, uint16_t samples, uint16_t photometric, uint16_t compression) {
  TiffPage p;
  p.bits = bits, p.samples = samples, p.photometric = photometric, p.compression = compression;
  p.pattern = samples == 1 ? GreyPattern : ColourPattern;
  return p;
}

}  // namespace

TiffPage Cmyk16Page(unsigned k) {
  return Samples(PHOTOMETRIC_SEPARATED, 16, 4, SAMPLEFORMAT_UINT,
                 [k](unsigned v, int s) { return (s == 3 ? k : s == 0 ? v : s == 1 ? 255 - v : 40) * 257.0; },
                 [k](unsigned v) {
                   const auto ink = [k](unsigned c) { return (255 - k) * (255 - c) / 255; };
                   return Rgb(ink(v), ink(255 - v), ink(40));
                 });
}

std::vector<VariantPage> VariantPages() {
  const auto lz = [](TiffPage& p) { p.compression = COMPRESSION_LZW; };
  return {
      {"1-bit palette", Plain(1, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE)},
      {"signed 16-bit ramp", Samples(PHOTOMETRIC_MINISBLACK, 16, 1, SAMPLEFORMAT_INT,
                                     [](unsigned v, int) { return v * 257.0 - 32768; }, GreyOf), 0, true},
      {"signed 8-bit ramp", Samples(PHOTOMETRIC_MINISBLACK, 8, 1, SAMPLEFORMAT_INT,
                                    [](unsigned v, int) { return v - 128.0; }, GreyOf), 0, true},
      {"signed 16-bit, 0..4095 by SMin/SMaxSampleValue",
       With(Samples(PHOTOMETRIC_MINISBLACK, 16, 1, SAMPLEFORMAT_INT, [](unsigned v, int) { return v * 4095.0 / 255; }, GreyOf),
            [](TiffPage& p) { p.smin = 0, p.smax = 4095; }), 1, true},
      {"float 32-bit grey by the page's range",
       Samples(PHOTOMETRIC_MINISBLACK, 32, 1, SAMPLEFORMAT_IEEEFP, [](unsigned v, int) { return v * 3.5 - 100; }, GreyOf), 0, true},
      {"float 32-bit grey by SMin/SMaxSampleValue",
       With(Samples(PHOTOMETRIC_MINISBLACK, 32, 1, SAMPLEFORMAT_IEEEFP, [](unsigned v, int) { return v / 255.0 * 0.5; },
                    [](unsigned v) { return GreyOf(v / 2 + (v & 1)); }), [](TiffPage& p) { p.smin = 0, p.smax = 1; }),
       1, true},
      {"float 16-bit RGB, LZW", With(Samples(PHOTOMETRIC_RGB, 16, 3, SAMPLEFORMAT_IEEEFP,
                                              [](unsigned v, int s) { return (s == 0 ? v : s == 1 ? 255 - v : 128) / 255.0; },
                                              [](unsigned v) { return Rgb(v, 255 - v, 128); }), lz), 1},
      {"float 64-bit RGB, separate planes",
       With(Samples(PHOTOMETRIC_RGB, 64, 3, SAMPLEFORMAT_IEEEFP, [](unsigned v, int s) { return s == 1 ? v / 255.0 : 0.0; },
                    [](unsigned v) { return Rgb(0, v, 0); }), [](TiffPage& p) { p.planar = PLANARCONFIG_SEPARATE; })},
      {"12-bit grey, LZW", With(Samples(PHOTOMETRIC_MINISBLACK, 12, 1, SAMPLEFORMAT_UINT,
                                        [](unsigned v, int) { return v * 4095.0 / 255; }, GreyOf), lz), 1, true},
      {"12-bit grey min-is-white, tiled",
       With(Samples(PHOTOMETRIC_MINISWHITE, 12, 1, SAMPLEFORMAT_UINT, [](unsigned v, int) { return 4095 - v * 4095.0 / 255; }, GreyOf),
            [](TiffPage& p) { p.tileWidth = p.tileHeight = 16; }), 1, true},
      {"32-bit unsigned grey", Samples(PHOTOMETRIC_MINISBLACK, 32, 1, SAMPLEFORMAT_UINT,
                                       [](unsigned v, int) { return v * 16843009.0; }, GreyOf), 0, true},
      {"32-bit signed RGB", Samples(PHOTOMETRIC_RGB, 32, 3, SAMPLEFORMAT_INT,
                                    [](unsigned v, int s) { return (s == 2 ? 255 - v : v) * 16843009.0 - 2147483648.0; },
                                    [](unsigned v) { return Rgb(v, v, 255 - v); })},
      {"16-bit CMYK", Cmyk16Page(0), 1},
      {"16-bit CMYK with black", Cmyk16Page(100), 1},
      {"8-bit CMYK, JPEG", With(Plain(8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_JPEG), [](TiffPage& p) { p.rowsPerStrip = 16; }), 12},
      {"CIELab 8-bit", Lab(PHOTOMETRIC_CIELAB, 8, [](const Swatch& c, int s) { return s == 0 ? c.l * 255 / 100 : s == 1 ? c.a : c.b; }), 3},
      {"CIELab 16-bit", Lab(PHOTOMETRIC_CIELAB, 16,
                            [](const Swatch& c, int s) { return s == 0 ? c.l * 65535 / 100 : (s == 1 ? c.a : c.b) * 256; }), 2},
      {"ICCLab 8-bit", Lab(PHOTOMETRIC_ICCLAB, 8,
                           [](const Swatch& c, int s) { return s == 0 ? c.l * 255 / 100 : (s == 1 ? c.a : c.b) + 128; }), 3},
      {"ITULab 8-bit", Lab(PHOTOMETRIC_ITULAB, 8, [](const Swatch& c, int s) {
         return s == 0 ? c.l * 255 / 100 : s == 1 ? (c.a + 21760.0 / 255) * 255 / (42670.0 / 255) : (c.b + 19200.0 / 255) * 255 / (51000.0 / 255);
       }), 3},
      {"grey 8-bit LZMA", Plain(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZMA), 0, true},
      {"RGB ZSTD", Plain(8, 3, PHOTOMETRIC_RGB, COMPRESSION_ZSTD)},
      {"RGB WebP lossless", Plain(8, 3, PHOTOMETRIC_RGB, COMPRESSION_WEBP)},
  };
}

std::vector<uint8_t> WriteTiff(const std::vector<TiffPage>& pages) {
  MemoryFile file;
  TIFF* t = TIFFClientOpen("fixture", "w", &file, &MemRead, &MemWrite, &MemSeek, &MemClose, &MemSize, &MemMap, &MemUnmap);
  Check(t != nullptr, "open");
  for (const TiffPage& p : pages) WritePage(t, p);
  TIFFClose(t);
  return file.bytes;
}

std::vector<uint8_t> DamagePage(std::vector<uint8_t> file, int index) {
  MemoryFile in{file, 0};
  TIFF* t = TIFFClientOpen("fixture", "rm", &in, &MemRead, &MemWrite, &MemSeek, &MemClose, &MemSize, &MemMap, &MemUnmap);
  Check(t && TIFFSetDirectory(t, static_cast<tdir_t>(index)), "page to damage");
  uint64_t *offsets = nullptr, *counts = nullptr;
  Check(TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) && TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts), "strips");
  const tstrile_t n = TIFFNumberOfStrips(t);
  for (tstrile_t i = 0; i < n; ++i)
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(offsets[i]), counts[i], 0xFF);
  TIFFClose(t);
  return file;
}

// ---- PCX

namespace {
uint32_t PcxPaletteColour(unsigned i) { return Rgb(i * 53 + 7, i * 29 + 100, 250 - i * 17); }
unsigned PcxIndex(const PcxSpec& s, int x, int y) {
  const int bits = s.bitsPerPlane * s.planes;
  return static_cast<unsigned>(x * 3 + y) % (1u << std::min(bits, 8));
}
}  // namespace

uint32_t ExpectedColour(const PcxSpec& s, int x, int y) {
  if (s.bitsPerPlane == 1 && s.planes == 1) return s.pattern(x, y) ? 0xFFFFFF : 0;
  if (s.bitsPerPlane == 8 && s.planes >= 3) return s.pattern(x, y);
  return PcxPaletteColour(PcxIndex(s, x, y));
}

std::vector<uint8_t> WritePcx(const PcxSpec& s) {
  const int lineBytes = (s.width * s.bitsPerPlane + 7) / 8 + s.extraLineBytes;
  std::vector<uint8_t> out(128, 0);
  out[0] = 0x0A;
  out[1] = 5;
  out[2] = s.encoded ? 1 : 0;
  out[3] = static_cast<uint8_t>(s.bitsPerPlane);
  const auto put16 = [&out](size_t at, int v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put16(4, s.x0);
  put16(6, s.y0);
  put16(8, s.x0 + s.width - 1);
  put16(10, s.y0 + s.height - 1);
  put16(12, 300);
  put16(14, 300);
  for (unsigned i = 0; i < 16; ++i) {
    uint32_t c = PcxPaletteColour(i);
    if (s.bitsPerPlane == 1 && s.planes == 1) c = (i == 0) == s.invertedMonochrome ? 0xFFFFFF : 0;
    out[16 + 3 * i] = Red(c);
    out[17 + 3 * i] = Green(c);
    out[18 + 3 * i] = Blue(c);
  }
  out[65] = static_cast<uint8_t>(s.planes);
  put16(66, lineBytes);
  put16(68, 1);
  for (int y = 0; y < s.height; ++y) {
    std::vector<uint8_t> line(static_cast<size_t>(lineBytes * s.planes), 0);
    for (int x = 0; x < s.width; ++x) {
      if (s.bitsPerPlane == 8 && s.planes >= 3) {
        const uint32_t c = s.pattern(x, y);
        line[static_cast<size_t>(x)] = Red(c);
        line[static_cast<size_t>(lineBytes + x)] = Green(c);
        line[static_cast<size_t>(2 * lineBytes + x)] = Blue(c);
        continue;
      }
      unsigned v = s.bitsPerPlane == 1 && s.planes == 1 ? (s.pattern(x, y) ? 1u : 0u) ^ (s.invertedMonochrome ? 1u : 0u)
                                                         : PcxIndex(s, x, y);
      for (int plane = 0; plane < s.planes; ++plane) {
        const unsigned part = s.planes > 1 ? (v >> plane & 1) : v;
        const size_t bit = static_cast<size_t>(x) * s.bitsPerPlane;
        line[static_cast<size_t>(plane * lineBytes) + bit / 8] |= static_cast<uint8_t>(part << (8 - s.bitsPerPlane - bit % 8));
      }
    }
    if (!s.encoded) {
      out.insert(out.end(), line.begin(), line.end());
      continue;
    }
    for (size_t i = 0; i < line.size();) {
      size_t run = 1;
      while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
      if (run > 1 || (line[i] & 0xC0) == 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
      out.push_back(line[i]);
      i += run;
    }
  }
  if (s.bitsPerPlane == 8 && s.planes == 1) {
    out.push_back(0x0C);
    for (unsigned i = 0; i < 256; ++i) {
      out.push_back(Red(PcxPaletteColour(i)));
      out.push_back(Green(PcxPaletteColour(i)));
      out.push_back(Blue(PcxPaletteColour(i)));
    }
  }
  return out;
}

}  // namespace mirabo::test
