#include "base/picture/metafile_check.h"

#include <gtest/gtest.h>

#include "base/picture/limits.h"
#include "tests/base/picture/metafile_fixtures.h"

namespace mirabo::metafile {
namespace {

using testing::EmfRecord;
using testing::EmfSpec;
using testing::WmfRecord;
using testing::WmfSpec;

CheckResult CheckBytes(const std::string& bytes) {
  return Check({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

WmfSpec WmfWith(std::vector<WmfRecord> records, uint16_t objects = 1) {
  WmfSpec s;
  s.objects = objects;
  s.records = std::move(records);
  return s;
}

EmfSpec EmfWith(std::vector<EmfRecord> records) {
  EmfSpec s;
  s.records = std::move(records);
  return s;
}

TEST(MetafileCheck, DrawingsPassAndTellWhatToPlay) {
  const std::string wmf = testing::MakeWmf(testing::DrawingWmf());
  const CheckResult w = CheckBytes(wmf + "trailing bytes");
  ASSERT_TRUE(w.ok) << w.problem;
  EXPECT_EQ(w.metafile.format, Format::PlaceableWmf);
  EXPECT_EQ(w.metafile.offset, 22u);
  EXPECT_EQ(w.metafile.size, wmf.size() - 22);  // the trailing bytes are not played
  EXPECT_EQ(w.metafile.right, 1440);
  EXPECT_EQ(w.metafile.unitsPerInch, 1440);

  const std::string emf = testing::MakeEmf(testing::DrawingEmf());
  const CheckResult e = CheckBytes(emf);
  ASSERT_TRUE(e.ok) << e.problem;
  EXPECT_EQ(e.metafile.format, Format::Emf);
  EXPECT_EQ(e.metafile.size, emf.size());
  EXPECT_EQ(e.metafile.frameRight, 5080);

  WmfSpec plain = testing::DrawingWmf();
  plain.placeable = false;
  EXPECT_TRUE(CheckBytes(testing::MakeWmf(plain)).ok);
}

TEST(MetafileCheck, HostileMetafilesAreRefused) {
  struct Row {
    const char* what;
    std::string bytes;
    std::string problem;
  };
  WmfSpec badSum = testing::DrawingWmf();
  badSum.badChecksum = true;
  // A header stating more than the file, cut before its end record.
  const std::string drawing = testing::MakeWmf(testing::DrawingWmf());
  std::string longerCut = drawing.substr(0, drawing.size() - 6);
  WmfSpec countedPlaceable = WmfWith({{0x0103, {8}, 500}});
  countedPlaceable.placeable = true;
  countedPlaceable.sizeAdjustWords = 11;
  EmfSpec emfLonger = testing::DrawingEmf();
  emfLonger.bytesAdjust = 4;
  EmfSpec emfNoHandles = testing::DrawingEmf();
  emfNoHandles.handles = 1;
  const std::vector<uint32_t> text = {0, 0, 9, 9, 1, 0, 0, 0, 0, 5000, 76, 0, 0, 0, 0, 0, 0, 0x00690048};
  const Row rows[] = {
      {"WMF: SELECTOBJECT of object 9999 with one declared", testing::MakeWmf(WmfWith({{0x012D, {9999}}})), "object number beyond the header's count"},
      {"WMF: DELETEOBJECT of object 9999", testing::MakeWmf(WmfWith({{0x01F0, {9999}}})), "object number beyond the header's count"},
      {"WMF: FILLREGION's brush beyond the table", testing::MakeWmf(WmfWith({{0x0228, {0, 1}}})), "object number beyond the header's count"},
      {"WMF: a POLYGON of more points than its record", testing::MakeWmf(WmfWith({{0x0324, {40, 1, 2, 3, 4}}})), "more points than the record holds"},
      {"WMF: a POLYPOLYGON of more points than its record", testing::MakeWmf(WmfWith({{0x0538, {1, 9, 1, 2}}})), "more points than the record holds"},
      {"WMF: a TEXTOUT longer than its record", testing::MakeWmf(WmfWith({{0x0521, {200, 0x4141, 0, 0}}})), "text longer than the record"},
      {"WMF: an ESCAPE longer than its record", testing::MakeWmf(WmfWith({{0x0626, {15, 100, 1}}})), "escape data longer than the record"},
      {"WMF: a font name running past the record", testing::MakeWmf(WmfWith({{0x02FB, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x4141}}})), "font name runs past the record"},
      {"WMF: a STRETCHDIB whose bitmap is cut short",
       testing::MakeWmf(WmfWith({{0x0F43, {0x20, 0xCC, 0, 2, 2, 0, 0, 9, 9, 0, 0, 40, 0, 64, 0, 64, 0, 1, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}})), "bitmap pixels outside the record"},
      {"WMF: a record of size 0", testing::MakeWmf(WmfWith({{0x0103, {8}, 0x0}, {0x0103, {8}, 2}})), "record size below the minimum"},
      {"WMF: a record beyond the end", testing::MakeWmf(WmfWith({{0x0103, {8}, 500}})), "record beyond the end of the file"},
      {"WMF: a header claiming more than the file, without its end", longerCut, "the header's file size is beyond the file"},
      {"WMF: the placeable header counted in, a record beyond the end", testing::MakeWmf(countedPlaceable), "record beyond the end of the file"},
      {"WMF: a placeable header with a wrong checksum", testing::MakeWmf(badSum), "placeable header checksum"},
      {"WMF: a header of the wrong size", "\x01\x00\x0A\x00\x00\x03" + std::string(20, '\0'), "header size"},
      {"EMF: SELECTOBJECT of a handle beyond the header's count", testing::MakeEmf(EmfWith({{37, {7}}})), "object number beyond the header's count"},
      {"EMF: CREATEBRUSHINDIRECT into a handle beyond the count", testing::MakeEmf(EmfWith({{39, {3, 0, 0, 0}}})), "object number beyond the header's count"},
      {"EMF: DELETEOBJECT of a stock object", testing::MakeEmf(EmfWith({{40, {0x80000001}}})), "object number beyond the header's count"},
      {"EMF: a handle table without room", testing::MakeEmf(emfNoHandles), "object number beyond the header's count"},
      {"EMF: a POLYGON of more points than its record", testing::MakeEmf(EmfWith({{3, {0, 0, 9, 9, 1000, 1, 1}}})), "more points than the record holds"},
      {"EMF: a POLYGON16 of more points than its record", testing::MakeEmf(EmfWith({{86, {0, 0, 9, 9, 1000, 1}}})), "more points than the record holds"},
      {"EMF: a POLYPOLYGON whose counts exceed its points",
       testing::MakeEmf(EmfWith({{8, {0, 0, 9, 9, 1, 1, 50, 1, 1}}})), "polygons with more points than the record holds"},
      {"EMF: an EXTTEXTOUTW longer than its record", testing::MakeEmf(EmfWith({{84, text}})), "text longer than the record"},
      {"EMF: STRETCHDIBITS with offsets outside the record",
       testing::MakeEmf(EmfWith({{81, {0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 4000, 40, 80, 16, 0, 0xCC0020, 2, 2}}})), "bitmap outside the record"},
      {"EMF: a record of size 0", testing::MakeEmf(EmfWith({{43, {1, 1, 2, 2}, 0xFFFFFFFF}})), "record size"},
      {"EMF: a record size not a multiple of 4", testing::MakeEmf(EmfWith({{43, {1, 1, 2, 2}, 22}})), "record size"},
      {"EMF: a header claiming more than the file", testing::MakeEmf(emfLonger), "the header's file size is beyond the file"},
      {"EMF: cut short before its end record", testing::MakeEmf(testing::DrawingEmf()).substr(0, 200), "the header's file size is beyond the file"},
      {"empty", "", "header cut short"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const CheckResult result = CheckBytes(r.bytes);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.problem, r.problem);
  }
  // A zero size in the record itself, not by the builder's default.
  std::string zero = testing::MakeEmf(EmfWith({{43, {1, 1, 2, 2}}}));
  zero[108 + 4] = 0;
  zero[108 + 5] = 0;
  EXPECT_FALSE(CheckBytes(zero).ok);
}

// Writers that count the placeable header in the file size, or state
// more than they wrote, make files the system plays: they pass, with the
// size the header should have stated.
TEST(MetafileCheck, HeadersStatingMoreThanTheFileArePlayedToTheirEnd) {
  struct Row {
    const char* what;
    bool placeable;
    int32_t adjustWords;
    size_t cutBytes;  // taken off the end
  };
  const Row rows[] = {
      {"placeable header counted in", true, 11, 0},
      {"placeable header counted in, no end record", true, 11 - 3, 6},
      {"a size far beyond the file", false, 100000, 0},
      {"a plain file one word short", false, 1, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    WmfSpec made = testing::DrawingWmf();
    made.placeable = r.placeable;
    made.sizeAdjustWords = r.adjustWords;
    std::string bytes = testing::MakeWmf(made);
    bytes.resize(bytes.size() - r.cutBytes);
    const CheckResult result = CheckBytes(bytes);
    ASSERT_TRUE(result.ok) << result.problem;
    const size_t offset = r.placeable ? 22 : 0;
    EXPECT_EQ(result.metafile.offset, offset);
    EXPECT_EQ(result.metafile.size, bytes.size() - offset);
    EXPECT_EQ(result.metafile.headerWords * 2u, bytes.size() - offset);
  }
  EXPECT_EQ(CheckBytes(testing::MakeWmf(testing::DrawingWmf())).metafile.headerWords, 0u) << "a right size is left alone";
}

TEST(MetafileCheck, HugeClaimedSizesAreDrawnSmallerKeepingTheirShape) {
  struct Row {
    int64_t width, height;
    int expectedWidth, expectedHeight;
  };
  const Row rows[] = {
      {800, 600, 800, 600},
      {32767 * 96LL, 16000 * 96LL, 23446, 11448},  // 1 unit per inch: within the pixel limit
      {100000, 10, 32768, 3},                      // within the side limit
      {0, 10, 0, 10},                              // left for the caller to refuse
      {-800, 600, 800, 600},                       // a mirrored box is as large
      {-32767 * 96LL, -16000 * 96LL, 23446, 11448},
      {0, 1000000000, 0, 32768},                   // the other side still capped
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.width) + " x " + std::to_string(r.height));
    const DrawSize s = CapDrawSize(r.width, r.height);
    EXPECT_EQ(s.width, r.expectedWidth);
    EXPECT_EQ(s.height, r.expectedHeight);
    EXPECT_GE(s.width, 0);
    EXPECT_GE(s.height, 0);
    EXPECT_LE(static_cast<uint64_t>(std::max(s.width, 0)) * static_cast<uint64_t>(std::max(s.height, 0)),
              kMaxPicturePixels);
  }
}

TEST(MetafileCheck, MirroredPlaceableBoxesMeasureTheirDistance) {
  // Found by fuzzing: left 0, right -24368, top -24576, bottom 517 at 5 units
  // per inch.
  const uint8_t bytes[] = {0xd7, 0xcd, 0xc6, 0x9a, 0x00, 0x00, 0x00, 0x00, 0x00, 0xa0, 0xd0, 0xa0, 0x05, 0x02,
                           0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc1, 0x55, 0x01, 0x00, 0x09, 0x00, 0x00, 0x03,
                           0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  const CheckResult r = Check(bytes);
  ASSERT_TRUE(r.ok) << r.problem;
  const Checked& m = r.metafile;
  const int64_t width = ExtentPixels(m.left, m.right, 96, m.unitsPerInch);
  const int64_t height = ExtentPixels(m.top, m.bottom, 96, m.unitsPerInch);
  EXPECT_EQ(width, 24368 * 96 / 5);
  EXPECT_EQ(height, (517 + 24576) * 96 / 5);
  const DrawSize s = CapDrawSize(width, height);
  EXPECT_GT(s.width, 0);
  EXPECT_LE(s.height, 1 << 15);
}

}  // namespace
}  // namespace mirabo::metafile
