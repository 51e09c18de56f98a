#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "tests/viewers/tiff_fixtures.h"
#include "viewers/document/document.h"
#include "viewers/document/page_ops.h"
#include "viewers/document/pcx.h"

namespace mirabo {
namespace {

using test::ExpectedColour;
using test::TiffPage;

std::unique_ptr<Document> Open(std::vector<uint8_t> bytes) {
  return OpenDocument(std::make_unique<MemorySource>(std::move(bytes)));
}

int Channel(uint32_t c, int shift) { return static_cast<int>(c >> shift & 255); }

// Every pixel against the expected colour, each channel within tolerance;
// the first few differences are printed.
template <class Made>
void ExpectPixels(const DocPage& page, const Made& made, int tolerance) {
  int reported = 0;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      const uint32_t got = page.PixelRgb(x, y), want = ExpectedColour(made, x, y);
      bool close = true;
      for (int shift : {0, 8, 16}) close &= std::abs(Channel(got, shift) - Channel(want, shift)) <= tolerance;
      if (!close && reported++ < 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << "): got " << std::hex << got << ", expected " << want;
    }
}

struct TiffRow {
  std::string name;
  TiffPage page;
  PageFormat format;
  int tolerance = 0;
};

TiffPage Bilevel(uint16_t compression, uint16_t photometric = PHOTOMETRIC_MINISWHITE,
                 uint16_t fillOrder = FILLORDER_MSB2LSB, uint32_t g3 = 0) {
  TiffPage p;
  p.width = 53;  // not a whole number of bytes
  p.height = 31;
  p.compression = compression;
  p.photometric = photometric;
  p.fillOrder = fillOrder;
  p.group3Options = g3;
  return p;
}

TiffPage Grey(uint16_t bits, uint16_t compression, uint16_t photometric = PHOTOMETRIC_MINISBLACK) {
  TiffPage p;
  p.bits = bits;
  p.compression = compression;
  p.photometric = photometric;
  p.pattern = test::GreyPattern;
  return p;
}

TiffPage Colour(uint16_t samples, uint16_t photometric, uint16_t compression) {
  TiffPage p;
  p.bits = 8;
  p.samples = samples;
  p.photometric = photometric;
  p.compression = compression;
  p.pattern = test::ColourPattern;
  return p;
}

template <class F>
TiffPage With(TiffPage p, F change) {
  change(p);
  return p;
}

TEST(TiffDocument, EveryLayoutScannersAndFaxesWriteShowsItsPixels) {
  const auto tiled = [](TiffPage& p) { p.tileWidth = 16, p.tileHeight = 16, p.width = 37, p.height = 29; };
  const TiffRow rows[] = {
      {"bilevel, min-is-white, plain", Bilevel(COMPRESSION_NONE), PageFormat::Bilevel},
      {"bilevel, min-is-black, LSB fill order", Bilevel(COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK, FILLORDER_LSB2MSB), PageFormat::Bilevel},
      {"G3 1-D, LSB fill order", Bilevel(COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, FILLORDER_LSB2MSB), PageFormat::Bilevel},
      {"G3 2-D", Bilevel(COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, GROUP3OPT_2DENCODING), PageFormat::Bilevel},
      {"G4", Bilevel(COMPRESSION_CCITTFAX4), PageFormat::Bilevel},
      {"G4, min-is-black", Bilevel(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISBLACK), PageFormat::Bilevel},
      {"bilevel LZW", Bilevel(COMPRESSION_LZW), PageFormat::Bilevel},
      {"bilevel PackBits", Bilevel(COMPRESSION_PACKBITS), PageFormat::Bilevel},
      {"bilevel Deflate", Bilevel(COMPRESSION_ADOBE_DEFLATE), PageFormat::Bilevel},
      {"bilevel G4 tiled", With(Bilevel(COMPRESSION_CCITTFAX4), tiled), PageFormat::Bilevel},
      {"bilevel stored bottom-up", With(Bilevel(COMPRESSION_NONE), [](TiffPage& p) { p.orientation = ORIENTATION_BOTLEFT; }), PageFormat::Bilevel},
      {"grey 2-bit", Grey(2, COMPRESSION_NONE), PageFormat::Grey},
      {"grey 4-bit min-is-white", Grey(4, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISWHITE), PageFormat::Grey},
      {"grey 8-bit LZW", Grey(8, COMPRESSION_LZW), PageFormat::Grey},
      {"grey 16-bit Deflate", Grey(16, COMPRESSION_ADOBE_DEFLATE), PageFormat::Grey},
      {"grey 8-bit JPEG", With(Grey(8, COMPRESSION_JPEG), [](TiffPage& p) { p.rowsPerStrip = 16; }), PageFormat::Grey, 6},
      {"palette 4-bit", With(Grey(4, COMPRESSION_NONE, PHOTOMETRIC_PALETTE), [](TiffPage&) {}), PageFormat::Colour},
      {"palette 8-bit PackBits", Grey(8, COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE), PageFormat::Colour},
      {"RGB LZW", Colour(3, PHOTOMETRIC_RGB, COMPRESSION_LZW), PageFormat::Colour},
      {"RGB separate planes", With(Colour(3, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE), [](TiffPage& p) { p.planar = PLANARCONFIG_SEPARATE; }), PageFormat::Colour},
      {"RGB tiled", With(Colour(3, PHOTOMETRIC_RGB, COMPRESSION_LZW), tiled), PageFormat::Colour},
      {"RGBA associated alpha", With(Colour(4, PHOTOMETRIC_RGB, COMPRESSION_NONE), [](TiffPage& p) {
         p.extraSample = EXTRASAMPLE_ASSOCALPHA;
         p.alpha = [](int x, int) { return static_cast<uint8_t>(x * 6); };
       }), PageFormat::Colour, 2},
      {"RGBA unassociated alpha", With(Colour(4, PHOTOMETRIC_RGB, COMPRESSION_NONE), [](TiffPage& p) {
         p.extraSample = EXTRASAMPLE_UNASSALPHA;
         p.alpha = [](int, int y) { return static_cast<uint8_t>(255 - y * 8); };
       }), PageFormat::Colour, 2},
      {"CMYK", Colour(4, PHOTOMETRIC_SEPARATED, COMPRESSION_LZW), PageFormat::Colour},
      {"YCbCr JPEG", With(Colour(3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG), [](TiffPage& p) { p.rowsPerStrip = 16; }), PageFormat::Colour, 12},
  };
  for (const TiffRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto doc = Open(test::WriteTiff({row.page}));
    ASSERT_EQ(doc->PageCount(), 1);
    const DocPage page = doc->ReadPage(0);
    ASSERT_EQ(page.width, row.page.width);
    ASSERT_EQ(page.height, row.page.height);
    EXPECT_EQ(static_cast<int>(page.format), static_cast<int>(row.format));
    ExpectPixels(page, row.page, row.tolerance);
  }
}

TEST(TiffDocument, TheVariantsRealFilesHoldShowAsTheirAuthorsMeant) {
  const auto oriented = [](TiffPage p, uint16_t orientation) {
    p.orientation = orientation;
    p.width = 37, p.height = 23;
    return p;
  };
  std::vector<TiffRow> rows;
  for (const test::VariantPage& v : test::VariantPages())
    rows.push_back({v.name, v.page, v.grey ? PageFormat::Grey : PageFormat::Colour, v.tolerance});
  for (uint16_t o = ORIENTATION_TOPLEFT; o <= ORIENTATION_LEFTBOT; ++o) {
    rows.push_back({"RGB, orientation", oriented(Colour(3, PHOTOMETRIC_RGB, COMPRESSION_LZW), o), PageFormat::Colour});
    rows.push_back({"bilevel, orientation", oriented(Bilevel(COMPRESSION_CCITTFAX4), o), PageFormat::Bilevel});
    rows.push_back({"16-bit CMYK, orientation", oriented(test::Cmyk16Page(0), o), PageFormat::Colour, 1});
  }
  for (const TiffRow& row : rows) {
    SCOPED_TRACE(row.name + " " + std::to_string(row.page.orientation));
    auto doc = Open(test::WriteTiff({row.page}));
    const DocPage page = doc->ReadPage(0);
    ASSERT_EQ(page.width, test::ShownWidth(row.page));
    ASSERT_EQ(page.height, test::ShownHeight(row.page));
    EXPECT_EQ(static_cast<int>(page.format), static_cast<int>(row.format));
    ExpectPixels(page, row.page, row.tolerance);
    if (row.page.photometric >= PHOTOMETRIC_CIELAB && row.page.photometric <= PHOTOMETRIC_ITULAB) {
      EXPECT_EQ(page.PixelRgb(0, 0), 0xFFFFFFu) << "L*a*b* white is white exactly";
    }
  }
}

TEST(TiffDocument, PagesAreReadOneByOneAndADamagedPageFailsAlone) {
  TiffPage first = Bilevel(COMPRESSION_CCITTFAX4), second = Grey(8, COMPRESSION_LZW), third = Colour(3, PHOTOMETRIC_RGB, COMPRESSION_NONE);
  second.width = 17;
  second.height = 100;
  second.rowsPerStrip = 100;
  third.width = 3;
  third.height = 2;
  std::vector<uint8_t> file = test::WriteTiff({first, second, third});
  auto doc = Open(file);
  ASSERT_EQ(doc->PageCount(), 3);
  // Backwards and forwards, as the page buttons go.
  for (int index : {2, 0, 1, 2}) {
    const DocPage page = doc->ReadPage(index);
    const TiffPage& made = index == 0 ? first : index == 1 ? second : third;
    EXPECT_EQ(page.width, made.width) << "page " << index;
    ExpectPixels(page, made, 0);
  }
  EXPECT_THROW(doc->ReadPage(3), EDocumentError);

  // The second page's strip overwritten with what LZW cannot decode.
  file = test::DamagePage(file, 1);
  doc = Open(file);
  EXPECT_NO_THROW(doc->ReadPage(0));
  try {
    doc->ReadPage(1);
    ADD_FAILURE() << "the damaged page was read";
  } catch (const EDocumentError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("2 ページ目を読み込めません。", 0), 0u) << e.what();
  }
  EXPECT_NO_THROW(doc->ReadPage(2));
}

TEST(TiffDocument, AHugePageWithoutItsDataIsRefused) {
  // Found by fuzzing: 194 bytes claiming a 9698 x 27123 page whose strips
  // lie beyond the file. It once had a gigabyte cleared before the first
  // strip failed.
  const std::vector<uint8_t> file = {
      0x49, 0x49, 0x2a, 0x00, 0x26, 0x00, 0x00, 0x00, 0xe0, 0x70, 0x38, 0xe0,
      0x70, 0x38, 0x23, 0x81, 0xc0, 0x13, 0x81, 0xc0, 0x1c, 0x0e, 0x07, 0x1c,
      0x0e, 0x07, 0xe2, 0x70, 0x38, 0xe1, 0x70, 0x38, 0x03, 0x81, 0xc0, 0x03,
      0xc1, 0xc0, 0x0c, 0x00, 0x00, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
      0xe2, 0x25, 0x00, 0x00, 0x01, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
      0xf3, 0x69, 0xff, 0xff, 0xfd, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
      0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x21, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x0a, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
      0x01, 0x00, 0x00, 0x00, 0x11, 0x01, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00,
      0xbc, 0x00, 0x00, 0x00, 0x4b, 0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x72, 0x01, 0x03, 0x01, 0x03, 0x00, 0x01,
      0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x01, 0x01, 0x03, 0x00, 0x01,
      0x10, 0x00, 0x00, 0x0a, 0x00, 0x00, 0x00, 0x02, 0x01, 0x01, 0x03, 0x00,
      0x01, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xff, 0xfb, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x0a, 0x01, 0x03,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xc4, 0x00, 0x00, 0x00, 0xd9, 0x00,
      0x00, 0x00
  };
  auto doc = Open(file);
  ASSERT_GE(doc->PageCount(), 1);
  EXPECT_THROW(doc->ReadPage(0), EDocumentError);
}

TEST(TiffDocument, FaxResolutionPagesGetSquarePixels) {
  TiffPage fax = Bilevel(COMPRESSION_CCITTFAX3);
  fax.xres = 204;
  fax.yres = 98;
  DocPage page = Open(test::WriteTiff({fax}))->ReadPage(0);
  EXPECT_EQ(page.width, 53);
  EXPECT_EQ(page.height, 65);  // 31 rows of 98 dpi at 204 dpi
  EXPECT_DOUBLE_EQ(page.xdpi, 204);
  EXPECT_DOUBLE_EQ(page.ydpi, 204);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      ASSERT_EQ(page.PixelRgb(x, y), ExpectedColour(fax, x, y * 31 / 65)) << x << "," << y;

  TiffPage narrow = Grey(8, COMPRESSION_NONE);
  narrow.xres = 100;
  narrow.yres = 200;
  narrow.resUnit = RESUNIT_CENTIMETER;
  page = Open(test::WriteTiff({narrow}))->ReadPage(0);
  EXPECT_EQ(page.width, 80);
  EXPECT_EQ(page.height, 30);
  EXPECT_NEAR(page.xdpi, 508, 0.01);
  EXPECT_EQ(page.PixelRgb(79, 5), ExpectedColour(narrow, 39, 5));

  // Black and white, finer down than across: columns repeated.
  TiffPage tall = Bilevel(COMPRESSION_CCITTFAX4);
  tall.xres = 100;
  tall.yres = 300;
  page = Open(test::WriteTiff({tall}))->ReadPage(0);
  ASSERT_EQ(page.width, 159);
  ASSERT_EQ(page.height, 31);
  EXPECT_EQ(page.format, PageFormat::Bilevel);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) ASSERT_EQ(page.PixelRgb(x, y), ExpectedColour(tall, x / 3, y)) << x << "," << y;
}

TEST(Documents, WhatCannotBeShownIsRefusedWithItsReason) {
  const auto message = [](std::vector<uint8_t> bytes) -> std::string {
    try {
      auto doc = Open(std::move(bytes));
      doc->ReadPage(0);
    } catch (const EDocumentError& e) {
      return e.what();
    }
    return "(no error)";
  };
  const auto startsWith = [](const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; };
  EXPECT_TRUE(startsWith(message({}), "この文書の形式は表示できません")) << message({});
  EXPECT_TRUE(startsWith(message({'I', 'I', '*', 0, 0xFF, 0xFF, 0, 0}), "TIFF ファイルを読み込めません"));
  const std::vector<uint8_t> awd = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0, 0};
  EXPECT_TRUE(startsWith(message(awd), "AWD 形式の文書は表示できません")) << message(awd);

  // A header claiming a page of 70000 x 70000 pixels: refused before any
  // allocation (the sanitizer would report a 19 GB request).
  TiffPage huge = Bilevel(COMPRESSION_NONE);
  std::vector<uint8_t> file = test::WriteTiff({huge});
  auto doc = Open(file);
  ASSERT_EQ(doc->ReadPage(0).width, 53);
  for (size_t i = 8; i + 12 <= file.size(); ++i) {
    uint16_t tag;
    std::memcpy(&tag, &file[i], 2);
    uint16_t type;
    std::memcpy(&type, &file[i + 2], 2);
    if ((tag == 256 || tag == 257) && (type == 3 || type == 4)) {
      const uint32_t big = 70000;
      file[i + 2] = 4;  // LONG
      std::memcpy(&file[i + 8], &big, 4);
    }
  }
  const std::string refused = message(file);
  EXPECT_TRUE(startsWith(refused, "ページが大きすぎて表示できません")) << refused;

  // A sample form no page shows: our line first, whoever refuses it.
  TiffPage complex = Grey(16, COMPRESSION_NONE);
  complex.sampleFormat = SAMPLEFORMAT_COMPLEXINT;
  const std::string sorry = message(test::WriteTiff({complex}));
  EXPECT_TRUE(startsWith(sorry, "1 ページ目を読み込めません。\n\rこのページの形式には対応していません。")) << sorry;
}

// ---- PCX

struct PcxRow {
  const char* name;
  test::PcxSpec made;
  PageFormat format;
};

template <class F>
test::PcxSpec Pcx(F change) {
  test::PcxSpec s;
  change(s);
  return s;
}

TEST(Pcx, EveryLayoutShowsItsPixels) {
  const PcxRow rows[] = {
      {"monochrome", Pcx([](auto& s) { s.bitsPerPlane = 1, s.pattern = test::BilevelPattern, s.width = 45; }), PageFormat::Bilevel},
      {"monochrome, white first", Pcx([](auto& s) { s.bitsPerPlane = 1, s.pattern = test::BilevelPattern, s.invertedMonochrome = true; }), PageFormat::Bilevel},
      {"16 colours in 4 planes", Pcx([](auto& s) { s.bitsPerPlane = 1, s.planes = 4; }), PageFormat::Colour},
      {"4 colours", Pcx([](auto& s) { s.bitsPerPlane = 2; }), PageFormat::Colour},
      {"16 colours packed", Pcx([](auto& s) { s.bitsPerPlane = 4, s.extraLineBytes = 3; }), PageFormat::Colour},
      {"256 colours", Pcx([](auto&) {}), PageFormat::Colour},
      {"256 colours, plain rows", Pcx([](auto& s) { s.encoded = false; }), PageFormat::Colour},
      {"24-bit", Pcx([](auto& s) { s.planes = 3, s.width = 64, s.height = 40; }), PageFormat::Colour},
      {"32-bit", Pcx([](auto& s) { s.planes = 4, s.x0 = 0, s.y0 = 0; }), PageFormat::Colour},
  };
  for (const PcxRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto doc = Open(test::WritePcx(row.made));
    ASSERT_EQ(doc->PageCount(), 1);
    const DocPage page = doc->ReadPage(0);
    ASSERT_EQ(page.width, row.made.width);
    ASSERT_EQ(page.height, row.made.height);
    EXPECT_EQ(static_cast<int>(page.format), static_cast<int>(row.format));
    ExpectPixels(page, row.made, 0);
  }
}

TEST(Pcx, DamagedAndLyingFilesAreRefused) {
  const std::vector<uint8_t> good = test::WritePcx(Pcx([](auto& s) { s.planes = 3; }));
  const auto refused = [](std::vector<uint8_t> bytes) {
    try {
      DecodePcx(bytes);
    } catch (const EDocumentError& e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  const auto patched = [&good](size_t at, std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> f = good;
    std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
    return f;
  };
  struct Row {
    const char* name;
    std::vector<uint8_t> file;
    const char* says;
  } rows[] = {
      {"cut in the middle of the pixels", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)), "途中で切れて"},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 128), "途中で切れて"},
      {"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 100), "見出し"},
      {"lines shorter than the width", patched(66, {2, 0}), "行の長さ"},
      {"right edge left of the left one", patched(8, {1, 0}), "範囲"},
      {"unknown encoding", patched(2, {7}), "圧縮"},
      {"5 planes", patched(65, {5}), "色数"},
      {"65536 x 65536 pixels", patched(4, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}), "大きすぎ"},
      // 16000 x 16000 claimed by a file whose runs could not fill it: refused at once.
      {"far larger than its data",
       [&] {
         auto f = patched(4, {0, 0, 0, 0, 0x7F, 0x3E, 0x7F, 0x3E, 0, 0, 0, 0});
         f[66] = 0x80, f[67] = 0x3E;  // 16000 bytes a line
         return f;
       }(),
       "途中で切れて"},
  };
  for (const Row& row : rows) {
    const std::string text = refused(row.file);
    EXPECT_NE(text.find(row.says), std::string::npos) << row.name << ": " << text;
  }
}

// ---- Turns, reductions, clipboard areas, paper

DocPage PatternPage(int w, int h, PageFormat format) {
  DocPage p = MakePage(w, h, format);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = format == PageFormat::Bilevel ? test::BilevelPattern(x, y) : test::ColourPattern(x, y);
      uint8_t* row = p.Row(y);
      if (format == PageFormat::Bilevel) {
        if (c) row[x >> 3] = static_cast<uint8_t>(row[x >> 3] | 0x80 >> (x & 7));
      } else if (format == PageFormat::Grey) {
        row[x] = static_cast<uint8_t>(c >> 16);
      } else {
        row[3 * x] = static_cast<uint8_t>(c), row[3 * x + 1] = static_cast<uint8_t>(c >> 8), row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
      }
    }
  return p;
}

TEST(PageOps, QuarterTurnsMoveEveryPixelOfEverySize) {
  for (const PageFormat format : {PageFormat::Bilevel, PageFormat::Grey, PageFormat::Colour})
    for (const auto& [w, h] : {std::pair{1, 1}, {7, 9}, {8, 8}, {13, 17}, {64, 3}, {3, 70}}) {
      SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", format " + std::to_string(static_cast<int>(format)));
      const DocPage src = PatternPage(w, h, format);
      const DocPage left = TurnPage(src, 1), right = TurnPage(src, 3), half = TurnPage(src, 2);
      ASSERT_EQ(left.width, h);
      ASSERT_EQ(left.height, w);
      ASSERT_EQ(half.width, w);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          ASSERT_EQ(left.PixelRgb(y, w - 1 - x), src.PixelRgb(x, y)) << x << "," << y;
          ASSERT_EQ(right.PixelRgb(h - 1 - y, x), src.PixelRgb(x, y)) << x << "," << y;
          ASSERT_EQ(half.PixelRgb(w - 1 - x, h - 1 - y), src.PixelRgb(x, y)) << x << "," << y;
        }
    }
}

TEST(PageOps, ReductionAveragesEachBlockAndBilevelBecomesGrey) {
  for (const int factor : {2, 3, 4, 8})
    for (const PageFormat format : {PageFormat::Bilevel, PageFormat::Colour}) {
      SCOPED_TRACE("factor " + std::to_string(factor) + ", format " + std::to_string(static_cast<int>(format)));
      const DocPage src = PatternPage(61, 45, format);
      const DocPage out = ReducePage(src, factor);
      ASSERT_EQ(out.width, 61 / factor);
      ASSERT_EQ(out.height, 45 / factor);
      EXPECT_EQ(out.format, format == PageFormat::Bilevel ? PageFormat::Grey : PageFormat::Colour);
      for (int oy = 0; oy < out.height; ++oy)
        for (int ox = 0; ox < out.width; ++ox)
          for (int shift : {0, 8, 16}) {
            int sum = 0;
            for (int dy = 0; dy < factor; ++dy)
              for (int dx = 0; dx < factor; ++dx) sum += Channel(src.PixelRgb(ox * factor + dx, oy * factor + dy), shift);
            const int n = factor * factor;
            ASSERT_EQ(Channel(out.PixelRgb(ox, oy), shift), (sum + n / 2) / n) << ox << "," << oy;
          }
    }
  // Smaller than one block: one pixel of all there is.
  DocPage tiny = MakePage(3, 2, PageFormat::Bilevel);
  tiny.Row(0)[0] = 0xE0;  // three white of six
  const DocPage one = ReducePage(tiny, 8);
  ASSERT_EQ(one.width, 1);
  EXPECT_EQ(one.PixelRgb(0, 0), 128u * 0x010101u);
}

TEST(PageOps, ClipboardAreaIsABottomUpDibOfTheRectangle) {
  const DocPage src = PatternPage(29, 11, PageFormat::Bilevel);
  const std::vector<uint8_t> dib = PageAreaDib(src, 5, 2, 13, 100);  // clipped at the bottom
  ASSERT_GE(dib.size(), 48u);
  const auto u32 = [&dib](size_t at) { return dib[at] | dib[at + 1] << 8 | dib[at + 2] << 16 | static_cast<uint32_t>(dib[at + 3]) << 24; };
  EXPECT_EQ(u32(0), 40u);
  EXPECT_EQ(u32(4), 13u);
  EXPECT_EQ(u32(8), 9u);
  EXPECT_EQ(dib[14], 1);
  EXPECT_EQ(u32(32), 2u);
  EXPECT_EQ(u32(40), 0u);         // black
  EXPECT_EQ(u32(44), 0xFFFFFFu);  // white
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) {
      const uint8_t* row = dib.data() + 48 + static_cast<size_t>(8 - y) * 4;
      const bool white = row[x >> 3] >> (7 - (x & 7)) & 1;
      ASSERT_EQ(white, src.PixelRgb(5 + x, 2 + y) != 0) << x << "," << y;
    }
  EXPECT_TRUE(PageAreaDib(src, 40, 0, 5, 5).empty());
  const std::vector<uint8_t> colour = PageAreaDib(PatternPage(5, 4, PageFormat::Colour), 0, 0, 5, 4);
  EXPECT_EQ(colour.size(), 40u + 16 * 4);
}

TEST(PageOps, PagesLandOnPaperAtTheirSizeOrFittedAndCentred) {
  struct Row {
    const char* name;
    int w, h;
    double dpi;
    int areaW, areaH, dpiX, dpiY;
    PlacedRect want;
  } rows[] = {
      {"A4 at 600 dpi, a little too large", 4960, 7016, 600, 4760, 6814, 600, 600, {0, 40, 4760, 6733}},
      {"fax page, too large at its size", 1728, 2339, 204, 4760, 6814, 600, 600, {0, 185, 4760, 6443}},
      {"small page: its own size", 600, 300, 300, 4760, 6814, 600, 600, {1780, 3107, 1200, 600}},
      {"no resolution: fitted", 100, 50, 0, 1000, 1000, 300, 300, {0, 250, 1000, 500}},
      {"device pixels twice as tall", 300, 300, 300, 1200, 1200, 600, 300, {300, 450, 600, 300}},
  };
  for (const Row& r : rows) {
    const PlacedRect got = PlaceOnPaper(r.w, r.h, r.dpi, r.areaW, r.areaH, r.dpiX, r.dpiY);
    EXPECT_TRUE(got.x == r.want.x && got.y == r.want.y && got.width == r.want.width && got.height == r.want.height)
        << r.name << ": got " << got.x << "," << got.y << " " << got.width << "x" << got.height << ", expected "
        << r.want.x << "," << r.want.y << " " << r.want.width << "x" << r.want.height;
  }
}

}  // namespace
}  // namespace mirabo
