#include "app/zoom_fit.h"

#include <gtest/gtest.h>

#include "app/view_table.h"
#include "settings/rw_ini.h"

namespace mirabo {
namespace {

TEST(ZoomFit, FittingFollowsTheWindowExactly) {
  struct Row {
    const char* what;
    int w, h, bw, bh;
    bool fitWin, fitOver;
    FitResult expected;
  };
  const Row rows[] = {
      {"height limits", 1600, 1200, 804, 404, true, false, {true, 533, 400}},
      {"small picture enlarged, width limits", 100, 50, 504, 304, true, false, {true, 500, 250}},
      {"FitOver keeps a picture that fits", 1000, 750, 1024, 800, true, true, {false, 1000, 750}},
      {"FitOver exactly at the margin", 1020, 796, 1024, 800, true, true, {false, 1020, 796}},
      {"FitOver one pixel over", 1021, 750, 1024, 800, true, true, {true, 1020, 749}},
      {"fit off", 3000, 2000, 800, 600, false, false, {false, 3000, 2000}},
      {"square in square: the height branch", 300, 300, 104, 104, true, false, {true, 100, 100}},
      {"tie in the ratios takes the height", 200, 100, 204, 104, true, false, {true, 200, 100}},
      // rw = 0.4: heights of 2.5 and 7.5 pixels round to the even neighbour.
      {"half rounds to even (down)", 4, 1, 14, 104, true, false, {true, 10, 2}},
      {"half rounds to even (up)", 4, 3, 14, 104, true, false, {true, 10, 8}},
      {"empty picture", 0, 0, 400, 300, true, false, {false, 0, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const FitResult f = ComputeFit(r.w, r.h, r.bw, r.bh, r.fitWin, r.fitOver);
    EXPECT_EQ(f.stretched, r.expected.stretched);
    EXPECT_EQ(f.width, r.expected.width);
    EXPECT_EQ(f.height, r.expected.height);
  }
}

TEST(ZoomFit, RoundingTiesGoToTheEvenNeighbour) {
  const std::pair<double, int> rows[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {2.4999, 2},
                                         {2.5001, 3}, {-0.5, 0}, {-1.5, -2}, {533.333, 533}};
  for (const auto& [value, expected] : rows) EXPECT_EQ(RoundHalfEven(value), expected) << value;
}

TEST(ZoomFit, ZoomStepsStopAtBothEndsAndLabelsFollow) {
  struct Row {
    int level, in, out;
    const wchar_t* label;
    int denominator;
  };
  const Row rows[] = {{0, 0, 1, L"100%", 1}, {1, 0, 2, L"50%", 2}, {2, 1, 3, L"25%", 4},
                      {3, 2, 3, L"12.5%", 8}, {7, 6, 8, L"100%", 1}, {-1, -2, 0, L"100%", 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.level);
    EXPECT_EQ(ZoomedIn(r.level), r.in);
    EXPECT_EQ(ZoomedOut(r.level), r.out);
    EXPECT_EQ(std::wstring(ZoomLabel(r.level)), r.label);
    EXPECT_EQ(ZoomScaleDenominator(r.level), r.denominator);
  }
}

TEST(ZoomFit, TheSlideShowStepsStopsAndWraps) {
  struct Row {
    const char* what;
    bool on;
    int count, index;
    bool loop;
    SlideStep expected;
  };
  const Row rows[] = {
      {"off", false, 3, 0, false, SlideStep::Stay},
      {"first of three", true, 3, 0, false, SlideStep::Forward},
      {"second of three", true, 3, 1, false, SlideStep::Forward},
      {"last without loop", true, 3, 2, false, SlideStep::Stay},
      {"last with loop", true, 3, 2, true, SlideStep::WrapToFirst},
      {"one file", true, 1, 0, true, SlideStep::Stay},
      {"empty", true, 0, 0, true, SlideStep::Stay},
      {"current file missing from the list", true, 3, 3, false, SlideStep::Forward},
  };
  for (const Row& r : rows) EXPECT_EQ(NextSlide(r.on, r.count, r.index, r.loop), r.expected) << r.what;
}

TEST(ZoomFit, IntegerTextAsTheStringLibraryReadsIt) {
  struct Row {
    const char* text;
    std::optional<int> expected;
  };
  const Row rows[] = {{"3", 3},   {" 42", 42}, {"-7", -7},         {"$1F", 31},  {"0x10", 16},
                      {"", {}},   {"abc", {}}, {"3.5", {}},        {"4 ", {}},   {"99999999999", {}},
                      {"+", {}},  {"0x", {}},  {"2147483647", 2147483647}};
  for (const Row& r : rows) EXPECT_EQ(ParseInteger(r.text), r.expected) << "'" << r.text << "'";
}

}  // namespace
}  // namespace mirabo
