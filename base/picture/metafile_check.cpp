#include "base/picture/metafile_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/picture/bitmap_check.h"
#include "base/picture/checked_bytes.h"
#include "base/picture/limits.h"

namespace mirabo::metafile {
namespace {

using checks::Bytes;
using checks::Fail;
using checks::Need;
using checks::Problem;

constexpr uint64_t kPacked = UINT64_MAX;

// A device-independent bitmap: its header and colour table in info (entries
// of entrySize bytes), its pixels in bitsAvailable bytes, or, when that is
// kPacked, in the rest of info after the colour table. withColourTable is
// false where the player takes the pixels straight after the header.
constexpr uint64_t kAllRows = UINT64_MAX;

void CheckDib(const Bytes& info, uint64_t bitsAvailable, unsigned entrySize, bool withColourTable = true,
              uint64_t rows = kAllRows) {
  Need(info.size() >= 12, "bitmap header cut short");
  const uint32_t headerSize = info.U32(0);
  uint64_t width, height, bitCount, compression = 0, sizeImage = 0, coloursUsed = 0;
  uint64_t tableBytes = 0;
  if (headerSize == 12) {
    width = info.U16(4);
    height = info.U16(6);
    bitCount = info.U16(10);
    entrySize = std::min(entrySize, 3u);
  } else {
    Need(headerSize >= 40 && headerSize <= info.size(), "bitmap header size");
    const int32_t w = info.I32(4), h = info.I32(8);
    Need(w >= 0 && h != INT32_MIN, "bitmap size");
    width = static_cast<uint64_t>(w);
    height = static_cast<uint64_t>(h < 0 ? -static_cast<int64_t>(h) : h);
    bitCount = info.U16(14);
    compression = info.U32(16);
    sizeImage = info.U32(20);
    coloursUsed = info.U32(32);
    if (headerSize == 40 && compression == 3) tableBytes += 12;  // bit-field masks
    if (headerSize == 40 && compression == 6) tableBytes += 16;
  }
  const uint64_t colours = coloursUsed ? coloursUsed : (bitCount <= 8 ? (1ull << bitCount) : 0);
  if (withColourTable) tableBytes += colours * entrySize;
  Need(headerSize + tableBytes <= info.size(), "colour table outside the record");
  if (bitsAvailable == kPacked) bitsAvailable = info.size() - headerSize - tableBytes;
  switch (compression) {
    case 0:  // BI_RGB
    case 3:  // BI_BITFIELDS
    case 6: {
      Need(bitmap::IsPixelDepth(bitCount), "bitmap depth");
      const uint64_t stride = bitmap::RowBytes(width, bitCount);
      Need(stride * std::min(height, rows) <= bitsAvailable, "bitmap pixels outside the record");
      break;
    }
    case 1:  // RLE8, RLE4, JPEG, PNG: the player reads what the header says
    case 2:
    case 4:
    case 5:
      Need(sizeImage > 0 && sizeImage <= bitsAvailable, "compressed bitmap outside the record");
      break;
    default:
      Fail("bitmap compression");
  }
}

// ---------------------------------------------------------------------------
// Windows metafiles

enum class WmfKind {
  Fixed,          // only fixed fields: as many words as the function's high byte says
  Objects,        // fixed, and object numbers in the words listed
  Poly,           // a point count, then the points
  PolyPoly,       // polygon count, point counts, points
  TextOut,
  ExtTextOut,
  Escape,
  Palette,        // a palette object
  Font,
  Region,
  DibBrush,
  PatternBrush,   // an old device bitmap as a brush
  DibBlt,         // a packed DIB after the fixed fields, unless the record is only those
  BitmapBlt,      // an old device bitmap after the fixed fields, the same way
  Dib,            // always a packed DIB
};

struct WmfRecord {
  uint16_t function;
  WmfKind kind;
  uint8_t at = 0;           // Dib kinds: where the bitmap starts in the parameters
  int8_t usageAt = -1;      // Dib kinds: where its colour usage is, if it has one
  uint8_t objects[2] = {0xFF, 0xFF};  // Objects: word positions of object numbers
  uint8_t minBytes = 0;     // Fixed: where the high byte undercounts the fields the player reads
};

constexpr WmfRecord kWmfRecords[] = {
    {0x0035, WmfKind::Fixed},  // REALIZEPALETTE
    {0x0037, WmfKind::Palette},  // SETPALENTRIES
    {0x001E, WmfKind::Fixed},  // SAVEDC
    {0x0102, WmfKind::Fixed},  {0x0103, WmfKind::Fixed}, {0x0104, WmfKind::Fixed}, {0x0105, WmfKind::Fixed},
    {0x0106, WmfKind::Fixed},  {0x0107, WmfKind::Fixed}, {0x0108, WmfKind::Fixed}, {0x0127, WmfKind::Fixed},
    {0x012A, WmfKind::Objects, 0, -1, {0, 0xFF}},  // INVERTREGION
    {0x012B, WmfKind::Objects, 0, -1, {0, 0xFF}},  // PAINTREGION
    {0x012C, WmfKind::Objects, 0, -1, {0, 0xFF}},  // SELECTCLIPREGION
    {0x012D, WmfKind::Objects, 0, -1, {0, 0xFF}},  // SELECTOBJECT
    {0x012E, WmfKind::Fixed},  {0x0139, WmfKind::Fixed},
    {0x0142, WmfKind::DibBrush},                   // DIBCREATEPATTERNBRUSH
    {0x0149, WmfKind::Fixed},
    {0x01F0, WmfKind::Objects, 0, -1, {0, 0xFF}},  // DELETEOBJECT
    {0x01F9, WmfKind::PatternBrush},               // CREATEPATTERNBRUSH
    {0x0201, WmfKind::Fixed},  {0x0209, WmfKind::Fixed}, {0x020A, WmfKind::Fixed}, {0x020B, WmfKind::Fixed},
    {0x020C, WmfKind::Fixed},  {0x020D, WmfKind::Fixed}, {0x020E, WmfKind::Fixed}, {0x020F, WmfKind::Fixed},
    {0x0211, WmfKind::Fixed},  {0x0213, WmfKind::Fixed}, {0x0214, WmfKind::Fixed}, {0x0220, WmfKind::Fixed},
    {0x0228, WmfKind::Objects, 0, -1, {0, 1}},     // FILLREGION
    {0x0231, WmfKind::Fixed},
    {0x0234, WmfKind::Objects, 0, -1, {0, 0xFF}},  // SELECTPALETTE
    {0x02FA, WmfKind::Fixed, 0, -1, {0xFF, 0xFF}, 10},  // CREATEPENINDIRECT
    {0x02FB, WmfKind::Font},                       // CREATEFONTINDIRECT
    {0x02FC, WmfKind::Fixed, 0, -1, {0xFF, 0xFF}, 8},   // CREATEBRUSHINDIRECT
    {0x00F7, WmfKind::Palette},                    // CREATEPALETTE
    {0x0324, WmfKind::Poly},                       // POLYGON
    {0x0325, WmfKind::Poly},                       // POLYLINE
    {0x0410, WmfKind::Fixed},  {0x0412, WmfKind::Fixed}, {0x0415, WmfKind::Fixed}, {0x0416, WmfKind::Fixed},
    {0x0418, WmfKind::Fixed},  {0x0419, WmfKind::Fixed}, {0x041B, WmfKind::Fixed}, {0x041F, WmfKind::Fixed},
    {0x0429, WmfKind::Objects, 0, -1, {0, 1}},     // FRAMEREGION
    {0x0436, WmfKind::Palette},                    // ANIMATEPALETTE
    {0x0521, WmfKind::TextOut},
    {0x0538, WmfKind::PolyPoly},                   // POLYPOLYGON
    {0x0548, WmfKind::Fixed},  {0x061C, WmfKind::Fixed}, {0x061D, WmfKind::Fixed},
    {0x0626, WmfKind::Escape},
    {0x06FF, WmfKind::Region},                     // CREATEREGION
    {0x0817, WmfKind::Fixed},  {0x081A, WmfKind::Fixed}, {0x0830, WmfKind::Fixed},
    {0x0922, WmfKind::BitmapBlt, 16},              // BITBLT
    {0x0940, WmfKind::DibBlt, 16},                 // DIBBITBLT
    {0x0A32, WmfKind::ExtTextOut},
    {0x0B23, WmfKind::BitmapBlt, 20},              // STRETCHBLT
    {0x0B41, WmfKind::DibBlt, 20},                 // DIBSTRETCHBLT
    {0x0D33, WmfKind::Dib, 18, 0},                 // SETDIBTODEV
    {0x0F43, WmfKind::Dib, 22, 4},                 // STRETCHDIB
};

const WmfRecord* FindWmfRecord(uint16_t function) {
  for (const auto& r : kWmfRecords)
    if (r.function == function) return &r;
  return nullptr;
}

// An old device-dependent bitmap: type, width, height, bytes per row,
// planes, bits per pixel, then its rows from bitsAt.
void CheckBitmap16(const Bytes& p, uint64_t bitsAt) {
  Need(p.size() >= 10, "bitmap header cut short");
  const uint64_t width = p.U16(2), height = p.U16(4), rowBytes = p.U16(6), planes = p.U8(8), bits = p.U8(9);
  const uint64_t row = std::max(rowBytes, (width * bits + 15) / 16 * 2);
  Need(bitsAt + row * height * std::max<uint64_t>(planes, 1) <= p.size(), "bitmap outside the record");
}

void CheckWmfRecord(const WmfRecord& r, const Bytes& p, uint32_t recordWords, uint32_t objects) {
  const uint64_t n = p.size();
  switch (r.kind) {
    case WmfKind::Fixed:
      Need(n >= std::max(2u * (r.function >> 8), unsigned{r.minBytes}), "record shorter than its fields");
      break;
    case WmfKind::Objects:
      Need(n >= 2u * (r.function >> 8), "record shorter than its fields");
      for (uint8_t word : r.objects) {
        if (word != 0xFF) Need(p.U16(2u * word) < objects, "object number beyond the header's count");
      }
      break;
    case WmfKind::Poly:
      Need(n >= 2 && 2 + 4ull * p.U16(0) <= n, "more points than the record holds");
      break;
    case WmfKind::PolyPoly: {
      Need(n >= 2, "record shorter than its fields");
      const uint64_t polygons = p.U16(0);
      Need(2 + 2 * polygons <= n, "more polygons than the record holds");
      uint64_t points = 0;
      for (uint64_t i = 0; i < polygons; ++i) points += p.U16(2 + 2 * i);
      Need(2 + 2 * polygons + 4 * points <= n, "more points than the record holds");
      break;
    }
    case WmfKind::TextOut:
      Need(n >= 2 && 2 + (p.U16(0) + 1ull) / 2 * 2 + 4 <= n, "text longer than the record");
      break;
    case WmfKind::ExtTextOut: {
      Need(n >= 8, "record shorter than its fields");
      const uint64_t length = p.U16(4), options = p.U16(6);
      const uint64_t rect = (options & 0x0006) ? 8 : 0;  // ETO_OPAQUE, ETO_CLIPPED
      Need(8 + rect + (length + 1) / 2 * 2 <= n, "text longer than the record");
      break;
    }
    case WmfKind::Escape:
      Need(n >= 4 && 4ull + p.U16(2) <= n, "escape data longer than the record");
      break;
    case WmfKind::Palette:
      Need(n >= 4 && 4 + 4ull * p.U16(2) <= n, "more colours than the record holds");
      break;
    case WmfKind::Font: {
      Need(n >= 18, "record shorter than its fields");
      // The face name ends with a zero inside the record, or fills all 32 bytes.
      const uint64_t nameBytes = std::min<uint64_t>(n - 18, 32);
      const uint8_t* name = p.Data() + 18;
      Need(nameBytes == 32 || std::memchr(name, 0, nameBytes) != nullptr, "font name runs past the record");
      break;
    }
    case WmfKind::Region: {
      Need(n >= 22, "record shorter than its fields");
      const uint64_t scans = p.U16(10);
      uint64_t at = 22;
      for (uint64_t i = 0; i < scans; ++i) {
        Need(at + 6 <= n, "region scans outside the record");
        at += 6 + 2ull * p.U16(at) + 2;
        Need(at <= n, "region scans outside the record");
      }
      break;
    }
    case WmfKind::DibBrush: {
      Need(n >= 4, "record shorter than its fields");
      const bool pattern = p.U16(0) == 3;  // BS_PATTERN: pixels right after the header
      CheckDib(p.Sub(4, n - 4), kPacked, p.U16(2) == 1 ? 2 : 4, !pattern);
      break;
    }
    case WmfKind::PatternBrush:
      CheckBitmap16(p, 28);
      break;
    case WmfKind::DibBlt:
    case WmfKind::BitmapBlt:
      if (recordWords == (r.function >> 8) + 3u) {
        Need(n >= 2u * (r.function >> 8), "record shorter than its fields");
        break;  // no bitmap: a pattern or the destination alone
      }
      [[fallthrough]];
    case WmfKind::Dib: {
      Need(n >= r.at, "record shorter than its fields");
      if (r.kind == WmfKind::BitmapBlt) {
        CheckBitmap16(p.Sub(r.at, n - r.at), 10);
        break;
      }
      const unsigned entry = r.usageAt >= 0 && p.U16(static_cast<uint64_t>(r.usageAt)) == 1 ? 2 : 4;
      CheckDib(p.Sub(r.at, n - r.at), kPacked, entry);
      break;
    }
  }
}

// The header and every record of a Windows metafile; the size to play.
// header: the file size the header should state when it states more than
// the file holds (0 when it is right).
size_t CheckWmf(const Bytes& d, uint32_t& headerWords) {
  Need(d.size() >= 18, "header cut short");
  Need(d.U16(0) == 1 || d.U16(0) == 2, "header type");
  Need(d.U16(2) == 9, "header size");
  Need(d.U16(4) == 0x0100 || d.U16(4) == 0x0300, "header version");
  uint64_t total = 2ull * d.U32(6);
  Need(total >= 18, "the header's file size is beyond the file");
  // Writers that count the placeable header in (11 words too many) are
  // common and the system plays their files: the file's end is the end.
  // Any other overstatement is taken when the records up to the end
  // record lie inside the file.
  const bool overstated = total > d.size();
  const bool placeableCounted = total == d.size() + 22;
  if (overstated) total = d.size() & ~uint64_t{1};
  const uint32_t objects = d.U16(10);
  uint64_t at = 18;
  bool ended = false;
  while (at < total) {
    Need(at + 6 <= total, "record header cut short");
    const uint32_t words = d.U32(at);
    const uint16_t function = static_cast<uint16_t>(d.U16(at + 4));
    Need(words >= 3, "record size below the minimum");
    Need(at + 2ull * words <= total, "record beyond the end of the file");
    if (function == 0) {  // META_EOF: the player stops here
      ended = true;
      at += 2ull * words;
      break;
    }
    if (const WmfRecord* r = FindWmfRecord(function)) CheckWmfRecord(*r, d.Sub(at + 6, 2ull * words - 6), words, objects);
    at += 2ull * words;
  }
  if (!overstated) return static_cast<size_t>(total);
  Need(ended || placeableCounted, "the header's file size is beyond the file");
  const uint64_t played = ended ? at : total;
  headerWords = static_cast<uint32_t>(played / 2);
  return static_cast<size_t>(played);
}

// ---------------------------------------------------------------------------
// Enhanced metafiles

enum class EmfKind {
  Fixed,       // fixed fields only
  Poly,        // bounds, a point count, points of pointSize bytes
  PolyPoly,    // bounds, polygon count, point count, the counts, points
  PolyDraw,    // bounds, point count, points, a type byte per point
  Text,        // one EMRTEXT at 36 (charSize bytes a character)
  PolyText,    // a count at 36, EMRTEXTs from 40
  SmallText,
  Bitmaps,     // one or two bitmaps: (offset, size) of info and pixels at the fields listed
  Region,      // region data of the size at countAt, from dataAt
  Counted,     // data of the sizes at countAt (and countAt2) from dataAt
  Palette,     // a 16-bit colour count at countAt, colours from dataAt
  PaletteEntries,  // a 32-bit colour count at countAt, colours from dataAt
  Eof,
  Pen,         // EXTCREATEPEN: a bitmap and a style-entry count
  Gradient,
  Header,
};

enum class Handle : uint8_t { None, Create, Use, UseOrStock };

struct EmfRecord {
  uint32_t type;
  uint32_t minSize;
  EmfKind kind = EmfKind::Fixed;
  Handle handle = Handle::None;  // the object number at 8
  uint16_t countAt = 0, dataAt = 0, countAt2 = 0;
  uint8_t pointSize = 0;  // Poly kinds: 8 or 4; Text kinds: bytes a character
  uint8_t bitmaps[2] = {0, 0};  // Bitmaps: where each (offBmi, cbBmi, offBits, cbBits) is
  uint8_t usageAt = 0;          // Bitmaps: the first one's colour usage, if it has one
};

constexpr EmfRecord kEmfRecords[] = {
    {1, 88, EmfKind::Header},
    {2, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 8},  {3, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 8},
    {4, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 8},  {5, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 8},
    {6, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 8},
    {7, 32, EmfKind::PolyPoly, Handle::None, 0, 0, 0, 8}, {8, 32, EmfKind::PolyPoly, Handle::None, 0, 0, 0, 8},
    {9, 16},  {10, 16}, {11, 16}, {12, 16}, {13, 16},
    {14, 20, EmfKind::Eof},
    {15, 20}, {16, 12}, {17, 12}, {18, 12}, {19, 12}, {20, 12}, {21, 12}, {22, 12}, {23, 32}, {24, 12},
    {25, 12}, {26, 16}, {27, 16}, {28, 8},  {29, 24}, {30, 24}, {31, 24}, {32, 24}, {33, 8},  {34, 12},
    {35, 32}, {36, 36},
    {37, 12, EmfKind::Fixed, Handle::UseOrStock},  // SELECTOBJECT
    {38, 28, EmfKind::Fixed, Handle::Create},      // CREATEPEN
    {39, 24, EmfKind::Fixed, Handle::Create},      // CREATEBRUSHINDIRECT
    {40, 12, EmfKind::Fixed, Handle::Use},         // DELETEOBJECT
    {41, 28}, {42, 24}, {43, 24}, {44, 32}, {45, 40}, {46, 40}, {47, 40},
    {48, 12, EmfKind::Fixed, Handle::UseOrStock},  // SELECTPALETTE
    {49, 16, EmfKind::Palette, Handle::Create, 14, 16},          // CREATEPALETTE
    {50, 20, EmfKind::PaletteEntries, Handle::Use, 16, 20},      // SETPALETTEENTRIES
    {51, 16, EmfKind::Fixed, Handle::Use},                       // RESIZEPALETTE
    {52, 8},  {53, 24}, {54, 16}, {55, 40},
    {56, 28, EmfKind::PolyDraw, Handle::None, 0, 0, 0, 8},
    {57, 12}, {58, 12}, {59, 8},  {60, 8},  {61, 8},  {62, 24}, {63, 24}, {64, 24}, {65, 8},  {66, 8},
    {67, 12}, {68, 8},
    {70, 12, EmfKind::Counted, Handle::None, 8, 12},             // GDICOMMENT
    {71, 32, EmfKind::Region, Handle::Use, 24, 32},              // FILLRGN (brush at 28)
    {72, 40, EmfKind::Region, Handle::Use, 24, 40},              // FRAMERGN (brush at 28)
    {73, 28, EmfKind::Region, Handle::None, 24, 28},             // INVERTRGN
    {74, 28, EmfKind::Region, Handle::None, 24, 28},             // PAINTRGN
    {75, 16, EmfKind::Region, Handle::None, 8, 16},              // EXTSELECTCLIPRGN
    {76, 100, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {84, 0}, 80},     // BITBLT
    {77, 108, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {84, 0}, 80},     // STRETCHBLT
    {78, 128, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {84, 112}, 80},   // MASKBLT
    {79, 140, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {96, 124}, 92},  // PLGBLT
    {80, 76, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {48, 0}, 64},      // SETDIBITSTODEVICE
    {81, 80, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {48, 0}, 64},      // STRETCHDIBITS
    {82, 104, EmfKind::Fixed, Handle::Create},                   // EXTCREATEFONTINDIRECTW
    {83, 76, EmfKind::Text, Handle::None, 0, 0, 0, 1},           // EXTTEXTOUTA
    {84, 76, EmfKind::Text, Handle::None, 0, 0, 0, 2},           // EXTTEXTOUTW
    {85, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 4},  {86, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 4},
    {87, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 4},  {88, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 4},
    {89, 28, EmfKind::Poly, Handle::None, 0, 0, 0, 4},
    {90, 32, EmfKind::PolyPoly, Handle::None, 0, 0, 0, 4}, {91, 32, EmfKind::PolyPoly, Handle::None, 0, 0, 0, 4},
    {92, 28, EmfKind::PolyDraw, Handle::None, 0, 0, 0, 4},
    {93, 32, EmfKind::Bitmaps, Handle::Create, 0, 0, 0, 0, {16, 0}},    // CREATEMONOBRUSH
    {94, 32, EmfKind::Bitmaps, Handle::Create, 0, 0, 0, 0, {16, 0}, 12},    // CREATEDIBPATTERNBRUSHPT
    {95, 52, EmfKind::Pen, Handle::Create},                      // EXTCREATEPEN
    {96, 40, EmfKind::PolyText, Handle::None, 0, 0, 0, 1},       // POLYTEXTOUTA
    {97, 40, EmfKind::PolyText, Handle::None, 0, 0, 0, 2},       // POLYTEXTOUTW
    {98, 12},
    {99, 340, EmfKind::Fixed, Handle::Create},                   // CREATECOLORSPACE
    {100, 12, EmfKind::Fixed, Handle::Use},                      // SETCOLORSPACE
    {101, 12, EmfKind::Fixed, Handle::Use},                      // DELETECOLORSPACE
    {102, 12, EmfKind::Counted, Handle::None, 8, 12},            // GLSRECORD
    {103, 28, EmfKind::Counted, Handle::None, 24, 28},           // GLSBOUNDEDRECORD
    {104, 48},                                                   // PIXELFORMAT
    {105, 16, EmfKind::Counted, Handle::None, 12, 16},           // DRAWESCAPE
    {106, 16, EmfKind::Counted, Handle::None, 12, 16},           // EXTESCAPE
    {108, 36, EmfKind::SmallText},
    {109, 16},
    {110, 20, EmfKind::Counted, Handle::None, 12, 20, 16},       // NAMEDESCAPE
    {111, 24, EmfKind::Fixed, Handle::Use},                      // COLORCORRECTPALETTE
    {112, 20, EmfKind::Counted, Handle::None, 12, 20, 16},       // SETICMPROFILEA
    {113, 20, EmfKind::Counted, Handle::None, 12, 20, 16},       // SETICMPROFILEW
    {114, 108, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {84, 0}, 80},    // ALPHABLEND
    {115, 12},
    {116, 108, EmfKind::Bitmaps, Handle::None, 0, 0, 0, 0, {84, 0}, 80},    // TRANSPARENTBLT
    {118, 36, EmfKind::Gradient},
    {119, 12, EmfKind::Counted, Handle::None, 8, 12},            // SETLINKEDUFIS (8 bytes each: see below)
    {120, 16},
    {121, 24, EmfKind::Counted, Handle::None, 16, 24, 20},       // COLORMATCHTOTARGETW
    {122, 608, EmfKind::Counted, Handle::Create, 604, 608},      // CREATECOLORSPACEW
};

const EmfRecord* FindEmfRecord(uint32_t type) {
  for (const auto& r : kEmfRecords)
    if (r.type == type) return &r;
  return nullptr;
}

// Object number 0 is the metafile itself; numbers with the high bit are the
// system's stock objects, which the player asks the system for.
void CheckHandle(Handle kind, uint32_t number, uint32_t handles) {
  if (kind == Handle::None) return;
  if (kind == Handle::UseOrStock && (number & 0x80000000u)) return;
  Need(number != 0 && number < handles, "object number beyond the header's count");
}

// One EMRTEXT at at: reference point, character count, string offset,
// options, clip rectangle, offset of the widths.
void CheckEmrText(const Bytes& r, uint64_t at, unsigned charSize) {
  Need(at + 40 <= r.size(), "text header outside the record");
  const uint64_t chars = r.U32(at + 8), stringAt = r.U32(at + 12), options = r.U32(at + 16), dxAt = r.U32(at + 36);
  if (chars == 0) return;
  Need(stringAt + chars * charSize <= r.size(), "text longer than the record");
  const uint64_t widths = (options & 0x2000) ? 8 : 4;  // ETO_PDY: two widths a character
  if (dxAt != 0) Need(dxAt + chars * widths <= r.size(), "character widths outside the record");
}

void CheckEmfRecord(const EmfRecord& e, const Bytes& r, uint32_t handles) {
  const uint64_t n = r.size();
  Need(n >= e.minSize, "record shorter than its fields");
  CheckHandle(e.handle, r.U32(8), handles);
  switch (e.kind) {
    case EmfKind::Fixed:
    case EmfKind::Header:
      break;
    case EmfKind::Poly:
      Need(28 + uint64_t{e.pointSize} * r.U32(24) <= n, "more points than the record holds");
      break;
    case EmfKind::PolyPoly: {
      const uint64_t polygons = r.U32(24), points = r.U32(28);
      Need(32 + 4 * polygons + e.pointSize * points <= n, "more points than the record holds");
      uint64_t sum = 0;
      for (uint64_t i = 0; i < polygons; ++i) sum += r.U32(32 + 4 * i);
      Need(sum <= points, "polygons with more points than the record holds");
      break;
    }
    case EmfKind::PolyDraw:
      Need(28 + (e.pointSize + 1ull) * r.U32(24) <= n, "more points than the record holds");
      break;
    case EmfKind::Text:
      CheckEmrText(r, 36, e.pointSize);
      break;
    case EmfKind::PolyText: {
      const uint64_t strings = r.U32(36);
      Need(40 + 40 * strings <= n, "more texts than the record holds");
      for (uint64_t i = 0; i < strings; ++i) CheckEmrText(r, 40 + 40 * i, e.pointSize);
      break;
    }
    case EmfKind::SmallText: {
      const uint64_t chars = r.U32(16), options = r.U32(20);
      const uint64_t clip = (options & 0x0100) ? 0 : 16;  // ETO_NO_RECT
      const uint64_t charSize = (options & 0x0200) ? 1 : 2;  // ETO_SMALL_CHARS
      Need(36 + clip + chars * charSize <= n, "text longer than the record");
      break;
    }
    case EmfKind::Bitmaps:
      for (uint8_t at : e.bitmaps) {
        if (at == 0) continue;
        const uint64_t infoAt = r.U32(at), infoSize = r.U32(at + 4), bitsAt = r.U32(at + 8),
                       bitsSize = r.U32(at + 12);
        if (infoSize == 0) continue;  // no bitmap: the operation uses none
        Need(infoAt + infoSize <= n && bitsAt + bitsSize <= n, "bitmap outside the record");
        // DIB_PAL_COLORS: two-byte palette indices instead of colours.
        const unsigned entry = (at == e.bitmaps[0] && e.usageAt && r.U32(e.usageAt) == 1) ? 2 : 4;
        // SETDIBITSTODEVICE sends only the scan lines it sets.
        const uint64_t rows = e.type == 80 ? r.U32(72) : kAllRows;
        CheckDib(r.Sub(infoAt, infoSize), bitsSize, entry, true, rows);
      }
      break;
    case EmfKind::Region: {
      if (e.type == 71 || e.type == 72) CheckHandle(Handle::Use, r.U32(28), handles);
      const uint64_t size = r.U32(e.countAt);
      Need(e.dataAt + size <= n, "region data outside the record");
      if (size == 0) break;  // EXTSELECTCLIPRGN with RGN_COPY and no region
      Need(size >= 32, "region header cut short");
      Need(32 + 16ull * r.U32(e.dataAt + 8) <= size, "region rectangles outside the record");
      break;
    }
    case EmfKind::Counted: {
      uint64_t size = r.U32(e.countAt);
      if (e.type == 119) size *= 8;
      if (e.countAt2) size += r.U32(e.countAt2);
      Need(e.dataAt + size <= n, "data longer than the record");
      break;
    }
    case EmfKind::Palette:
      Need(e.dataAt + 4ull * r.U16(e.countAt) <= n, "more colours than the record holds");
      break;
    case EmfKind::PaletteEntries:
      Need(e.dataAt + 4ull * r.U32(e.countAt) <= n, "more colours than the record holds");
      break;
    case EmfKind::Eof: {
      const uint64_t colours = r.U32(8), at = r.U32(12);
      if (colours) Need(at + 4 * colours <= n, "palette outside the record");
      break;
    }
    case EmfKind::Pen: {
      Need(52 + 4ull * r.U32(48) <= n, "pen style longer than the record");
      const uint64_t infoAt = r.U32(12), infoSize = r.U32(16), bitsAt = r.U32(20), bitsSize = r.U32(24);
      if (infoSize) {
        Need(infoAt + infoSize <= n && bitsAt + bitsSize <= n, "bitmap outside the record");
        CheckDib(r.Sub(infoAt, infoSize), bitsSize, 4);
      }
      break;
    }
    case EmfKind::Gradient: {
      const uint64_t vertices = r.U32(24), shapes = r.U32(28), mode = r.U32(32);
      const uint64_t shapeSize = mode == 2 ? 12 : 8;  // GRADIENT_FILL_TRIANGLE
      Need(36 + 16 * vertices + shapeSize * shapes <= n, "gradient longer than the record");
      const uint64_t first = 36 + 16 * vertices;
      for (uint64_t i = 0; i < shapes * (shapeSize / 4); ++i)
        Need(r.U32(first + 4 * i) < vertices, "gradient vertex beyond its count");
      break;
    }
  }
}

size_t CheckEmf(const Bytes& d, Checked& out) {
  Need(d.size() >= 88, "header cut short");
  Need(d.U32(0) == 1, "header type");
  const uint64_t headerSize = d.U32(4);
  Need(d.U32(40) == 0x464D4520, "signature");
  const uint64_t total = d.U32(48);
  Need(total <= d.size(), "the header's file size is beyond the file");
  Need(headerSize >= 88 && headerSize % 4 == 0 && headerSize <= total, "header size");
  const uint32_t handles = d.U16(56);
  Need(handles >= 1, "object table size");
  const uint64_t descriptionChars = d.U32(60), descriptionAt = d.U32(64);
  if (descriptionChars) Need(descriptionAt + 2 * descriptionChars <= headerSize, "description outside the header");
  Need(d.I32(72) > 0 && d.I32(76) > 0 && d.I32(80) > 0 && d.I32(84) > 0, "device size");
  if (headerSize >= 100) {
    const uint64_t formatSize = d.U32(88), formatAt = d.U32(92);
    if (formatSize) Need(formatAt + formatSize <= headerSize, "pixel format outside the header");
  }
  out.frameLeft = d.I32(24);
  out.frameTop = d.I32(28);
  out.frameRight = d.I32(32);
  out.frameBottom = d.I32(36);
  uint64_t at = 0;
  bool ended = false;
  while (at < total) {
    Need(at + 8 <= total, "record header cut short");
    const uint32_t type = d.U32(at), size = d.U32(at + 4);
    Need(size >= 8 && size % 4 == 0, "record size");
    Need(at + size <= total, "record beyond the end of the file");
    Need((at == 0) == (type == 1), "header record out of place");
    if (const EmfRecord* e = FindEmfRecord(type)) CheckEmfRecord(*e, d.Sub(at, size), handles);
    at += size;
    if (type == 14) {  // EMR_EOF: the player stops here
      ended = true;
      break;
    }
  }
  Need(ended, "no end record");
  return static_cast<size_t>(at);
}

}  // namespace

CheckResult Check(std::span<const uint8_t> data) {
  CheckResult result;
  const Bytes d(data);
  try {
    if (d.size() >= 4 && d.U32(0) == 0x9AC6CDD7) {
      // Placeable: a 22-byte header with a checksum over its first ten words.
      Need(d.size() >= 22, "placeable header cut short");
      uint32_t sum = 0;
      for (int i = 0; i < 10; ++i) sum ^= d.U16(2 * i);
      Need(sum == d.U16(20), "placeable header checksum");
      result.metafile.format = Format::PlaceableWmf;
      result.metafile.left = d.I16(6);
      result.metafile.top = d.I16(8);
      result.metafile.right = d.I16(10);
      result.metafile.bottom = d.I16(12);
      result.metafile.unitsPerInch = static_cast<int>(d.U16(14));
      Need(result.metafile.unitsPerInch > 0, "units per inch");
      result.metafile.offset = 22;
      result.metafile.size = CheckWmf(d.Sub(22, d.size() - 22), result.metafile.headerWords);
    } else if (d.size() >= 44 && d.U32(40) == 0x464D4520) {
      result.metafile.format = Format::Emf;
      result.metafile.size = CheckEmf(d, result.metafile);
    } else {
      result.metafile.format = Format::Wmf;
      result.metafile.size = CheckWmf(d, result.metafile.headerWords);
    }
    result.ok = true;
  } catch (const Problem& p) {
    result.problem = p.text;
  }
  return result;
}

int64_t ExtentPixels(int64_t from, int64_t to, int dpi, int unitsPerInch) {
  if (unitsPerInch <= 0) return 0;
  const int64_t units = to >= from ? to - from : from - to;
  return units * dpi / unitsPerInch;
}

DrawSize CapDrawSize(int64_t width, int64_t height) {
  // Metafile extents come from 16- and 32-bit fields: far inside int64_t,
  // so the magnitudes cannot overflow.
  width = width < 0 ? -width : width;
  height = height < 0 ? -height : height;
  double scale = 1.0;
  const double pixels = static_cast<double>(width) * static_cast<double>(height);
  if (pixels > static_cast<double>(kMaxPicturePixels)) scale = std::sqrt(static_cast<double>(kMaxPicturePixels) / pixels);
  for (const int64_t side : {width, height})
    if (side > 0) scale = std::min(scale, static_cast<double>(kMaxPictureSide) / static_cast<double>(side));
  const auto capped = [&](int64_t v) {
    if (v == 0 || scale >= 1.0) return static_cast<int>(v);
    return static_cast<int>(std::max<int64_t>(1, static_cast<int64_t>(std::floor(static_cast<double>(v) * scale))));
  };
  return {capped(width), capped(height)};
}

}  // namespace mirabo::metafile
