#include "viewers/document/tiff_samples.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace mirabo {
namespace {

// TIFF's numbers for the colour models read here.
enum Model { kMinIsWhite = 0, kMinIsBlack = 1, kRgb = 2, kSeparated = 5, kCieLab = 8, kIccLab = 9, kItuLab = 10 };
enum Form { kUnsigned = 1, kSigned = 2, kFloat = 3 };

bool IsLab(int model) { return model == kCieLab || model == kIccLab || model == kItuLab; }

int ColourSamples(int model) {
  switch (model) {
    case kMinIsWhite:
    case kMinIsBlack: return 1;
    case kRgb: return 3;
    case kSeparated: return 4;
    default: return IsLab(model) ? 1 : 0;  // L alone is a grey L*a*b* page
  }
}

float HalfToFloat(uint16_t h) {
  const int sign = h >> 15, exponent = h >> 10 & 31, mantissa = h & 1023;
  float v;
  if (exponent == 0) v = std::ldexp(static_cast<float>(mantissa), -24);
  else if (exponent == 31) v = mantissa ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
  else v = std::ldexp(static_cast<float>(mantissa + 1024), exponent - 25);
  return sign ? -v : v;
}

// One stored sample as a number: integers as they are (signed ones with
// their sign), floating-point values as written.
class Samples {
 public:
  Samples(const StoredPlanes& stored, const SampleLayout& layout)
      : s_(stored), bits_(layout.bits), form_(layout.format), perPixel_(stored.separate ? 1 : layout.samples) {}

  double Get(int x, int y, int sample, bool asSigned) const {
    const uint8_t* row = s_.plane[s_.separate ? static_cast<size_t>(sample) : 0] + static_cast<size_t>(y) * s_.rowBytes;
    const size_t index = static_cast<size_t>(x) * static_cast<size_t>(perPixel_) + (s_.separate ? 0 : static_cast<size_t>(sample));
    if (form_ == kFloat) {
      if (bits_ == 16) {
        uint16_t h;
        std::memcpy(&h, row + index * 2, 2);
        return HalfToFloat(h);
      }
      if (bits_ == 32) {
        float f;
        std::memcpy(&f, row + index * 4, 4);
        return f;
      }
      double d;
      std::memcpy(&d, row + index * 8, 8);
      return d;
    }
    uint64_t v = 0;
    switch (bits_) {
      case 8: v = row[index]; break;
      case 16: { uint16_t w; std::memcpy(&w, row + index * 2, 2); v = w; break; }
      case 24: v = row[index * 3] | row[index * 3 + 1] << 8 | static_cast<uint32_t>(row[index * 3 + 2]) << 16; break;
      case 32: { uint32_t w; std::memcpy(&w, row + index * 4, 4); v = w; break; }
      default: {  // packed from the top bit down, as TIFF stores odd depths
        const size_t bit = index * static_cast<size_t>(bits_);
        for (int i = 0; i < bits_; ++i) {
          const size_t b = bit + static_cast<size_t>(i);
          v = v << 1 | (row[b >> 3] >> (7 - (b & 7)) & 1);
        }
      }
    }
    if ((asSigned || form_ == kSigned) && bits_ < 64 && (v >> (bits_ - 1) & 1)) return static_cast<double>(v) - std::ldexp(1.0, bits_);
    return static_cast<double>(v);
  }

 private:
  const StoredPlanes& s_;
  int bits_, form_, perPixel_;
};

// Each colour sample from its stored number to 0..1: unsigned integers by
// their depth, signed ones by SMin/SMaxSampleValue or else their depth's
// whole range, floating-point ones by SMin/SMax or else the page's lowest
// and highest finite values.
class Scale {
 public:
  Scale(const Samples& samples, const StoredPlanes& stored, const SampleLayout& layout, int colourSamples) {
    const double full = std::ldexp(1.0, layout.bits) - 1;
    if (layout.format == kUnsigned) {
      low_ = 0, span_ = full;
    } else if (layout.hasRange && layout.rangeMax > layout.rangeMin) {
      low_ = layout.rangeMin, span_ = layout.rangeMax - layout.rangeMin;
    } else if (layout.format == kSigned) {
      low_ = -std::ldexp(1.0, layout.bits - 1), span_ = full;
    } else {
      double lo = std::numeric_limits<double>::infinity(), hi = -lo;
      for (int y = 0; y < stored.height; ++y)
        for (int x = 0; x < stored.width; ++x)
          for (int s = 0; s < colourSamples; ++s) {
            const double v = samples.Get(x, y, s, false);
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
          }
      if (!(hi > lo)) {  // one value (or none): the usual 0..1 of such pages
        lo = std::isfinite(lo) ? std::min(lo, 0.0) : 0.0;
        hi = std::isfinite(hi) ? std::max(hi, 1.0) : 1.0;
      }
      low_ = lo, span_ = hi - lo;
    }
  }
  uint8_t Level(double v) const {
    if (std::isnan(v)) return 0;
    const double n = std::clamp((v - low_) / span_, 0.0, 1.0);
    return static_cast<uint8_t>(std::lround(n * 255));
  }

 private:
  double low_ = 0, span_ = 1;
};

// Alpha as a share: integers by their depth, floating point as it is.
double AlphaShare(double v, const SampleLayout& layout) {
  if (layout.format == kFloat) return std::isnan(v) ? 1.0 : std::clamp(v, 0.0, 1.0);
  return std::clamp(v / (std::ldexp(1.0, layout.bits) - 1), 0.0, 1.0);
}

uint8_t OverWhite(uint8_t level, double alpha, bool associated) {
  const double v = associated ? level + 255 * (1 - alpha) : level * alpha + 255 * (1 - alpha);
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// L*a*b* under D50 to sRGB, the page's white staying white.
class LabToSrgb {
 public:
  LabToSrgb() {
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr), srgb = cmsCreate_sRGBProfile();
    transform_ = lab && srgb ? cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC, 0) : nullptr;
    if (lab) cmsCloseProfile(lab);
    if (srgb) cmsCloseProfile(srgb);
    if (!transform_) throw EDocumentError("L*a*b* の色を変換できません");
  }
  ~LabToSrgb() { cmsDeleteTransform(transform_); }
  LabToSrgb(const LabToSrgb&) = delete;
  LabToSrgb& operator=(const LabToSrgb&) = delete;
  void Row(const std::vector<cmsCIELab>& in, uint8_t* bgr) const {
    cmsDoTransform(transform_, in.data(), bgr, static_cast<cmsUInt32Number>(in.size()));
  }

 private:
  cmsHTRANSFORM transform_ = nullptr;
};

// The three L*a*b* encodings: CIELab (L unsigned, a and b signed),
// ICCLab (all unsigned, a and b offset by 128) and ITULab (each channel
// stretched over its default range). Floating-point samples are the
// values themselves.
cmsCIELab LabOf(const Samples& samples, const SampleLayout& layout, int x, int y) {
  const bool three = layout.samples >= 3;
  if (layout.format == kFloat)
    return {samples.Get(x, y, 0, false), three ? samples.Get(x, y, 1, false) : 0, three ? samples.Get(x, y, 2, false) : 0};
  const double full = std::ldexp(1.0, layout.bits) - 1;
  const double l = samples.Get(x, y, 0, false) / full * 100;
  if (!three) return {l, 0, 0};
  switch (layout.photometric) {
    case kCieLab: {
      const double unit = std::ldexp(1.0, layout.bits - 8);
      return {l, samples.Get(x, y, 1, true) / unit, samples.Get(x, y, 2, true) / unit};
    }
    case kIccLab: return {l, samples.Get(x, y, 1, false) / full * 255 - 128, samples.Get(x, y, 2, false) / full * 255 - 128};
    default:
      return {l, -21760.0 / 255 + samples.Get(x, y, 1, false) / full * (42670.0 / 255),
              -19200.0 / 255 + samples.Get(x, y, 2, false) / full * (51000.0 / 255)};
  }
}

}  // namespace

bool NeedsSampleReader(const SampleLayout& l) {
  const bool usualDepth = l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8 || l.bits == 16;
  return l.format != kUnsigned || IsLab(l.photometric) || !usualDepth || (l.photometric == kSeparated && l.bits != 8);
}

bool SampleReaderShows(const SampleLayout& l) {
  const int colour = ColourSamples(l.photometric);
  if (colour == 0 || l.samples < colour || l.samples > 16) return false;
  if (l.format == kFloat) return l.bits == 16 || l.bits == 32 || l.bits == 64;
  if (l.format == kSigned && l.bits < 2) return false;
  return (l.format == kUnsigned || l.format == kSigned) && l.bits >= 1 && l.bits <= 32;
}

DocPage PageFromSamples(const StoredPlanes& stored, const SampleLayout& layout, DocPage* recycle) {
  if (!SampleReaderShows(layout)) throw EDocumentError("このページの形式には対応していません。");
  const int model = layout.photometric;
  const bool lab = IsLab(model), grey = model == kMinIsWhite || model == kMinIsBlack;
  const int colourSamples = lab ? std::min(layout.samples, 3) : ColourSamples(model);
  const bool alpha = layout.extraAlpha != 0 && layout.samples > colourSamples;
  const bool associated = layout.extraAlpha == 1;
  const Samples samples(stored, layout);
  DocPage page = MakePage(stored.width, stored.height, grey ? PageFormat::Grey : PageFormat::Colour, recycle);

  if (lab) {
    const LabToSrgb convert;
    std::vector<cmsCIELab> row(static_cast<size_t>(stored.width));
    for (int y = 0; y < stored.height; ++y) {
      for (int x = 0; x < stored.width; ++x) row[static_cast<size_t>(x)] = LabOf(samples, layout, x, y);
      uint8_t* out = page.Row(y);
      convert.Row(row, out);
      if (alpha)
        for (int x = 0; x < stored.width; ++x) {
          const double a = AlphaShare(samples.Get(x, y, colourSamples, false), layout);
          for (int c = 0; c < 3; ++c) out[3 * x + c] = OverWhite(out[3 * x + c], a, associated);
        }
    }
    return page;
  }

  const Scale scale(samples, stored, layout, colourSamples);
  for (int y = 0; y < stored.height; ++y) {
    uint8_t* out = page.Row(y);
    for (int x = 0; x < stored.width; ++x) {
      uint8_t v[4];
      for (int s = 0; s < colourSamples; ++s) v[s] = scale.Level(samples.Get(x, y, s, false));
      uint8_t r, g, b;
      if (grey) {
        r = g = b = model == kMinIsWhite ? static_cast<uint8_t>(255 - v[0]) : v[0];
      } else if (model == kSeparated) {  // as libtiff shows 8-bit CMYK
        const unsigned k = 255u - v[3];
        r = static_cast<uint8_t>(k * (255u - v[0]) / 255u);
        g = static_cast<uint8_t>(k * (255u - v[1]) / 255u);
        b = static_cast<uint8_t>(k * (255u - v[2]) / 255u);
      } else {
        r = v[0], g = v[1], b = v[2];
      }
      if (alpha) {
        const double a = AlphaShare(samples.Get(x, y, colourSamples, false), layout);
        r = OverWhite(r, a, associated), g = OverWhite(g, a, associated), b = OverWhite(b, a, associated);
      }
      if (grey) {
        out[x] = r;
      } else {
        out[3 * x] = b;
        out[3 * x + 1] = g;
        out[3 * x + 2] = r;
      }
    }
  }
  return page;
}

}  // namespace mirabo
