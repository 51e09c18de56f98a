#include "viewers/document/tiff_document.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

#include "base/picture/orientation.h"
#include "viewers/document/page_ops.h"
#include "viewers/document/tiff_samples.h"

namespace mirabo {
namespace {

// libtiff reads through these: the source and the position it last sought.
struct Stream {
  std::unique_ptr<ByteSource> source;
  uint64_t position = 0;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
  auto* s = static_cast<Stream*>(h);
  if (size <= 0) return 0;
  const size_t n = s->source->ReadAt(s->position, buffer, static_cast<size_t>(size));
  s->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<Stream*>(h);
  const uint64_t base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->source->Size() : 0;
  s->position = base + offset;
  return s->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<Stream*>(h)->source->Size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's messages for this file go into its own text, not to a console
// the program does not have.
int KeepError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  auto* last = static_cast<std::string*>(user);
  *last = module && *module ? std::string(module) + ": " + text : text;
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Every bit flipped, eight bytes at a time (a byte loop is not vectorised at
// the optimisation level the program is built with).
void Invert(uint8_t* p, size_t size) {
  const size_t words = size / 8;
  for (size_t i = 0; i < words; ++i, p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    w = ~w;
    std::memcpy(p, &w, 8);
  }
  for (size_t i = words * 8; i < size; ++i, ++p) *p = static_cast<uint8_t>(~*p);
}

// The offsets of the file's directories, one a page, found the way libtiff
// counts them (each directory's entry count and next offset), stopping at a
// loop, at an offset outside the file or at one that cannot be read. With
// them a page is reached in one step, not by walking every page before it.
std::vector<uint64_t> DirectoryOffsets(ByteSource& source) {
  uint8_t head[16] = {};
  if (source.ReadAt(0, head, sizeof head) < 8) return {};
  const bool little = head[0] == 'I';
  const auto number = [little](const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[little ? i : bytes - 1 - i]) << (8 * i);
    return v;
  };
  const bool big = number(head + 2, 2) == 43;
  const int countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, offsetBytes = big ? 8 : 4;
  uint64_t offset = big ? number(head + 8, 8) : number(head + 4, 4);
  const uint64_t size = source.Size();
  std::vector<uint64_t> offsets;
  std::unordered_set<uint64_t> seen;
  while (offset != 0 && offset < size && offsets.size() < (1u << 24) && seen.insert(offset).second) {
    uint8_t field[8];
    if (source.ReadAt(offset, field, static_cast<size_t>(countBytes)) != static_cast<size_t>(countBytes)) break;
    const uint64_t entries = number(field, countBytes);
    offsets.push_back(offset);
    if (entries > size) break;
    const uint64_t nextAt = offset + static_cast<uint64_t>(countBytes) + entries * static_cast<uint64_t>(entryBytes);
    if (source.ReadAt(nextAt, field, static_cast<size_t>(offsetBytes)) != static_cast<size_t>(offsetBytes)) break;
    offset = number(field, offsetBytes);
  }
  return offsets;
}

constexpr const char* kUnsupported = "このページの形式には対応していません。";

class TiffDocument : public Document {
 public:
  TiffDocument(std::unique_ptr<ByteSource> source) {
    stream_.source = std::move(source);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, &KeepError, &lastError_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &IgnoreWarning, nullptr);
    // "m": read through the procedures above, never a mapping of our own.
    tif_ = TIFFClientOpenExt("document", "rm", &stream_, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                             &SizeProc, &MapProc, &UnmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!tif_) Fail();
    offsets_ = DirectoryOffsets(*stream_.source);
    pages_ = static_cast<int>(offsets_.size());
    if (pages_ <= 0) Fail();
  }
  ~TiffDocument() override {
    if (tif_) TIFFClose(tif_);
  }

  int PageCount() const override { return pages_; }

  DocPage ReadPage(int index, DocPage* recycle) override {
    lastError_.clear();
    try {
      // libtiff opens the file on its first page.
      if (index < 0 || index >= pages_) throw EDocumentError(lastError_);
      if (index != current_) {
        current_ = -1;
        if (!TIFFSetSubDirectory(tif_, offsets_[static_cast<size_t>(index)])) throw EDocumentError(lastError_);
        current_ = index;
      }
      const Resolution res = ReadResolution();
      DocPage page = Decode(res, recycle);
      if (HasOblongPixels(page)) {
        DocPage square = SquarePixels(page, recycle);
        scratch_ = std::move(page);
        page = std::move(square);
      }
      if (!res.known) page.xdpi = page.ydpi = 0;
      return page;
    } catch (const EPageTooLarge&) {
      throw;  // says so itself
    } catch (const EDocumentError& e) {
      throw EDocumentError(PageErrorText(index + 1, e.what()));
    }
  }

 private:
  [[noreturn]] void Fail() {
    std::string text = "TIFF ファイルを読み込めません。";
    if (!lastError_.empty()) text += "\n\r" + lastError_;
    throw EDocumentError(text);
  }

  // The page's resolution in dots per inch; without a unit only the
  // proportion is known, which is all the square-pixel rule needs (printing
  // then fits the page to the paper).
  struct Resolution {
    double x = 0, y = 0;
    bool known = false, oblong = false;
  };
  Resolution ReadResolution() {
    Resolution r;
    float xres = 0, yres = 0;
    if (!TIFFGetField(tif_, TIFFTAG_XRESOLUTION, &xres) || !TIFFGetField(tif_, TIFFTAG_YRESOLUTION, &yres) ||
        !(xres > 0) || !(yres > 0) || xres > 1e6f || yres > 1e6f)
      return r;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_RESOLUTIONUNIT, &unit);
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    r.x = xres * perInch;
    r.y = yres * perInch;
    r.known = unit != RESUNIT_NONE;
    DocPage probe;
    probe.xdpi = r.x;
    probe.ydpi = r.y;
    r.oblong = HasOblongPixels(probe);
    if (!r.known && !r.oblong) r.x = r.y = 0;
    return r;
  }

  // The page's pixels. Black-and-white pages come with square pixels
  // already (their rows repeated where they were decoded); any other page
  // with oblong pixels is decoded into scratch memory, to be stretched into
  // the recycled page.
  DocPage Decode(const Resolution& res, DocPage* recycle) {
    uint32_t width = 0, height = 0;
    TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0) throw EDocumentError("ページの大きさがありません");
    if (static_cast<uint64_t>(width) * height > kMaxPagePixels) ThrowPageTooLarge(width, height);
    uint16_t bits = 1, samples = 1, photometric = 0xFFFF, orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif_, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_ORIENTATION, &orientation);
    if (orientation < ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) orientation = ORIENTATION_TOPLEFT;
    const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    // Black and white is a grey page of one bit; a one-bit palette page
    // has colours of its own.
    const bool bilevel = bits == 1 && samples == 1 && grey;
    if (bilevel && orientation == ORIENTATION_TOPLEFT) {
      const SquareSize square = SquaredSize(static_cast<int>(width), static_cast<int>(height), res.x, res.y);
      const bool widen = square.width != static_cast<int>(width);
      DocPage page = MakePage(static_cast<int>(width), widen ? static_cast<int>(height) : square.height,
                              PageFormat::Bilevel, widen ? &scratch_ : recycle);
      page.height = static_cast<int>(height);
      ReadBilevel(page, photometric);
      page.xdpi = res.x;
      page.ydpi = res.y;
      if (!widen) {
        RepeatRowsInPlace(page, square.height);
        page.xdpi = page.ydpi = std::max(res.x, res.y);
      }
      return page;
    }
    const SampleLayout layout = Layout(bits, samples, photometric);
    const bool own = NeedsSampleReader(layout);
    // libtiff's reader turns the first four orientations itself; the
    // transposed ones, and every page read here, are turned afterwards.
    const bool turnAfter = own || orientation > ORIENTATION_BOTLEFT;
    DocPage* into = res.oblong || turnAfter ? &scratch_ : recycle;
    DocPage page = own ? ReadSamples(static_cast<int>(width), static_cast<int>(height), layout, into)
                       : ReadRgba(static_cast<int>(width), static_cast<int>(height), bilevel, grey,
                                  turnAfter ? orientation : ORIENTATION_TOPLEFT, into);
    if (turnAfter && orientation != ORIENTATION_TOPLEFT) {
      page = OrientPage(std::move(page), orientation);
      scratch_ = DocPage();
    }
    const bool across = Transposes(orientation);
    page.xdpi = across ? res.y : res.x;
    page.ydpi = across ? res.x : res.y;
    return page;
  }

  SampleLayout Layout(uint16_t bits, uint16_t samples, uint16_t photometric) {
    SampleLayout l;
    l.bits = bits;
    l.samples = samples;
    l.photometric = photometric;
    uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLEFORMAT, &format);
    l.format = format;
    uint16_t extras = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(tif_, TIFFTAG_EXTRASAMPLES, &extras, &extra) && extras > 0 && extra)
      l.extraAlpha = extra[0] == EXTRASAMPLE_ASSOCALPHA ? 1 : extra[0] == EXTRASAMPLE_UNASSALPHA ? 2 : 0;
    double low = 0, high = 0;
    l.hasRange = TIFFGetField(tif_, TIFFTAG_SMINSAMPLEVALUE, &low) && TIFFGetField(tif_, TIFFTAG_SMAXSAMPLEVALUE, &high) &&
                 std::isfinite(low) && std::isfinite(high) && high > low;
    l.rangeMin = low;
    l.rangeMax = high;
    return l;
  }

  // The stored samples, strip by strip or tile by tile, then the page they
  // show.
  DocPage ReadSamples(int width, int height, const SampleLayout& layout, DocPage* recycle) {
    if (!SampleReaderShows(layout)) throw EDocumentError(kUnsupported);
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_PLANARCONFIG, &planar);
    StoredPlanes stored;
    stored.width = width;
    stored.height = height;
    stored.separate = planar == PLANARCONFIG_SEPARATE && layout.samples > 1;
    const int planes = stored.separate ? layout.samples : 1;
    const int perPixel = stored.separate ? 1 : layout.samples;
    stored.rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(perPixel) * static_cast<size_t>(layout.bits) + 7) / 8;
    const size_t planeBytes = stored.rowBytes * static_cast<size_t>(height);
    // Not cleared: a page whose data is missing fails at its first strip
    // before anything is written.
    std::unique_ptr<uint8_t[]> memory(new (std::nothrow) uint8_t[planeBytes * static_cast<size_t>(planes)]);
    if (!memory) ThrowPageTooLarge(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    for (int p = 0; p < planes; ++p) stored.plane.push_back(memory.get() + planeBytes * static_cast<size_t>(p));

    if (TIFFIsTiled(tif_)) {
      // Tile widths are multiples of 16, so a tile starts on a byte.
      for (int p = 0; p < planes; ++p)
        ForEachTile(width, height, static_cast<uint16_t>(p), [&](uint32_t x0, uint32_t y0, uint32_t rows, size_t tileRow) {
          const size_t first = static_cast<size_t>(x0) * static_cast<size_t>(perPixel) * static_cast<size_t>(layout.bits) / 8;
          const size_t bytes = std::min(tileRow, stored.rowBytes - first);
          for (uint32_t r = 0; r < rows; ++r)
            std::memcpy(memory.get() + planeBytes * static_cast<size_t>(p) + (y0 + r) * stored.rowBytes + first,
                        chunk_.data() + r * tileRow, bytes);
        });
    } else {
      uint32_t rowsPerStrip = static_cast<uint32_t>(height);
      TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
      rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, static_cast<uint32_t>(height));
      if (static_cast<size_t>(TIFFScanlineSize(tif_)) != stored.rowBytes) throw EDocumentError(kUnsupported);
      const uint32_t stripsPerPlane = (static_cast<uint32_t>(height) + rowsPerStrip - 1) / rowsPerStrip;
      if (static_cast<uint64_t>(stripsPerPlane) * static_cast<uint64_t>(planes) > TIFFNumberOfStrips(tif_))
        throw EDocumentError(lastError_);
      for (int p = 0; p < planes; ++p)
        for (uint32_t s = 0; s < stripsPerPlane; ++s) {
          const uint32_t y0 = s * rowsPerStrip, rows = std::min<uint32_t>(rowsPerStrip, static_cast<uint32_t>(height) - y0);
          if (TIFFReadEncodedStrip(tif_, s + static_cast<uint32_t>(p) * stripsPerPlane,
                                   memory.get() + planeBytes * static_cast<size_t>(p) + y0 * stored.rowBytes,
                                   static_cast<tmsize_t>(rows * stored.rowBytes)) < 0)
            throw EDocumentError(lastError_);
        }
    }
    return PageFromSamples(stored, layout, recycle);
  }

  void Reserve(tmsize_t size) {
    if (size <= 0) throw EDocumentError(lastError_);
    try {
      chunk_.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      throw EDocumentError("メモリが足りません");
    }
  }

  // Every tile of a plane decoded into chunk_, then handed to use with
  // its place, its rows inside the page and the bytes of one of its rows.
  template <class Use>
  void ForEachTile(int width, int height, uint16_t plane, Use use) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif_, TIFFTAG_TILELENGTH, &th);
    const tmsize_t tileRow = TIFFTileRowSize(tif_);
    if (tw == 0 || th == 0 || tileRow <= 0) throw EDocumentError("タイルの大きさが正しくありません");
    Reserve(TIFFTileSize(tif_));
    for (uint32_t y0 = 0; y0 < static_cast<uint32_t>(height); y0 += th)
      for (uint32_t x0 = 0; x0 < static_cast<uint32_t>(width); x0 += tw) {
        if (TIFFReadEncodedTile(tif_, TIFFComputeTile(tif_, x0, y0, 0, plane), chunk_.data(),
                                static_cast<tmsize_t>(chunk_.size())) < 0)
          throw EDocumentError(lastError_);
        use(x0, y0, std::min<uint32_t>(th, static_cast<uint32_t>(height) - y0), static_cast<size_t>(tileRow));
      }
  }

  // Black and white, one bit a pixel from the decoder to the kept page:
  // strips are decoded straight into the page's memory and their rows
  // spread to the page's padded stride.
  void ReadBilevel(DocPage& page, uint16_t photometric) {
    const int width = page.width, height = page.height;
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    if (TIFFIsTiled(tif_)) {
      ForEachTile(width, height, 0, [&](uint32_t x0, uint32_t y0, uint32_t rows, size_t tileRow) {
        const size_t first = x0 / 8, bytes = std::min(tileRow, rowBytes - first);
        for (uint32_t r = 0; r < rows; ++r) std::memcpy(page.Row(static_cast<int>(y0 + r)) + first, chunk_.data() + r * tileRow, bytes);
      });
    } else {
      uint32_t rowsPerStrip = static_cast<uint32_t>(height);
      TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
      rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, static_cast<uint32_t>(height));
      const tmsize_t scanline = TIFFScanlineSize(tif_);
      if (scanline <= 0 || static_cast<size_t>(scanline) > page.stride) throw EDocumentError(lastError_);
      const size_t packed = static_cast<size_t>(scanline);
      const tstrip_t strips = TIFFNumberOfStrips(tif_);
      for (tstrip_t s = 0; s < strips; ++s) {
        const uint64_t y0 = static_cast<uint64_t>(s) * rowsPerStrip;
        if (y0 >= static_cast<uint64_t>(height)) break;
        const uint32_t rows = static_cast<uint32_t>(std::min<uint64_t>(rowsPerStrip, height - y0));
        uint8_t* at = page.Row(static_cast<int>(y0));
        if (TIFFReadEncodedStrip(tif_, s, at, static_cast<tmsize_t>(rows * packed)) < 0)
          throw EDocumentError(lastError_);
        if (packed != page.stride)  // last row first: each moves down or stays
          for (uint32_t r = rows; r-- > 1;) std::memmove(at + r * page.stride, at + r * packed, packed);
      }
    }
    if (photometric == PHOTOMETRIC_MINISWHITE)  // our pages keep 1 for white
      Invert(page.bits.data(), page.stride * static_cast<size_t>(height));
  }

  // Every other layout: libtiff's RGBA reader, top row first.
  // orientation: the rows as libtiff is to hand them over (the page's own
  // orientation gives them as stored).
  DocPage ReadRgba(int width, int height, bool bilevel, bool grey, uint16_t orientation, DocPage* recycle) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tif_, message)) throw EDocumentError(std::string(kUnsupported) + "\n\r" + message);
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tif_, 1, message)) throw EDocumentError(std::string(kUnsupported) + "\n\r" + message);
    image.req_orientation = orientation;
    // Not cleared first: the reader writes every pixel of a page it reads
    // whole, and a damaged page whose size is all it has fails at its first
    // strip without a gigabyte being written with zeros.
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[static_cast<size_t>(width) * static_cast<size_t>(height)]);
    if (!raster) {
      TIFFRGBAImageEnd(&image);
      ThrowPageTooLarge(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    }
    const int ok = TIFFRGBAImageGet(&image, raster.get(), static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    TIFFRGBAImageEnd(&image);
    if (!ok) throw EDocumentError(lastError_);
    const PageFormat format = bilevel ? PageFormat::Bilevel : grey ? PageFormat::Grey : PageFormat::Colour;
    DocPage page = MakePage(width, height, format, recycle);
    for (int y = 0; y < height; ++y) {
      const uint32_t* src = raster.get() + static_cast<size_t>(y) * static_cast<size_t>(width);
      uint8_t* dst = page.Row(y);
      for (int x = 0; x < width; ++x) {
        // Alpha comes premultiplied: over white is the colour plus what
        // the alpha leaves uncovered.
        const uint32_t p = src[x], uncovered = 255 - TIFFGetA(p);
        const uint8_t r = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetR(p) + uncovered));
        const uint8_t g = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetG(p) + uncovered));
        const uint8_t b = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetB(p) + uncovered));
        switch (format) {
          case PageFormat::Bilevel:
            if (r >= 128) dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | 0x80 >> (x & 7));
            break;
          case PageFormat::Grey: dst[x] = r; break;
          case PageFormat::Colour:
            dst[3 * x] = b;
            dst[3 * x + 1] = g;
            dst[3 * x + 2] = r;
            break;
        }
      }
    }
    return page;
  }

  Stream stream_;
  std::vector<uint8_t> chunk_;  // one tile, reused
  DocPage scratch_;             // a page before its pixels are squared
  TIFF* tif_ = nullptr;
  std::string lastError_;
  std::vector<uint64_t> offsets_;
  int pages_ = 0;
  int current_ = 0;  // the page whose directory libtiff has read; -1 none
};

}  // namespace

std::unique_ptr<Document> OpenTiffDocument(std::unique_ptr<ByteSource> source) {
  return std::make_unique<TiffDocument>(std::move(source));
}

}  // namespace mirabo
