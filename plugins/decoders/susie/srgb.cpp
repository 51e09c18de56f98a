// Through Little CMS, 8 bits a channel, alpha copied as it is.
#include "plugins/decoders/susie/srgb.h"

#include <lcms2.h>

#include <memory>

namespace mirabo::decoders {
namespace {

struct ProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
struct CurveDeleter {
  void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};

void Transform(Canvas& canvas, cmsHPROFILE from) {
  if (!from || cmsGetColorSpace(from) != cmsSigRgbData) return;
  const Profile srgb(cmsCreate_sRGBProfile());
  const cmsUInt32Number format = canvas.Alpha() ? TYPE_BGRA_8 : TYPE_BGR_8;
  const std::unique_ptr<void, TransformDeleter> transform(cmsCreateTransform(
      from, format, srgb.get(), format, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA));
  if (!transform) return;
  for (std::uint32_t y = 0; y < canvas.Height(); ++y) {
    cmsDoTransform(transform.get(), canvas.Row(y), canvas.Row(y), canvas.Width());
  }
}

struct Primaries {
  int code;
  cmsCIExyYTRIPLE rgb;
  cmsCIExyY white;
};
constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
const Primaries kPrimaries[] = {
    {1, {{0.640, 0.330, 1}, {0.300, 0.600, 1}, {0.150, 0.060, 1}}, kD65},        // BT.709 / sRGB
    {4, {{0.67, 0.33, 1}, {0.21, 0.71, 1}, {0.14, 0.08, 1}}, {0.310, 0.316, 1}},  // BT.470 M
    {5, {{0.64, 0.33, 1}, {0.29, 0.60, 1}, {0.15, 0.06, 1}}, kD65},              // BT.470 BG
    {6, {{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}}, kD65},        // BT.601
    {7, {{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}}, kD65},        // SMPTE 240
    {9, {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}, kD65},        // BT.2020
    {11, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, {0.314, 0.351, 1}},  // DCI-P3
    {12, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, kD65},       // Display P3
};

// Decoding curves as Little CMS's type 4: Y = (aX + b)^g above d, cX below.
cmsToneCurve* Curve(int transfer) {
  switch (transfer) {
    case 1: case 6: case 14: case 15: {  // BT.709 and its kin
      const cmsFloat64Number p[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case 4: return cmsBuildGamma(nullptr, 2.2);
    case 5: return cmsBuildGamma(nullptr, 2.8);
    case 8: return cmsBuildGamma(nullptr, 1.0);
    case 2: case 13: case 16: case 18: default: {
      // sRGB; PQ and HLG pictures are shown with it too (no tone mapping).
      const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
  }
}

// An RGB profile of the primaries and one curve for all three channels.
void CurveToSrgb(Canvas& canvas, const cmsCIExyY& white, const cmsCIExyYTRIPLE& rgb, cmsToneCurve* curve) {
  if (!curve) return;
  const std::unique_ptr<cmsToneCurve, CurveDeleter> owned(curve);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  const Profile profile(cmsCreateRGBProfile(&white, &rgb, curves));
  Transform(canvas, profile.get());
}

}  // namespace

void ProfileToSrgb(Canvas& canvas, Bytes icc) {
  if (icc.empty()) return;
  const Profile profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
  Transform(canvas, profile.get());
}

void GammaToSrgb(Canvas& canvas, double fileGamma, const Chromaticities* c) {
  if (!(fileGamma > 0.01 && fileGamma < 10)) return;
  const Primaries& srgb = kPrimaries[0];
  const cmsCIExyY white = c ? cmsCIExyY{c->white[0], c->white[1], 1.0} : srgb.white;
  const cmsCIExyYTRIPLE rgb = c ? cmsCIExyYTRIPLE{{c->red[0], c->red[1], 1.0}, {c->green[0], c->green[1], 1.0},
                                                  {c->blue[0], c->blue[1], 1.0}}
                                : srgb.rgb;
  CurveToSrgb(canvas, white, rgb, cmsBuildGamma(nullptr, 1.0 / fileGamma));
}

bool CicpIsSrgb(int primaries, int transfer) {
  const bool srgb_primaries = primaries == 1 || primaries == 2;
  const bool srgb_curve = transfer == 1 || transfer == 2 || transfer == 6 || transfer == 13 || transfer == 14 ||
                          transfer == 15;
  return srgb_primaries && srgb_curve;
}

void CicpToSrgb(Canvas& canvas, int primaries, int transfer) {
  if (CicpIsSrgb(primaries, transfer)) return;
  if (primaries == 2) primaries = 1;
  const Primaries* found = nullptr;
  for (const auto& p : kPrimaries) {
    if (p.code == primaries) found = &p;
  }
  if (!found) return;
  CurveToSrgb(canvas, found->white, found->rgb, Curve(transfer));
}

}  // namespace mirabo::decoders
