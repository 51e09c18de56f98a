#include "viewers/document/tiff_document.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "viewers/document/page_ops.h"

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
    pages_ = static_cast<int>(std::min<tdir_t>(TIFFNumberOfDirectories(tif_), 1u << 30));
    if (pages_ <= 0) Fail();
  }
  ~TiffDocument() override {
    if (tif_) TIFFClose(tif_);
  }

  int PageCount() const override { return pages_; }

  DocPage ReadPage(int index) override {
    lastError_.clear();
    try {
      if (index < 0 || index >= pages_ || !TIFFSetDirectory(tif_, static_cast<tdir_t>(index)))
        throw EDocumentError(lastError_);
      return SquarePixels(Decode());
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

  DocPage Decode() {
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
    const bool bilevel = bits == 1 && samples == 1;
    DocPage page = bilevel && orientation == ORIENTATION_TOPLEFT &&
                           (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK)
                       ? ReadBilevel(static_cast<int>(width), static_cast<int>(height), photometric)
                       : ReadRgba(static_cast<int>(width), static_cast<int>(height), bilevel,
                                  photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    float xres = 0, yres = 0;
    if (TIFFGetField(tif_, TIFFTAG_XRESOLUTION, &xres) && TIFFGetField(tif_, TIFFTAG_YRESOLUTION, &yres) &&
        xres > 0 && yres > 0 && xres < 1e6f && yres < 1e6f) {
      uint16_t unit = RESUNIT_INCH;
      TIFFGetFieldDefaulted(tif_, TIFFTAG_RESOLUTIONUNIT, &unit);
      // Without a unit only the proportion is known, which is all the
      // square-pixel rule needs; printing then fits the page to the paper.
      const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
      page.xdpi = unit == RESUNIT_NONE ? 0 : xres * perInch;
      page.ydpi = unit == RESUNIT_NONE ? 0 : yres * perInch;
      if (unit == RESUNIT_NONE) page = SquarePixelsByRatio(std::move(page), xres, yres);
    }
    return page;
  }

  static DocPage SquarePixelsByRatio(DocPage page, double xres, double yres) {
    page.xdpi = xres;
    page.ydpi = yres;
    page = SquarePixels(std::move(page));
    page.xdpi = page.ydpi = 0;
    return page;
  }

  // Black and white, one bit a pixel from the decoder to the kept page.
  DocPage ReadBilevel(int width, int height, uint16_t photometric) {
    DocPage page = MakePage(width, height, PageFormat::Bilevel);
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    std::vector<uint8_t> chunk;
    const auto reserve = [this, &chunk](tmsize_t size) {
      if (size <= 0) throw EDocumentError(lastError_);
      try {
        chunk.resize(static_cast<size_t>(size));
      } catch (const std::bad_alloc&) {
        throw EDocumentError("メモリが足りません");
      }
    };
    if (TIFFIsTiled(tif_)) {
      uint32_t tw = 0, th = 0;
      TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tw);
      TIFFGetField(tif_, TIFFTAG_TILELENGTH, &th);
      const tmsize_t tileRow = TIFFTileRowSize(tif_);
      if (tw == 0 || th == 0 || tileRow <= 0) throw EDocumentError("タイルの大きさが正しくありません");
      reserve(TIFFTileSize(tif_));
      for (uint32_t y0 = 0; y0 < static_cast<uint32_t>(height); y0 += th) {
        for (uint32_t x0 = 0; x0 < static_cast<uint32_t>(width); x0 += tw) {
          if (TIFFReadEncodedTile(tif_, TIFFComputeTile(tif_, x0, y0, 0, 0), chunk.data(),
                                  static_cast<tmsize_t>(chunk.size())) < 0)
            throw EDocumentError(lastError_);
          const size_t first = x0 / 8, bytes = std::min<size_t>(static_cast<size_t>(tileRow), rowBytes - first);
          const uint32_t rows = std::min<uint32_t>(th, static_cast<uint32_t>(height) - y0);
          for (uint32_t r = 0; r < rows; ++r)
            std::memcpy(page.Row(static_cast<int>(y0 + r)) + first, chunk.data() + r * static_cast<size_t>(tileRow), bytes);
        }
      }
    } else {
      uint32_t rowsPerStrip = static_cast<uint32_t>(height);
      TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
      rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, static_cast<uint32_t>(height));
      const tmsize_t scanline = TIFFScanlineSize(tif_);
      if (scanline <= 0) throw EDocumentError(lastError_);
      reserve(TIFFStripSize(tif_));
      const tstrip_t strips = TIFFNumberOfStrips(tif_);
      for (tstrip_t s = 0; s < strips; ++s) {
        const uint64_t y0 = static_cast<uint64_t>(s) * rowsPerStrip;
        if (y0 >= static_cast<uint64_t>(height)) break;
        const uint32_t rows = static_cast<uint32_t>(std::min<uint64_t>(rowsPerStrip, height - y0));
        const tmsize_t got = TIFFReadEncodedStrip(tif_, s, chunk.data(), static_cast<tmsize_t>(rows) * scanline);
        if (got < 0) throw EDocumentError(lastError_);
        const size_t copy = std::min<size_t>(static_cast<size_t>(scanline), rowBytes);
        for (uint32_t r = 0; r < rows; ++r)
          std::memcpy(page.Row(static_cast<int>(y0 + r)), chunk.data() + r * static_cast<size_t>(scanline), copy);
      }
    }
    if (photometric == PHOTOMETRIC_MINISWHITE)  // our pages keep 1 for white
      for (auto& b : page.bits) b = static_cast<uint8_t>(~b);
    return page;
  }

  // Every other layout: libtiff's RGBA reader, top row first.
  DocPage ReadRgba(int width, int height, bool bilevel, bool grey) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tif_, message))
      throw EDocumentError(std::string("このページの形式には対応していません。\n\r") + message);
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tif_, 1, message)) throw EDocumentError(message);
    image.req_orientation = ORIENTATION_TOPLEFT;
    std::vector<uint32_t> raster;
    try {
      raster.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
      TIFFRGBAImageEnd(&image);
      ThrowPageTooLarge(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    }
    const int ok = TIFFRGBAImageGet(&image, raster.data(), static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    TIFFRGBAImageEnd(&image);
    if (!ok) throw EDocumentError(lastError_);
    const PageFormat format = bilevel ? PageFormat::Bilevel : grey ? PageFormat::Grey : PageFormat::Colour;
    DocPage page = MakePage(width, height, format);
    for (int y = 0; y < height; ++y) {
      const uint32_t* src = raster.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
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
  TIFF* tif_ = nullptr;
  std::string lastError_;
  int pages_ = 0;
};

}  // namespace

std::unique_ptr<Document> OpenTiffDocument(std::unique_ptr<ByteSource> source) {
  return std::make_unique<TiffDocument>(std::move(source));
}

}  // namespace mirabo
