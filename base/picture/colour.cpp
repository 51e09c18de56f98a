#include "base/picture/colour.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string_view>

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

std::string KeyOf(std::span<const uint8_t> icc) {
  const std::string_view bytes(reinterpret_cast<const char*>(icc.data()), icc.size());
  return std::to_string(icc.size()) + ":" + std::to_string(std::hash<std::string_view>{}(bytes));
}

}  // namespace

ColourTransform::~ColourTransform() {
  if (transform_) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void ColourTransform::Apply(const uint8_t* in, uint8_t* out, size_t pixels) const {
  cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), in, out, static_cast<cmsUInt32Number>(pixels));
}

ColourManager::ColourManager() { SetDisplayProfile({}); }

ColourManager::~ColourManager() {
  kept_.clear();
  if (display_) cmsCloseProfile(static_cast<cmsHPROFILE>(display_));
}

void ColourManager::SetDisplayProfile(std::span<const uint8_t> icc) {
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
    if (t) made = std::make_shared<ColourTransform>(t, layout);
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
