#include "base/picture/jpeg_rotate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/picture/jpeg_decode.h"
#include "base/picture/jpeg_metadata.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::JpegExtras;
using testing::JpegKind;

struct Pixel {
  int r, g, b;
};

Pixel At(const std::vector<uint8_t>& px, int width, int components, int x, int y) {
  const uint8_t* p = &px[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                         static_cast<size_t>(components)];
  return components == 1 ? Pixel{p[0], p[0], p[0]} : Pixel{p[0], p[1], p[2]};
}

bool Near(Pixel a, testing::Rgb b) {
  return std::abs(a.r - b.r) < 24 && std::abs(a.g - b.g) < 24 && std::abs(a.b - b.b) < 24;
}

// A payload from a literal, embedded NULs included.
template <size_t N>
std::vector<uint8_t> App1(const char (&text)[N]) {
  return std::vector<uint8_t>(text, text + N - 1);
}

// Each quadrant of the four-colour pattern must land where the turn puts it.
TEST(RotateJpeg, QuadrantsTurnLeftAndRightAtFullSize) {
  const auto src = testing::MakeJpeg(JpegKind::Rgb, 64, 48, 95);
  for (const bool left : {true, false}) {
    SCOPED_TRACE(left ? "left" : "right");
    int w, h, comps;
    const auto px = testing::DecodeAll(RotateJpegData(src, left, 95), w, h, comps);
    ASSERT_EQ(w, 48);
    ASSERT_EQ(h, 64);
    ASSERT_EQ(comps, 3);
    // Source corners: top-left red, top-right green, bottom-left blue,
    // bottom-right white. Left: (x, y) -> (y, W-1-x); right: (H-1-y, x).
    const struct {
      int sx, sy;
    } corners[] = {{2, 2}, {61, 2}, {2, 45}, {61, 45}};
    for (const auto& c : corners) {
      const int dx = left ? c.sy : 47 - c.sy, dy = left ? 63 - c.sx : c.sx;
      const Pixel got = At(px, w, comps, dx, dy);
      const testing::Rgb want = testing::Pattern(c.sx, c.sy, 64, 48);
      EXPECT_TRUE(Near(got, want)) << "source (" << c.sx << "," << c.sy << ") at (" << dx << "," << dy << "): got "
                                   << got.r << "/" << got.g << "/" << got.b << " expected " << int(want.r) << "/"
                                   << int(want.g) << "/" << int(want.b);
    }
  }
}

TEST(RotateJpeg, SizesThatAreNotMultiplesOfTheBandOrTheBlock) {
  // Taller than one decode band, odd sides, and four left turns back home.
  auto data = testing::MakeJpeg(JpegKind::Rgb, 131, 157, 95);
  for (int turn = 0; turn < 4; ++turn) data = RotateJpegData(data, true, 95);
  int w, h, comps;
  const auto px = testing::DecodeAll(data, w, h, comps);
  EXPECT_EQ(w, 131);
  EXPECT_EQ(h, 157);
  for (const auto& [x, y] : {std::pair{3, 3}, {127, 3}, {3, 153}, {127, 153}})
    EXPECT_TRUE(Near(At(px, w, comps, x, y), testing::Pattern(x, y, 131, 157))) << x << "," << y;
}

TEST(RotateJpeg, GrayStaysOneComponentAndInkKeepsItsChannels) {
  const struct {
    JpegKind kind;
    int components, colorSpace;
    bool adobe;
  } cases[] = {
      {JpegKind::Gray, 1, 1 /* JCS_GRAYSCALE */, false},
      {JpegKind::Cmyk, 4, 4 /* JCS_CMYK */, true},
      {JpegKind::Ycck, 4, 5 /* JCS_YCCK */, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("colour space " + std::to_string(c.colorSpace));
    const auto out = RotateJpegData(testing::MakeJpeg(c.kind, 40, 24, 90), false, 80);
    const auto facts = testing::ReadJpegFacts(out);
    EXPECT_EQ(facts.width, 24);
    EXPECT_EQ(facts.height, 40);
    EXPECT_EQ(facts.components, c.components);
    EXPECT_EQ(facts.colorSpace, c.colorSpace);
    EXPECT_EQ(facts.adobe, c.adobe);
    // The same pixels come back through the viewer's own decoder.
    MemoryDib dib;
    DecodeJpeg(out, {1, false}, dib.Allocator());
    EXPECT_EQ(dib.format.width, 24);
    EXPECT_EQ(dib.format.bitsPerPixel, c.components == 1 ? 8 : 24);
  }
}

TEST(RotateJpeg, WritesTheRequestedQuality) {
  // libjpeg's luminance table starts at 16, scaled by the quality's factor.
  const struct {
    int quality, firstEntry;
  } cases[] = {{66, (16 * 68 + 50) / 100}, {95, (16 * 10 + 50) / 100}, {30, (16 * 166 + 50) / 100}};
  const auto src = testing::MakeJpeg(JpegKind::Rgb, 32, 32, 90);
  for (const auto& c : cases) {
    const auto facts = testing::ReadJpegFacts(RotateJpegData(src, true, c.quality));
    EXPECT_EQ(facts.quant0, c.firstEntry) << "quality " << c.quality;
  }
}

TEST(RotateJpeg, MetadataTravelsInOrderWithOrientationReset) {
  for (const bool big : {false, true}) {
    SCOPED_TRACE(big ? "Motorola order" : "Intel order");
    JpegExtras extras;
    extras.jfif = false;  // as cameras write them: EXIF straight after SOI
    extras.markers = {{0xE1, testing::MakeExif(big, 6, 64, 48, true)},
                      {0xE1, App1("http://ns.adobe.com/xap/1.0/\0<x tiff:Orientation=\"6\"/>")},
                      {0xE2, App1("ICC_PROFILE\0\x01\x01 profile bytes")},
                      {0xFE, App1("a comment")}};
    const auto out = RotateJpegData(testing::MakeJpeg(JpegKind::Rgb, 64, 48, 90, extras), true, 66);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out[2], 0xFF);
    EXPECT_EQ(out[3], 0xE1) << "EXIF must stay the first segment";
    const auto facts = testing::ReadJpegFacts(out);
    EXPECT_FALSE(facts.jfif);
    ASSERT_EQ(facts.markers.size(), 4u);
    EXPECT_EQ(facts.markers[0].first, 0xE1);
    const auto exif = testing::ReadMadeExif(facts.markers[0].second, big, true);
    EXPECT_EQ(exif.orientation, 1u);
    EXPECT_EQ(exif.pixelX, 48u);
    EXPECT_EQ(exif.pixelY, 64u);
    const std::string xmp(facts.markers[1].second.begin(), facts.markers[1].second.end());
    EXPECT_NE(xmp.find("tiff:Orientation=\"1\""), std::string::npos) << xmp;
    EXPECT_EQ(facts.markers[2], extras.markers[2]);
    EXPECT_EQ(facts.markers[3], extras.markers[3]);
  }
}

TEST(RotateJpeg, SubsamplingAndDensityTurnWithThePicture) {
  JpegExtras extras;
  extras.hSamp = 2;
  extras.vSamp = 1;  // 4:2:2
  extras.densityUnit = 1;
  extras.xDensity = 300;
  extras.yDensity = 150;
  const auto facts = testing::ReadJpegFacts(RotateJpegData(testing::MakeJpeg(JpegKind::Rgb, 48, 32, 90, extras), false, 90));
  EXPECT_TRUE(facts.jfif);
  EXPECT_EQ(facts.hSamp0, 1);
  EXPECT_EQ(facts.vSamp0, 2);
  EXPECT_EQ(facts.xDensity, 150);
  EXPECT_EQ(facts.yDensity, 300);
}

TEST(RotateJpeg, DamagedOrForeignDataIsRefusedNotWritten) {
  auto whole = testing::MakeJpeg(JpegKind::Rgb, 200, 160, 90);
  const std::vector<uint8_t> truncated(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
  const std::vector<uint8_t> cases[] = {truncated, {'B', 'M', 0, 0, 0, 0}, {}};
  for (const auto& data : cases) {
    try {
      RotateJpegData(data, true, 66);
      ADD_FAILURE() << "no error for " << data.size() << " bytes";
    } catch (const EJpegError& e) {
      EXPECT_STRNE(e.what(), "") << data.size() << " bytes";
    }
  }
}

TEST(RotateJpeg, ProgressReportsEveryTenthSourceRow) {
  std::vector<int> rows;
  RotateJpegData(testing::MakeJpeg(JpegKind::Gray, 20, 95, 90), true, 66, [&](int row, int total) {
    EXPECT_EQ(total, 95);
    rows.push_back(row);
  });
  const std::vector<int> expected = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
  EXPECT_EQ(rows, expected);
}

// ---- The metadata edits on their own, including blocks that lie.

TEST(JpegMetadata, ExifEditsOnlyWhatItCanTrust) {
  auto good = testing::MakeExif(false, 8, 6000, 4000, false);
  EXPECT_TRUE(ResetExifAfterTurn(good));
  const auto v = testing::ReadMadeExif(good, false, false);
  EXPECT_EQ(v.orientation, 1u);
  EXPECT_EQ(v.pixelX, 4000u);
  EXPECT_EQ(v.pixelY, 6000u);

  // A LONG height too large for the SHORT width field: both stay.
  auto wide = testing::MakeExif(true, 3, 100, 70000, true);
  EXPECT_TRUE(ResetExifAfterTurn(wide));
  const auto w = testing::ReadMadeExif(wide, true, true);
  EXPECT_EQ(w.orientation, 1u);
  EXPECT_EQ(w.pixelX, 100u);
  EXPECT_EQ(w.pixelY, 70000u);

  // Lies about sizes and offsets leave the block byte for byte.
  auto hugeCount = testing::MakeExif(false, 6, 10, 20, false);
  hugeCount[6 + 8] = 0xFF;  // IFD0 claims 255 entries
  auto badSub = testing::MakeExif(false, 6, 10, 20, false);
  badSub[6 + 30] = 0xF0;  // the EXIF IFD points past the end
  auto badOrder = testing::MakeExif(false, 6, 10, 20, false);
  badOrder[6] = 'X';
  auto shortBlock = App1("Exif\0\0II*");
  std::vector<uint8_t> notExif = App1("JFIF\0 something else entirely");
  for (auto* block : {&hugeCount, &badOrder, &shortBlock, &notExif}) {
    const auto before = *block;
    EXPECT_FALSE(ResetExifAfterTurn(*block) && *block != before);
    EXPECT_EQ(*block, before);
  }
  // An unreadable EXIF IFD still lets IFD0's orientation be reset.
  EXPECT_TRUE(ResetExifAfterTurn(badSub));
  EXPECT_EQ(testing::ReadMadeExif(badSub, false, false).orientation, 1u);
  EXPECT_EQ(testing::ReadMadeExif(badSub, false, false).pixelX, 10u);
}

TEST(JpegMetadata, XmpOrientationInBothForms) {
  const struct {
    std::string in, out;
    bool changed;
  } cases[] = {
      {"<x tiff:Orientation=\"6\"/>", "<x tiff:Orientation=\"1\"/>", true},
      {"<x tiff:Orientation='8'/>", "<x tiff:Orientation='1'/>", true},
      {"<tiff:Orientation>3</tiff:Orientation>", "<tiff:Orientation>1</tiff:Orientation>", true},
      {"<tiff:Orientation>12</tiff:Orientation>", "<tiff:Orientation>12</tiff:Orientation>", false},
      {"<x tiff:Orientation=\"9\"/>", "<x tiff:Orientation=\"9\"/>", false},
  };
  const std::string ns("http://ns.adobe.com/xap/1.0/\0", 29);
  for (const auto& c : cases) {
    std::vector<uint8_t> payload(ns.begin(), ns.end());
    payload.insert(payload.end(), c.in.begin(), c.in.end());
    EXPECT_EQ(ResetXmpOrientation(payload), c.changed) << c.in;
    EXPECT_EQ(std::string(payload.begin() + 29, payload.end()), c.out);
  }
  auto notXmp = App1("Exif\0\0<x tiff:Orientation=\"6\"/>");
  EXPECT_FALSE(ResetXmpOrientation(notXmp));
}

}  // namespace
}  // namespace mirabo
