#pragma once
// Where a picture lands on a printed page: enlarged to the page's width or
// height when it is smaller both ways, shrunk to fit when it is larger
// either way, keeping its proportions, at the top left. The arithmetic is
// single precision, step by step, as the printing has always done it.

namespace mirabo {

struct PrintFit {
  int width = 0, height = 0;
};

PrintFit FitToPage(int pictureWidth, int pictureHeight, int pageWidth, int pageHeight);

}  // namespace mirabo
