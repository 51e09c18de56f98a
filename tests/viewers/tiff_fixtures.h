#pragma once
// TIFF and PCX files the tests write themselves: every page a pattern whose
// expected colour at each pixel is known, stored in the layout asked for.
#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mirabo::test {

// The colour a fixture's pixel should show, 0xRRGGBB.
using PagePattern = std::function<uint32_t(int x, int y)>;

// Black and white, grey and colour patterns with detail in both directions.
uint32_t BilevelPattern(int x, int y);
uint32_t GreyPattern(int x, int y);
uint32_t ColourPattern(int x, int y);

struct TiffPage {
  int width = 40, height = 30;
  uint16_t bits = 1, samples = 1;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t compression = COMPRESSION_NONE;
  uint32_t group3Options = 0;  // GROUP3OPT_2DENCODING for 2-D
  uint16_t fillOrder = FILLORDER_MSB2LSB;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint16_t extraSample = 0xFFFF;  // EXTRASAMPLE_ASSOCALPHA / UNASSALPHA with 4 samples
  uint32_t rowsPerStrip = 7;
  uint32_t tileWidth = 0, tileHeight = 0;  // tiled when set
  float xres = 0, yres = 0;
  uint16_t resUnit = RESUNIT_INCH;
  PagePattern pattern = BilevelPattern;
  // The alpha each pixel gets (255 = opaque), for the alpha layouts.
  std::function<uint8_t(int x, int y)> alpha = [](int, int) -> uint8_t { return 255; };
  // Pages of any sample form: each stored sample's number (integers are
  // stored in two's complement whatever their form) and the colour the
  // viewer is to show, both at the upright picture's (x, y).
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  std::function<double(int x, int y, int sample)> value;
  PagePattern expected;
  double smin = 0, smax = 0;  // written when smax > smin
  int webpLossless = 1;
};

// The size of the page as shown (width and height exchanged by the
// orientations 5 to 8).
int ShownWidth(const TiffPage& page);
int ShownHeight(const TiffPage& page);

// One page of each layout the viewer once showed wrong or refused: a
// 1-bit palette, signed, floating-point, 12- and 32-bit samples, 16-bit
// CMYK, L*a*b* in its three encodings, the newer compressions.
struct VariantPage {
  std::string name;
  TiffPage page;
  int tolerance = 0;  // per channel
  bool grey = false;  // shown as a grey page (else colour)
};
std::vector<VariantPage> VariantPages();
// 16 bits a sample of cyan, magenta, yellow and the given black (0..255).
TiffPage Cmyk16Page(unsigned black);

// A TIFF file in memory with one directory a page.
std::vector<uint8_t> WriteTiff(const std::vector<TiffPage>& pages);

// The file with the strips (or tiles) of page index overwritten by bytes
// no decoder accepts.
std::vector<uint8_t> DamagePage(std::vector<uint8_t> file, int index);

// A PCX file: bitsPerPlane x planes as stored, run-length encoded unless
// plain, with bytesPerLine padding beyond what the width needs and the
// window's corner at (x0, y0).
struct PcxSpec {
  int width = 21, height = 9;
  int bitsPerPlane = 8, planes = 1;
  int extraLineBytes = 1;
  int x0 = 5, y0 = 3;
  bool encoded = true;
  bool invertedMonochrome = false;  // white first in the header's palette
  PagePattern pattern = ColourPattern;
};
std::vector<uint8_t> WritePcx(const PcxSpec& pcx);

}  // namespace mirabo::test

namespace mirabo::test {

// What the viewer should show at a pixel of a fixture page: the pattern as
// the stored depth can hold it (palette pages their palette's colour,
// alpha pages the colour over white).
uint32_t ExpectedColour(const TiffPage& page, int x, int y);
uint32_t ExpectedColour(const PcxSpec& pcx, int x, int y);

}  // namespace mirabo::test
