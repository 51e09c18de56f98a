// Colour management: which pictures get a transform to the display's
// colours, and what a wide-gamut red becomes on an sRGB display.
#include "base/picture/colour.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace mirabo
