// Photos upright by their EXIF orientation: the eight placements as pixel
// maps, orientations composed with turns, the orientation and the colour
// profile read from a file's segments, and decoding straight into the
// upright picture.
#include "base/picture/orientation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/picture/jpeg_decode.h"
#include "base/picture/jpeg_metadata.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

// The stored 3 x 2 picture "abc/def", shown.
TEST(Orientation, TheEightPlacements) {
  const struct {
    int orientation;
    const char* shown;  // rows separated by "/"
  } rows[] = {{1, "abc/def"},    {2, "cba/fed"},    {3, "fed/cba"},    {4, "def/abc"},
              {5, "ad/be/cf"},   {6, "da/eb/fc"},   {7, "fc/eb/da"},   {8, "cf/be/ad"}};
  for (const auto& r : rows) {
    for (const int bpp : {1, 3}) {
      SCOPED_TRACE("orientation " + std::to_string(r.orientation) + ", " + std::to_string(bpp) + " bytes a pixel");
      const std::string stored = "abcdef";
      const bool turned = Transposes(r.orientation);
      const int w = turned ? 2 : 3, h = turned ? 3 : 2;
      std::vector<uint8_t> shown(static_cast<size_t>(w * h * bpp) + 5, 0);
      const PixelBuffer to{shown.data(), w, h, static_cast<size_t>(w * bpp) + 1, bpp};
      // One band a row, the second first: bands may come in any order.
      for (const int y : {1, 0}) {
        std::vector<uint8_t> band;
        for (int x = 0; x < 3; ++x) band.insert(band.end(), static_cast<size_t>(bpp), static_cast<uint8_t>(stored[static_cast<size_t>(y * 3 + x)]));
        PlaceBand({band.data(), 3, 1, band.size(), bpp}, y, 2, to, r.orientation);
      }
      FinishOrientation(to, r.orientation);
      std::string got;
      for (int y = 0; y < h; ++y) {
        if (y) got += '/';
        for (int x = 0; x < w; ++x) got += static_cast<char>(shown[static_cast<size_t>(y) * to.stride + static_cast<size_t>(x * bpp)]);
      }
      EXPECT_EQ(got, r.shown);
      const Point a = Shown(r.orientation, 3, 2, {0, 0});
      EXPECT_EQ(r.shown[static_cast<size_t>(a.y * (w + 1) + a.x)], 'a') << "where the first pixel goes";
    }
  }
}

TEST(Orientation, TurnsComposeWithTheStoredOrientation) {
  const struct {
    int first, then, expected;
  } rows[] = {{1, kTurnLeft, 8}, {1, kTurnRight, 6}, {6, kTurnLeft, 1}, {8, kTurnRight, 1},
              {3, kTurnLeft, 6}, {2, kTurnRight, 7}, {6, kTurnRight, 3}, {5, kTurnLeft, 4}};
  for (const auto& r : rows) EXPECT_EQ(Compose(r.first, r.then), r.expected) << r.first << " then " << r.then;
}

TEST(Orientation, TheExifOrientationIsReadFromIfdZeroOnly) {
  for (const bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    for (int o = 1; o <= 8; ++o) EXPECT_EQ(ExifOrientation(testing::MakeExif(big, o, 10, 20, false)), o);
    std::vector<uint8_t> exif = testing::MakeExif(big, 6, 10, 20, false);
    EXPECT_EQ(ExifOrientation(std::vector<uint8_t>(exif.begin(), exif.begin() + 20)), 1) << "cut inside IFD0";
    std::vector<uint8_t> farIfd = exif;
    farIfd[6 + (big ? 7 : 4)] = 0xF0;  // IFD0 past the block
    EXPECT_EQ(ExifOrientation(farIfd), 1);
    EXPECT_EQ(ExifOrientation(testing::MakeExif(big, 9, 10, 20, false)), 1) << "no such orientation";
    std::vector<uint8_t> notExif = exif;
    notExif[0] = 'X';
    EXPECT_EQ(ExifOrientation(notExif), 1);
  }
}

std::vector<uint8_t> IccChunk(int sequence, int count, const std::string& bytes) {
  std::vector<uint8_t> chunk(12, 0);
  std::copy_n("ICC_PROFILE", 11, chunk.begin());
  chunk.push_back(static_cast<uint8_t>(sequence));
  chunk.push_back(static_cast<uint8_t>(count));
  chunk.insert(chunk.end(), bytes.begin(), bytes.end());
  return chunk;
}

TEST(Orientation, ProfilesAreAssembledInSequenceOrder) {
  const auto a = IccChunk(1, 3, "AB"), b = IccChunk(2, 3, "CD"), c = IccChunk(3, 3, "E"), other = IccChunk(2, 4, "CD");
  using Chunks = std::vector<std::span<const uint8_t>>;
  const auto text = [](const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); };
  EXPECT_EQ(text(AssembleIccProfile(Chunks{a, b, c})), "ABCDE");
  EXPECT_EQ(text(AssembleIccProfile(Chunks{c, a, b})), "ABCDE") << "out of order";
  EXPECT_EQ(text(AssembleIccProfile(Chunks{a, c})), "") << "missing";
  EXPECT_EQ(text(AssembleIccProfile(Chunks{a, b, b, c})), "") << "doubled";
  EXPECT_EQ(text(AssembleIccProfile(Chunks{a, other, c})), "") << "counts disagree";
  EXPECT_EQ(text(AssembleIccProfile(Chunks{})), "");
}

TEST(Orientation, AFileIsDecodedUprightAtEveryScale) {
  testing::JpegExtras extras;
  extras.markers = {{0xE1, testing::MakeExif(false, 6, 64, 32, false)},
                    {0xE2, IccChunk(1, 1, std::string(200, 'p'))}};
  const auto jpeg = testing::MakeJpeg(testing::JpegKind::Rgb, 64, 32, 95, extras);
  const JpegMetadata metadata = ReadJpegMetadata(jpeg);
  EXPECT_EQ(metadata.orientation, 6);
  EXPECT_EQ(metadata.iccProfile.size(), 200u);
  for (const int scale : {1, 2, 4, 8}) {
    SCOPED_TRACE("1/" + std::to_string(scale));
    MemoryDib stored, upright;
    DecodeJpeg(jpeg, {scale, true}, stored.Allocator());
    DecodeJpeg(jpeg, {scale, true, metadata.orientation}, upright.Allocator());
    ASSERT_EQ(upright.format.width, stored.format.height);
    ASSERT_EQ(upright.format.height, stored.format.width);
    // Every pixel where a right turn puts it.
    for (int y = 0; y < stored.format.height; ++y)
      for (int x = 0; x < stored.format.width; ++x) {
        const Point p = Shown(6, stored.format.width, stored.format.height, {x, y});
        const uint8_t* s = &stored.bits[static_cast<size_t>(y) * stored.format.Stride() + static_cast<size_t>(x) * 3];
        const uint8_t* u = &upright.bits[static_cast<size_t>(p.y) * upright.format.Stride() + static_cast<size_t>(p.x) * 3];
        ASSERT_TRUE(s[0] == u[0] && s[1] == u[1] && s[2] == u[2]) << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace mirabo
