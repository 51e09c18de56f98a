#include "base/picture/jpeg_decode.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::JpegKind;
using testing::MakeJpeg;

struct Pixel {
  int r, g, b;
};

Pixel At(const MemoryDib& dib, int x, int y) {
  const uint8_t* row = dib.bits.data() + dib.format.Stride() * static_cast<size_t>(y);
  if (dib.format.bitsPerPixel == 8) {
    const RgbQuad q = dib.format.palette.at(row[x]);
    return {q.red, q.green, q.blue};
  }
  return {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
}

void ExpectNear(Pixel actual, testing::Rgb expected, int tolerance, const std::string& where) {
  EXPECT_NEAR(actual.r, expected.r, tolerance) << where << " red";
  EXPECT_NEAR(actual.g, expected.g, tolerance) << where << " green";
  EXPECT_NEAR(actual.b, expected.b, tolerance) << where << " blue";
}

TEST(JpegDecode, EveryKindAtEveryScaleGivesTheScaledSizeAndTheRightColours) {
  struct Kind {
    JpegKind kind;
    const char* name;
    int bits;
  };
  const Kind kinds[] = {
      {JpegKind::Rgb, "rgb", 24},          {JpegKind::Gray, "gray", 8},
      {JpegKind::Cmyk, "cmyk", 24},        {JpegKind::Ycck, "ycck", 24},
      {JpegKind::Progressive, "progressive", 24}, {JpegKind::Arithmetic, "arithmetic", 24},
  };
  constexpr int kWidth = 203, kHeight = 97;  // odd sizes round up when scaled
  for (const Kind& k : kinds) {
    const auto jpeg = MakeJpeg(k.kind, kWidth, kHeight);
    for (const int denom : {1, 2, 4, 8}) {
      const std::string where = std::string(k.name) + " 1/" + std::to_string(denom);
      SCOPED_TRACE(where);
      MemoryDib dib;
      const auto result = DecodeJpeg(jpeg, {denom, true}, dib.Allocator());
      EXPECT_EQ(result.sourceWidth, kWidth);
      EXPECT_EQ(result.sourceHeight, kHeight);
      EXPECT_EQ(result.warnings, 0);
      const int w = (kWidth + denom - 1) / denom, h = (kHeight + denom - 1) / denom;
      ASSERT_EQ(dib.format.width, w);
      ASSERT_EQ(dib.format.height, h);
      EXPECT_EQ(dib.format.bitsPerPixel, k.bits);
      EXPECT_EQ(dib.format.Stride() % 4, 0u);
      // The centre of each quadrant; rows are top-down.
      for (const auto& [fx, fy] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}}) {
        const int x = w * fx / 4, y = h * fy / 4;
        testing::Rgb expected = testing::Pattern(kWidth * fx / 4, kHeight * fy / 4, kWidth, kHeight);
        if (k.kind == JpegKind::Gray) {
          const auto g = static_cast<uint8_t>((expected.r * 30 + expected.g * 59 + expected.b * 11) / 100);
          expected = {g, g, g};
        }
        ExpectNear(At(dib, x, y), expected, 24,
                   "(" + std::to_string(x) + "," + std::to_string(y) + ")");
      }
    }
  }
}

TEST(JpegDecode, GrayPicturesGetAGreyPalette) {
  MemoryDib dib;
  DecodeJpeg(MakeJpeg(JpegKind::Gray, 16, 16), {1, true}, dib.Allocator());
  ASSERT_EQ(dib.format.palette.size(), 256u);
  for (int i : {0, 1, 127, 255}) {
    const RgbQuad q = dib.format.palette[static_cast<size_t>(i)];
    EXPECT_EQ(q.red, i);
    EXPECT_EQ(q.green, i);
    EXPECT_EQ(q.blue, i);
  }
}

TEST(JpegDecode, ATruncatedFileShowsWhatCouldBeDecoded) {
  const auto whole = MakeJpeg(JpegKind::Rgb, 320, 240);
  const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 6 / 10));
  MemoryDib dib;
  const auto result = DecodeJpeg(cut, {1, true}, dib.Allocator());
  EXPECT_GT(result.warnings, 0);
  ASSERT_EQ(dib.format.width, 320);
  ASSERT_EQ(dib.format.height, 240);
  ExpectNear(At(dib, 80, 60), testing::Pattern(80, 60, 320, 240), 24, "top left, decoded");
}

TEST(JpegDecode, FilesLibjpegCannotReadRaiseItsOwnMessage) {
  struct Row {
    const char* name;
    std::vector<uint8_t> data;
    std::string message;
  };
  const Row rows[] = {
      {"bitmap", {'B', 'M', 0x36, 0, 0, 0, 0, 0}, "Not a JPEG file: starts with 0x42 0x4d"},
      {"empty", {}, "Empty input file"},
      {"header only", {0xFF, 0xD8}, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    bool allocated = false;
    try {
      DecodeJpeg(r.data, {1, true}, [&](const DibFormat&) {
        allocated = true;
        return nullptr;
      });
      ADD_FAILURE() << "no error";
    } catch (const EJpegError& e) {
      if (!r.message.empty()) {
        EXPECT_EQ(std::string(e.what()), r.message);
      }
      EXPECT_STRNE(e.what(), "");
    }
    EXPECT_FALSE(allocated);
  }
}

TEST(JpegDecode, AnAbsurdClaimedSizeIsRefusedBeforeAnyAllocation) {
  const auto jpeg = testing::WithClaimedSize(MakeJpeg(JpegKind::Progressive, 64, 64), 65500, 65500);
  bool allocated = false;
  try {
    DecodeJpeg(jpeg, {8, true}, [&](const DibFormat&) {
      allocated = true;
      return nullptr;
    });
    ADD_FAILURE() << "no error";
  } catch (const EJpegError& e) {
    EXPECT_EQ(std::string(e.what()), "JPEG 画像が大きすぎます (65500 × 65500)");
  }
  EXPECT_FALSE(allocated);
  EXPECT_EQ(ReadJpegSize(jpeg).sourceWidth, 65500);
}

TEST(JpegDecode, DamagedFilesNeverCrash) {
  const auto good = MakeJpeg(JpegKind::Progressive, 48, 40);
  std::mt19937 random(20261208);
  int decoded = 0, refused = 0;
  for (int round = 0; round < 300; ++round) {
    auto damaged = good;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i)
      damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    if (round % 3 == 0) damaged.resize(random() % damaged.size());
    try {
      MemoryDib dib;
      DecodeJpeg(damaged, {1 << (round % 4), true}, dib.Allocator());
      EXPECT_EQ(dib.bits.size(), dib.format.ImageBytes());
      ++decoded;
    } catch (const EJpegError&) {
      ++refused;
    }
  }
  EXPECT_EQ(decoded + refused, 300);
  EXPECT_GT(decoded, 0) << "slight damage should still decode";
}

}  // namespace
}  // namespace mirabo
