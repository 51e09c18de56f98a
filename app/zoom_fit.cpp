#include "app/zoom_fit.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace mirabo {

int ZoomedIn(int level) { return level == 0 ? level : level - 1; }

int ZoomedOut(int level) { return level == 3 ? level : level + 1; }

int RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  double result = floor;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0)) result = floor + 1.0;
  if (result > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (result < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(result);
}

FitResult ComputeFit(int width, int height, int boxWidth, int boxHeight, bool fitWin, bool fitOver) {
  const FitResult natural{false, width, height};
  if (!fitWin) return natural;
  const int limitW = boxWidth - 4, limitH = boxHeight - 4;
  if (fitOver && width <= limitW && height <= limitH) return natural;
  if (limitW <= 0 || limitH <= 0) return natural;  // no room to fit into
  const double rw = static_cast<double>(width) / limitW;
  const double rh = static_cast<double>(height) / limitH;
  if (rw == 0.0 || rh == 0.0) return natural;  // an empty picture
  if (rw > rh) return {true, limitW, RoundHalfEven(height / rw)};
  return {true, RoundHalfEven(width / rh), limitH};
}

SlideStep NextSlide(bool slideOn, int count, int currentIndex, bool loop) {
  if (!slideOn || count < 2) return SlideStep::Stay;
  if (currentIndex == count - 1) return loop ? SlideStep::WrapToFirst : SlideStep::Stay;
  return SlideStep::Forward;
}

}  // namespace mirabo
