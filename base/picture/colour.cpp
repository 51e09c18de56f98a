#include "base/picture/colour.h"

#include <lcms2.h>

#include <algorithm>
#include <mutex>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace mirabo {
namespace {

constexpr size_t kKeepTransforms = 8;

struct ProfileCloser {
  void operator()(void* p) const {
    if (p) cmsCloseProfile(static_cast<cmsHPROFILE>(p));
  }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile Open(std::span<const uint8_t> icc) {
  if (icc.empty() || icc.size() > (64u << 20)) return nullptr;
  return Profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

// Whether two RGB profiles describe the same colours: a set of colours taken
// from one to the other comes back within a level. (Profiles named sRGB
// differ in their bytes from writer to writer; their colours do not.)
bool SameColours(cmsHPROFILE profile, cmsHPROFILE other) {
  if (!profile || !other || cmsGetColorSpace(profile) != cmsSigRgbData || cmsGetColorSpace(other) != cmsSigRgbData)
    return false;
  const cmsHTRANSFORM t = cmsCreateTransform(profile, TYPE_RGB_8, other, TYPE_RGB_8,
                                             INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE);
  if (!t) return false;
  static constexpr uint8_t kProbe[] = {255, 0,   0,   0,   255, 0,   0,  0,   255, 255, 255, 255, 0,   0,
                                       0,   128, 128, 128, 200, 100, 50, 30,  160, 220, 64,  64,  64,  255,
                                       255, 0,   0,   255, 255, 240, 16, 128};
  constexpr size_t kPixels = sizeof kProbe / 3;
  uint8_t out[sizeof kProbe];
  cmsDoTransform(t, kProbe, out, kPixels);
  cmsDeleteTransform(t);
  for (size_t i = 0; i < sizeof kProbe; ++i)
    if (std::abs(static_cast<int>(out[i]) - static_cast<int>(kProbe[i])) > 1) return false;
  return true;
}

// An RGB profile that is colourants and curves alone, the way Little CMS
// would use it for the perceptual intent (no tables standing in for it).
struct Shape {
  double toXyz[3][3];  // columns: red, green, blue
  const cmsToneCurve* curves[3];
};

bool ReadShape(cmsHPROFILE profile, int direction, Shape& shape) {
  if (cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile) ||
      cmsIsCLUT(profile, INTENT_PERCEPTUAL, direction))
    return false;
  static constexpr cmsTagSignature kColourants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                                     cmsSigBlueColorantTag};
  static constexpr cmsTagSignature kCurves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, kColourants[c]));
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, kCurves[c]));
    if (!xyz || !curve || !cmsIsToneCurveMonotonic(curve)) return false;
    shape.toXyz[0][c] = xyz->X;
    shape.toXyz[1][c] = xyz->Y;
    shape.toXyz[2][c] = xyz->Z;
    shape.curves[c] = curve;
  }
  return true;
}

bool Invert(const double m[3][3], double inverse[3][3]) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!std::isfinite(det) || std::abs(det) < 1e-9) return false;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
      inverse[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
    }
  return true;
}

void ApplyTables(const MatrixShaper& t, const uint8_t* in, uint8_t* out, size_t pixels) {
  constexpr float kTop = MatrixShaper::kSteps - 1;
  const uint8_t* const outR = t.out[0].data();
  const uint8_t* const outG = t.out[1].data();
  const uint8_t* const outB = t.out[2].data();
#if defined(__SSE2__) || defined(_M_X64)
  // The three channels of a pixel as one vector: a photo is tens of
  // millions of pixels and this runs beside the decoder on the other core.
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), top = _mm_set1_ps(kTop),
               half = _mm_set1_ps(0.5f);
  for (size_t i = 0; i < pixels; ++i, in += 3, out += 3) {
    __m128 light = _mm_add_ps(_mm_add_ps(_mm_load_ps(t.columns[0][in[0]]), _mm_load_ps(t.columns[1][in[1]])),
                              _mm_load_ps(t.columns[2][in[2]]));
    light = _mm_sqrt_ps(_mm_min_ps(_mm_max_ps(light, zero), one));
    const __m128i index = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(light, top), half));
    const int r = _mm_cvtsi128_si32(index), g = _mm_cvtsi128_si32(_mm_srli_si128(index, 4)),
              b = _mm_cvtsi128_si32(_mm_srli_si128(index, 8));
    out[0] = outB[b];
    out[1] = outG[g];
    out[2] = outR[r];
  }
#else
  for (size_t i = 0; i < pixels; ++i, in += 3, out += 3) {
    const float* b = t.columns[0][in[0]];
    const float* g = t.columns[1][in[1]];
    const float* r = t.columns[2][in[2]];
    int index[3];
    for (int c = 0; c < 3; ++c)
      index[c] = static_cast<int>(std::sqrt(std::clamp(b[c] + g[c] + r[c], 0.0f, 1.0f)) * kTop + 0.5f);
    out[0] = outB[index[2]];
    out[1] = outG[index[1]];
    out[2] = outR[index[0]];
  }
#endif
}

// The tables for source to display, when both are colourants and curves.
std::unique_ptr<const MatrixShaper> MakeTables(cmsHPROFILE source, cmsHPROFILE display) {
  Shape from{}, to{};
  double fromXyz[3][3];
  if (!ReadShape(source, LCMS_USED_AS_INPUT, from) || !ReadShape(display, LCMS_USED_AS_OUTPUT, to) ||
      !Invert(to.toXyz, fromXyz))
    return nullptr;
  auto tables = std::make_unique<MatrixShaper>();
  for (int j = 0; j < 3; ++j) {  // input r, g, b; stored in the pixels' order b, g, r
    float(*column)[4] = tables->columns[2 - j];
    for (int level = 0; level < 256; ++level) {
      const double light = cmsEvalToneCurveFloat(from.curves[j], static_cast<cmsFloat32Number>(level / 255.0));
      for (int i = 0; i < 3; ++i) {
        double m = 0;
        for (int k = 0; k < 3; ++k) m += fromXyz[i][k] * from.toXyz[k][j];
        column[level][i] = static_cast<float>(light * m);
      }
      column[level][3] = 0;
    }
  }
  for (int i = 0; i < 3; ++i) {
    // Each output level's upper edge in linear light; an index takes the
    // level whose span holds its light.
    double edge[255];
    for (int v = 0; v < 255; ++v)
      edge[v] = cmsEvalToneCurveFloat(to.curves[i], static_cast<cmsFloat32Number>((v + 0.5) / 255.0));
    std::vector<uint8_t>& out = tables->out[i];
    out.resize(MatrixShaper::kSteps);
    int v = 0;
    for (int s = 0; s < MatrixShaper::kSteps; ++s) {
      const double root = s / double(MatrixShaper::kSteps - 1), light = root * root;
      while (v < 255 && light >= edge[v]) ++v;
      out[static_cast<size_t>(s)] = static_cast<uint8_t>(v);
    }
  }
  return tables;
}

// Whether the tables give what Little CMS gives, within a level or two,
// over a grid of colours: profiles can hold what the tables do not know.
bool TablesAgree(const MatrixShaper& tables, cmsHTRANSFORM engine) {
  constexpr int kGrid = 9;
  std::vector<uint8_t> grid;
  for (int b = 0; b < kGrid; ++b)
    for (int g = 0; g < kGrid; ++g)
      for (int r = 0; r < kGrid; ++r)
        for (int level : {b, g, r}) grid.push_back(static_cast<uint8_t>(std::min(255, level * 32)));
  const size_t pixels = grid.size() / 3;
  std::vector<uint8_t> fast(grid.size()), reference(grid.size());
  ApplyTables(tables, grid.data(), fast.data(), pixels);
  cmsDoTransform(engine, grid.data(), reference.data(), static_cast<cmsUInt32Number>(pixels));
  for (size_t i = 0; i < grid.size(); ++i)
    if (std::abs(fast[i] - reference[i]) > 2) return false;
  return true;
}

std::string KeyOf(std::span<const uint8_t> icc) {
  const std::string_view bytes(reinterpret_cast<const char*>(icc.data()), icc.size());
  return std::to_string(icc.size()) + ":" + std::to_string(std::hash<std::string_view>{}(bytes));
}

}  // namespace

ColourTransform::ColourTransform(void* transform, PixelLayout input, std::unique_ptr<const MatrixShaper> fast)
    : transform_(transform), input_(input), fast_(std::move(fast)) {}

ColourTransform::~ColourTransform() {
  if (transform_) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void ColourTransform::Apply(const uint8_t* in, uint8_t* out, size_t pixels) const {
  if (fast_) return ApplyTables(*fast_, in, out, pixels);
  cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), in, out, static_cast<cmsUInt32Number>(pixels));
}

ColourManager::ColourManager() { SetDisplayProfile({}); }

ColourManager::~ColourManager() {
  kept_.clear();
  if (display_) cmsCloseProfile(static_cast<cmsHPROFILE>(display_));
}

void ColourManager::SetDisplayProfile(std::span<const uint8_t> icc) {
  const std::lock_guard lock(mutex_);
  Profile display = Open(icc);
  if (!display || cmsGetColorSpace(display.get()) != cmsSigRgbData) display.reset(cmsCreate_sRGBProfile());
  const std::string key = display ? KeyOf(icc) : "sRGB";
  if (display_ && key == displayKey_) return;
  if (display_) cmsCloseProfile(static_cast<cmsHPROFILE>(display_));
  display_ = display.release();
  displayKey_ = key;
  Profile srgb(cmsCreate_sRGBProfile());
  displayIsSrgb_ = SameColours(static_cast<cmsHPROFILE>(display_), srgb.get());
  kept_.clear();  // made for the display before
}

std::shared_ptr<const ColourTransform> ColourManager::For(std::span<const uint8_t> icc, PixelLayout layout) {
  const std::lock_guard lock(mutex_);
  const std::string key = KeyOf(icc) + "/" + std::to_string(static_cast<int>(layout));
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->key != key) continue;
    kept_.splice(kept_.begin(), kept_, it);
    return kept_.front().transform;
  }
  std::shared_ptr<const ColourTransform> made;
  const bool ink = layout != PixelLayout::Bgr;
  Profile source = icc.empty() ? nullptr : Open(icc);
  const bool usable =
      source && cmsGetColorSpace(source.get()) == (ink ? cmsSigCmykData : cmsSigRgbData);
  if (icc.empty() && !ink) {
    // No profile: sRGB, which needs converting only for another display.
    if (!displayIsSrgb_) source.reset(cmsCreate_sRGBProfile());
  } else if (!usable || (!ink && SameColours(source.get(), static_cast<cmsHPROFILE>(display_)))) {
    source.reset();  // unusable, or already the display's colours
  }
  if (source) {
    const cmsUInt32Number input = layout == PixelLayout::Bgr    ? TYPE_BGR_8
                                  : layout == PixelLayout::Cmyk ? TYPE_CMYK_8
                                                                : TYPE_CMYK_8_REV;
    const cmsHTRANSFORM t = cmsCreateTransform(source.get(), input, static_cast<cmsHPROFILE>(display_), TYPE_BGR_8,
                                               INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (t) {
      std::unique_ptr<const MatrixShaper> fast;
      if (!ink) fast = MakeTables(source.get(), static_cast<cmsHPROFILE>(display_));
      if (fast && !TablesAgree(*fast, t)) fast.reset();
      made = std::make_shared<ColourTransform>(t, layout, std::move(fast));
    }
  }
  kept_.push_front({key, made});
  if (kept_.size() > kKeepTransforms) kept_.pop_back();
  return made;
}

std::string ColourManager::Description(std::span<const uint8_t> icc) {
  const Profile profile = Open(icc);
  if (!profile) return {};
  char text[256] = "";
  cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
  return text;
}

}  // namespace mirabo
