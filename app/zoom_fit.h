#pragma once
// The arithmetic of zooming, fitting a picture to the window and the slide
// show's next step, kept apart from the windows so it can be checked exactly.
#include <optional>
#include <string_view>

namespace mirabo {

// Zoom in lowers the level (0 is full size) and does nothing at 0; zoom out
// raises it and does nothing at 3. A level read from a hand-edited file
// outside 0 to 3 still steps by one.
int ZoomedIn(int level);
int ZoomedOut(int level);

struct FitResult {
  bool stretched = false;
  int width = 0, height = 0;  // the picture control's size
};

// W × H: the picture as held; boxWidth × boxHeight: the scroll box's outer
// size. Natural size unless fitting applies; a stretched picture keeps its
// aspect ratio with the limiting side 4 pixels inside the box, rounded half
// to even, ties going to the height.
FitResult ComputeFit(int width, int height, int boxWidth, int boxHeight, bool fitWin, bool fitOver);

// Round to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);

// What a slide-show tick does with the folder list.
enum class SlideStep { Stay, Forward, WrapToFirst };
SlideStep NextSlide(bool slideOn, int count, int currentIndex, bool loop);

}  // namespace mirabo
