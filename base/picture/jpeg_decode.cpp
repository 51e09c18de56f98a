#include "base/picture/jpeg_decode.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "base/picture/colour.h"
#include "base/picture/helper_thread.h"
#include "base/picture/libjpeg_support.h"
#include "base/picture/limits.h"
#include "base/picture/orientation.h"

namespace mirabo {

namespace {

using jpeg::Decompressor;

// Rows decoded at a time when they are finished on the helper: the band
// before is turned and converted while the next is decoded.
constexpr int kBand = 64;

// Adobe writes CMYK and YCCK inverted (0 = full ink); others do not.
inline uint8_t InkToChannel(unsigned ink, unsigned black, bool inverted) {
  return inverted ? static_cast<uint8_t>((ink * black + 127) / 255)
                  : static_cast<uint8_t>(((255 - ink) * (255 - black) + 127) / 255);
}

}  // namespace

namespace {
bool Stopped(const JpegDecodeOptions& o) { return o.stop && o.stop->load(std::memory_order_relaxed); }
}  // namespace

std::string JpegTooLargeMessage(unsigned width, unsigned height) {
  return "JPEG 画像が大きすぎます (" + std::to_string(width) + " × " + std::to_string(height) + ")";
}

JpegDecodeResult DecodeJpeg(std::span<const uint8_t> data, const JpegDecodeOptions& options,
                            const DibAllocator& allocate) {
  // Everything with a destructor lives outside the jump point below.
  Decompressor d;
  DibFormat format;
  std::vector<uint8_t> inkRow, bands[2], inks[2];
  std::vector<JSAMPROW> rows;
  JpegDecodeResult result;
  std::shared_ptr<const ColourTransform> transform;
  Helper helper;  // after the buffers, so it is done with them before they go
  if (setjmp(d.err.jump)) throw EJpegError(d.err.message);

  jpeg_create_decompress(&d.cinfo);
  jpeg_decompress_struct& c = d.cinfo;
  if (data.size() > std::numeric_limits<unsigned long>::max()) throw EJpegError(JpegTooLargeMessage(0, 0));
  jpeg_mem_src(&c, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&c, TRUE);
  result.sourceWidth = static_cast<int>(c.image_width);
  result.sourceHeight = static_cast<int>(c.image_height);
  if (static_cast<uint64_t>(c.image_width) * c.image_height > kMaxPicturePixels)
    throw EJpegError(JpegTooLargeMessage(c.image_width, c.image_height));

  c.scale_num = 1;
  c.scale_denom = static_cast<unsigned>(options.scaleDenominator);
  c.dct_method = options.fast ? JDCT_IFAST : JDCT_ISLOW;
  c.dither_mode = JDITHER_ORDERED;
  c.two_pass_quantize = FALSE;
  c.quantize_colors = FALSE;
  const bool gray = c.jpeg_color_space == JCS_GRAYSCALE;
  const bool ink = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
  c.out_color_space = gray ? JCS_GRAYSCALE : ink ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(&c);

  const int orientation = options.orientation >= 1 && options.orientation <= 8 ? options.orientation : 1;
  transform =
      gray || !options.colourFor
          ? nullptr
          : options.colourFor(!ink ? PixelLayout::Bgr : c.saw_Adobe_marker ? PixelLayout::CmykInverted : PixelLayout::Cmyk);
  const ColourTransform* const colour = transform.get();
  const int width = static_cast<int>(c.output_width), height = static_cast<int>(c.output_height);
  format.width = Transposes(orientation) ? height : width;
  format.height = Transposes(orientation) ? width : height;
  format.bitsPerPixel = gray ? 8 : 24;
  if (gray) {
    format.palette.resize(256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      format.palette[static_cast<size_t>(i)] = {v, v, v, 0};
    }
  }
  uint8_t* const bits = allocate(format);
  if (!bits) throw EJpegError(JpegTooLargeMessage(c.image_width, c.image_height));
  const size_t stride = format.Stride();
  const bool inverted = c.saw_Adobe_marker;
  const int bpp = gray ? 1 : 3;

  if (orientation == 1 && !colour && !ink) {
    // Straight into the bitmap, row by row.
    while (c.output_scanline < c.output_height) {
      if (c.output_scanline % kBand == 0 && Stopped(options)) throw EJpegError("");
      JSAMPROW row = bits + stride * c.output_scanline;
      jpeg_read_scanlines(&c, &row, 1);
    }
  } else {
    // Bands decoded here and finished (inks to colour, the display's
    // colours, the turn) on the helper while the next band is decoded.
    const size_t bandStride = static_cast<size_t>(width) * static_cast<size_t>(bpp);
    const size_t inkStride = static_cast<size_t>(width) * 4;
    const PixelBuffer shown{bits, format.width, format.height, stride, bpp};
    rows.resize(kBand);
    for (int y0 = 0, which = 0; y0 < height; y0 += kBand, which ^= 1) {
      if (Stopped(options)) throw EJpegError("");  // the helper finishes its band first
      const int n = std::min(kBand, height - y0);
      std::vector<uint8_t>& band = bands[which];
      std::vector<uint8_t>& inkBand = inks[which];
      band.resize(bandStride * static_cast<size_t>(n));
      if (ink) inkBand.resize(inkStride * static_cast<size_t>(n));
      for (int i = 0; i < n; ++i)
        rows[static_cast<size_t>(i)] = (ink ? inkBand.data() + inkStride * static_cast<size_t>(i)
                                            : band.data() + bandStride * static_cast<size_t>(i));
      for (int done = 0; done < n;) {
        const auto got = jpeg_read_scanlines(&c, rows.data() + done, static_cast<JDIMENSION>(n - done));
        if (got == 0) break;  // libjpeg fills what a damaged file lacks; it never stops short
        done += static_cast<int>(got);
      }
      helper.Start([&, y0, n, which] {
        uint8_t* const out = bands[which].data();
        const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(n);
        if (ink && colour) {
          colour->Apply(inks[which].data(), out, pixels);
        } else if (ink) {
          const uint8_t* in = inks[which].data();
          for (size_t i = 0; i < pixels; ++i, in += 4) {
            out[i * 3 + 0] = InkToChannel(in[2], in[3], inverted);
            out[i * 3 + 1] = InkToChannel(in[1], in[3], inverted);
            out[i * 3 + 2] = InkToChannel(in[0], in[3], inverted);
          }
        } else if (colour) {
          colour->Apply(out, out, pixels);
        }
        PlaceBand({out, width, n, bandStride, bpp}, y0, height, shown, orientation);
      });
    }
    helper.Wait();
    FinishOrientation(shown, orientation);
  }
  // The rest of the file (up to EOI) is not needed: a file that is damaged
  // after its last scan still shows.
  result.warnings = static_cast<int>(c.err->num_warnings);
  return result;
}

JpegDecodeResult ReadJpegSize(std::span<const uint8_t> data) {
  Decompressor d;
  if (setjmp(d.err.jump)) throw EJpegError(d.err.message);
  jpeg_create_decompress(&d.cinfo);
  jpeg_mem_src(&d.cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&d.cinfo, TRUE);
  return {static_cast<int>(d.cinfo.image_width), static_cast<int>(d.cinfo.image_height), 0};
}

}  // namespace mirabo
