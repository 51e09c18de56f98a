#include "base/picture/orientation.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace mirabo {
namespace {

// Each orientation as: exchange rows and columns first, then mirror the
// columns and the rows of the result.
struct Form {
  bool transpose, mirrorX, mirrorY;
};
constexpr std::array<Form, 9> kForms = {{
    {false, false, false},  // (0: taken as 1)
    {false, false, false},  // 1
    {false, true, false},   // 2
    {false, true, true},    // 3
    {false, false, true},   // 4
    {true, false, false},   // 5
    {true, true, false},    // 6
    {true, true, true},     // 7
    {true, false, true},    // 8
}};

Form FormOf(int orientation) { return kForms[orientation >= 1 && orientation <= 8 ? orientation : 1]; }

void ReverseRow(uint8_t* row, int width, int bpp) {
  for (int a = 0, b = width - 1; a < b; ++a, --b) {
    uint8_t* pa = row + static_cast<size_t>(a) * bpp;
    uint8_t* pb = row + static_cast<size_t>(b) * bpp;
    for (int k = 0; k < bpp; ++k) std::swap(pa[k], pb[k]);
  }
}

}  // namespace

bool Transposes(int orientation) { return FormOf(orientation).transpose; }

Point Shown(int orientation, int width, int height, Point p) {
  const Form f = FormOf(orientation);
  if (f.transpose) {
    std::swap(p.x, p.y);
    std::swap(width, height);
  }
  if (f.mirrorX) p.x = width - 1 - p.x;
  if (f.mirrorY) p.y = height - 1 - p.y;
  return p;
}

int Compose(int first, int then) {
  // Where the corners of a 3 x 2 picture end up says which of the eight it
  // is: no two orientations move them alike.
  constexpr int w = 3, h = 2;
  const Point corners[] = {{0, 0}, {w - 1, 0}, {0, h - 1}};
  const bool firstTurns = Transposes(first);
  for (int candidate = 1; candidate <= 8; ++candidate) {
    bool same = true;
    for (const Point c : corners) {
      const Point once = Shown(first, w, h, c);
      const Point twice = Shown(then, firstTurns ? h : w, firstTurns ? w : h, once);
      const Point direct = Shown(candidate, w, h, c);
      same &= twice.x == direct.x && twice.y == direct.y;
    }
    if (same) return candidate;
  }
  return 1;
}

void PlaceBand(const PixelBuffer& band, int y0, int storedHeight, const PixelBuffer& shown, int orientation) {
  const Form f = FormOf(orientation);
  const int bpp = band.bytesPerPixel;
  const size_t rowBytes = static_cast<size_t>(band.width) * static_cast<size_t>(bpp);
  if (!f.transpose) {
    for (int i = 0; i < band.height; ++i) {
      const int y = y0 + i;
      uint8_t* to = shown.bits + static_cast<size_t>(f.mirrorY ? storedHeight - 1 - y : y) * shown.stride;
      std::memcpy(to, band.bits + static_cast<size_t>(i) * band.stride, rowBytes);
      if (f.mirrorX) ReverseRow(to, band.width, bpp);
    }
    return;
  }
  // The band's rows are the shown picture's columns: y0.. for a turn to
  // the left, from the right edge inwards for a turn to the right. The
  // mirrored forms (5, 7) are these turns with the shown rows flipped,
  // which FinishOrientation does once for all.
  const bool left = !f.mirrorX;
  const size_t firstColumn = static_cast<size_t>(left ? y0 : storedHeight - y0 - band.height);
  const PixelBuffer to{shown.bits + firstColumn * static_cast<size_t>(bpp), band.height, band.width, shown.stride, bpp};
  RotateQuarter(band, to, left);
}

void FinishOrientation(const PixelBuffer& shown, int orientation) {
  const Form f = FormOf(orientation);
  // 8 (left turn) flips the rows itself, as does 6 (right turn); 5 and 7
  // are those turns with the rows flipped back.
  if (!f.transpose || (f.mirrorX != f.mirrorY)) return;
  const size_t rowBytes = static_cast<size_t>(shown.width) * static_cast<size_t>(shown.bytesPerPixel);
  std::vector<uint8_t> spare(rowBytes);
  for (int a = 0, b = shown.height - 1; a < b; ++a, --b) {
    uint8_t* ra = shown.bits + static_cast<size_t>(a) * shown.stride;
    uint8_t* rb = shown.bits + static_cast<size_t>(b) * shown.stride;
    std::memcpy(spare.data(), ra, rowBytes);
    std::memcpy(ra, rb, rowBytes);
    std::memcpy(rb, spare.data(), rowBytes);
  }
}

}  // namespace mirabo
