#pragma once
// What the document control does with a kept page: quarter turns, the
// reduced copies it paints below 100 % (black-and-white pages averaged to
// grey, so small print stays legible), square pixels for pages scanned at
// different resolutions across and down, a rectangle as a packed DIB for
// the clipboard, and a page's place on paper.
#include <cstdint>
#include <vector>

#include "viewers/document/page.h"

namespace mirabo {

// Quarter turns to the left (1 = left, 2 = half, 3 = right); the format is
// kept. Left: (x, y) goes to (y, W - 1 - x); right: (x, y) to (H - 1 - y, x).
DocPage TurnPage(const DocPage& page, int quarterTurnsLeft);

// The page a file stores in one of the eight orientations TIFF and EXIF
// number (1 upright ... 5 to 8 rows and columns exchanged) as it is to be
// shown; the format is kept.
DocPage OrientPage(DocPage page, int orientation);

// Each factor x factor block averaged to one pixel (factor >= 2); the result
// is width / factor by height / factor (at least 1 x 1). Black-and-white
// pages come back grey: the share of white in the block.
// recycle: see MakePage.
DocPage ReducePage(const DocPage& page, int factor, DocPage* recycle = nullptr);
// The same in parts: the reduced page's memory first, then rows of it as
// they are needed (a repaint needs only the rows on screen).
DocPage MakeReducedPage(const DocPage& page, int factor, DocPage* recycle = nullptr);
void ReduceRows(const DocPage& page, int factor, DocPage& out, int firstRow, int endRow);

// Pages whose horizontal and vertical resolutions differ (a fax's 204 x 98
// dpi) are stretched along the coarser direction, by repeating rows or
// columns, until both are the finer one: the page then looks as it did on
// paper at every zoom, turn and print. Ratios beyond 8 are taken as a
// writer's mistake and left alone.
bool HasOblongPixels(const DocPage& page);
struct SquareSize {
  int width, height;
};
SquareSize SquaredSize(int width, int height, double xdpi, double ydpi);
// The rows of a page already in memory repeated downwards until it is
// newHeight rows high, as SquarePixels repeats them; its memory must hold
// that many rows.
void RepeatRowsInPlace(DocPage& page, int newHeight);
// The stretched copy of a page with oblong pixels (a plain copy of any
// other); recycle: see MakePage.
DocPage SquarePixels(const DocPage& page, DocPage* recycle = nullptr);

// The rectangle (clipped to the page) as a packed bottom-up DIB: a 40-byte
// header, the colour table (black and white for 1-bit pages, 256 greys for
// grey ones) and the rows. Empty when nothing of the page is inside.
std::vector<uint8_t> PageAreaDib(const DocPage& page, int left, int top, int width, int height);

struct PlacedRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Where a page lands on a printer's printable area (both in device pixels):
// at the page's own size when its resolution is known and it fits, else
// shrunk or enlarged to fit keeping its proportions; centred either way.
PlacedRect PlaceOnPaper(int pageWidth, int pageHeight, double pageDpi, int areaWidth, int areaHeight,
                        int deviceDpiX, int deviceDpiY);

}  // namespace mirabo
