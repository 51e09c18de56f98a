#include "base/print_fit.h"

namespace mirabo {

PrintFit FitToPage(int pictureWidth, int pictureHeight, int pageWidth, int pageHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return {};
  float w = static_cast<float>(pictureWidth), h = static_cast<float>(pictureHeight);
  const float r = w / h;
  const auto pw = static_cast<float>(pageWidth), ph = static_cast<float>(pageHeight);
  if (pw > w && ph > h) {  // smaller than the page both ways: enlarge
    if (w >= h) {
      w = pw;
      h = w / r;
    } else {
      h = ph;
      w = h * r;
    }
  }
  if (pw < w) {
    w = pw;
    h = w / r;
  }
  if (ph < h) {
    h = ph;
    w = h * r;
  }
  return {static_cast<int>(w), static_cast<int>(h)};
}

}  // namespace mirabo
