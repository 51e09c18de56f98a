// Colour management: which pictures get a transform to the display's
// colours, and what a wide-gamut red becomes on an sRGB display.
#include "base/picture/colour.h"

#include <gtest/gtest.h>

#include <lcms2.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "tests/base/picture/colour_fixtures.h"

namespace mirabo {
namespace {

struct Bgr {
  int b, g, r;
};
Bgr Through(const ColourTransform& t, Bgr in) {
  uint8_t px[3] = {static_cast<uint8_t>(in.b), static_cast<uint8_t>(in.g), static_cast<uint8_t>(in.r)};
  t.Apply(px, px, 1);
  return {px[0], px[1], px[2]};
}

TEST(Colour, OnlyPicturesNotInTheDisplaysColoursAreConverted) {
  const auto p3 = testing::DisplayP3Profile(), srgb = testing::SrgbProfile();
  ColourManager manager;  // an sRGB display
  EXPECT_TRUE(manager.DisplayIsSrgb());
  EXPECT_EQ(manager.For({}, PixelLayout::Bgr), nullptr) << "no profile on an sRGB display";
  EXPECT_EQ(manager.For(srgb, PixelLayout::Bgr), nullptr) << "an embedded sRGB profile";
  const std::vector<uint8_t> broken(300, 7);
  EXPECT_EQ(manager.For(broken, PixelLayout::Bgr), nullptr) << "a profile that cannot be read is left alone";
  EXPECT_EQ(manager.For(p3, PixelLayout::Cmyk), nullptr) << "an RGB profile for ink";
  const auto fromP3 = manager.For(p3, PixelLayout::Bgr);
  ASSERT_NE(fromP3, nullptr);
  EXPECT_EQ(manager.For(p3, PixelLayout::Bgr), fromP3) << "made once, kept";
  // P3's pure red lies outside sRGB: it comes out as sRGB's most saturated red.
  const Bgr red = Through(*fromP3, {0, 0, 255});
  EXPECT_EQ(red.r, 255);
  EXPECT_LE(red.g, 40);
  EXPECT_LE(red.b, 40);
  const Bgr grey = Through(*fromP3, {128, 128, 128});
  EXPECT_LE(std::abs(grey.r - 128) + std::abs(grey.g - 128) + std::abs(grey.b - 128), 3) << "greys stay grey";
  EXPECT_EQ(ColourManager::Description(p3), "Display P3");
  EXPECT_EQ(ColourManager::Description(broken), "");

  // On a wide-gamut display even pictures without a profile are converted:
  // sRGB's red is not the display's reddest.
  manager.SetDisplayProfile(p3);
  EXPECT_FALSE(manager.DisplayIsSrgb());
  const auto fromSrgb = manager.For({}, PixelLayout::Bgr);
  ASSERT_NE(fromSrgb, nullptr);
  const Bgr srgbRed = Through(*fromSrgb, {0, 0, 255});
  EXPECT_LT(srgbRed.r, 250);
  EXPECT_EQ(manager.For(p3, PixelLayout::Bgr), nullptr) << "a P3 picture on a P3 display";
}

// The fast tables against Little CMS computing in double precision, for
// pairs of profiles users have: every colour of a grid, and the darks
// level by level where a curve's steps are finest.
TEST(Colour, TablesGiveTheEnginesColoursWithinALevel) {
  const auto p3 = testing::DisplayP3Profile(), srgb = testing::SrgbProfile(), adobe = testing::AdobeRgbProfile();
  const struct {
    const char* name;
    std::vector<uint8_t> picture, display;
  } pairs[] = {
      {"Display P3 on sRGB", p3, srgb},
      {"sRGB on Display P3", srgb, p3},
      {"Display P3 on Adobe RGB", p3, adobe},
      {"Adobe RGB on sRGB", adobe, srgb},
  };
  std::vector<uint8_t> colours;
  for (int b = 0; b <= 256; b += 16)
    for (int g = 0; g <= 256; g += 16)
      for (int r = 0; r <= 256; r += 16)
        for (int level : {b, g, r}) colours.push_back(static_cast<uint8_t>(std::min(level, 255)));
  for (int level = 0; level < 48; ++level)
    for (int grey : {level, level, level, level, 0, 0, 0, level, 0}) colours.push_back(static_cast<uint8_t>(grey));
  const size_t pixels = colours.size() / 3;
  for (const auto& pair : pairs) {
    ColourManager manager;
    manager.SetDisplayProfile(pair.display);
    const auto fast = manager.For(pair.picture, PixelLayout::Bgr);
    ASSERT_NE(fast, nullptr) << pair.name;
    EXPECT_TRUE(fast->Fast()) << pair.name;
    std::vector<uint8_t> got(colours.size());
    fast->Apply(colours.data(), got.data(), pixels);

    cmsHPROFILE from = cmsOpenProfileFromMem(pair.picture.data(), static_cast<cmsUInt32Number>(pair.picture.size()));
    cmsHPROFILE to = cmsOpenProfileFromMem(pair.display.data(), static_cast<cmsUInt32Number>(pair.display.size()));
    cmsHTRANSFORM exact = cmsCreateTransform(from, TYPE_BGR_DBL, to, TYPE_BGR_DBL, INTENT_PERCEPTUAL, cmsFLAGS_NOOPTIMIZE);
    ASSERT_NE(exact, nullptr);
    std::vector<double> in(colours.begin(), colours.end()), want(colours.size());
    for (double& v : in) v /= 255;
    cmsDoTransform(exact, in.data(), want.data(), static_cast<cmsUInt32Number>(pixels));
    cmsDeleteTransform(exact);
    cmsCloseProfile(from);
    cmsCloseProfile(to);
    int worst = 0;
    size_t at = 0;
    for (size_t i = 0; i < colours.size(); ++i) {
      const int expected = static_cast<int>(std::lround(std::clamp(want[i], 0.0, 1.0) * 255));
      if (std::abs(got[i] - expected) > worst) worst = std::abs(got[i] - expected), at = i;
    }
    EXPECT_LE(worst, 1) << pair.name << ": pixel " << at / 3 << " (bgr " << int(colours[at / 3 * 3]) << ","
                        << int(colours[at / 3 * 3 + 1]) << "," << int(colours[at / 3 * 3 + 2]) << ") channel "
                        << at % 3 << " gives " << int(got[at]) << ", exactly " << want[at] * 255;
  }
}

}  // namespace
}  // namespace mirabo
