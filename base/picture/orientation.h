#pragma once
// The eight ways a picture's stored pixels may stand, as EXIF numbers them
// (1 upright; 2 mirrored; 3 upside down; 4 upside down and mirrored; 5 to 8
// the same with rows and columns exchanged, 6 lying on its left side and 8
// on its right), and the pixels placed the way they are to be shown.
#include <cstddef>
#include <cstdint>

#include "base/picture/rotate.h"

namespace mirabo {

// A quarter turn of what is shown, as an orientation: one to the left (8)
// or to the right (6).
inline constexpr int kTurnLeft = 8, kTurnRight = 6;

// Whether showing the picture exchanges its width and height.
bool Transposes(int orientation);

// The orientation of the picture shown by first then turned by then: the
// stored orientation and the user's turns composed.
int Compose(int first, int then);

// Where the stored pixel (x, y) of a width x height picture is shown.
struct Point {
  int x, y;
};
Point Shown(int orientation, int width, int height, Point stored);

// Places stored rows y0.. (band holds them, the stored picture's full width)
// into shown, which has the shown picture's size; after the last band,
// FinishOrientation completes what a band cannot (the mirrored transposes
// are flipped as a whole). Bands may be placed in any order, also at the
// same time from two threads.
void PlaceBand(const PixelBuffer& band, int y0, int storedHeight, const PixelBuffer& shown, int orientation);
void FinishOrientation(const PixelBuffer& shown, int orientation);

}  // namespace mirabo
