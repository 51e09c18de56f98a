#include "base/print_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace mirabo {
namespace {

TEST(PrintFit, ThePartsCasesLandWhereTheyShould) {
  struct Row {
    int w, h, pageW, pageH, wantW, wantH;
  } rows[] = {
      {100, 50, 4800, 6600, 4800, 2400},     // smaller both ways: enlarged to the width
      {50, 100, 6600, 4800, 2400, 4800},     // taller: enlarged to the height
      {10000, 1000, 4800, 6600, 4800, 480},  // wider than the page: shrunk
      {4800, 100, 4800, 6600, 4800, 100},    // exactly as wide, lower: left alone
      {3000, 9000, 4800, 6600, 2200, 6600},  // taller than the page: shrunk to its height
      {100, 100, 100, 200, 100, 100},        // as wide as the page: not enlarged
  };
  for (const Row& r : rows) {
    const PrintFit fit = FitToPage(r.w, r.h, r.pageW, r.pageH);
    EXPECT_TRUE(fit.width == r.wantW && fit.height == r.wantH)
        << r.w << "x" << r.h << " on " << r.pageW << "x" << r.pageH << ": got " << fit.width << "x" << fit.height
        << ", expected " << r.wantW << "x" << r.wantH;
  }
}

// The same steps in double precision: single precision may differ by a
// pixel after truncation, never more, and never leaves the page.
TEST(PrintFit, ASweepStaysWithinAPixelOfTheExactArithmetic) {
  int checked = 0;
  for (int w = 1; w <= 20000; w = w * 5 / 4 + 7)
    for (int h = 1; h <= 20000; h = h * 5 / 4 + 11)
      for (const auto& [pw, ph] : {std::pair{4800, 6600}, std::pair{6600, 4800}, std::pair{2480, 3508}}) {
        double x = w, y = h;
        const double r = x / y;
        if (pw > x && ph > y) {
          if (x >= y) x = pw, y = x / r;
          else y = ph, x = y * r;
        }
        if (pw < x) x = pw, y = x / r;
        if (ph < y) y = ph, x = y * r;
        const PrintFit fit = FitToPage(w, h, pw, ph);
        ASSERT_LE(std::abs(fit.width - static_cast<int>(x)), 1) << w << "x" << h;
        ASSERT_LE(std::abs(fit.height - static_cast<int>(y)), 1) << w << "x" << h;
        ASSERT_LE(fit.width, pw);
        ASSERT_LE(fit.height, ph);
        ++checked;
      }
  EXPECT_GT(checked, 1000);
}

}  // namespace
}  // namespace mirabo
