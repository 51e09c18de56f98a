#include "base/picture/jpeg_decode.h"

#include <limits>

#include "base/picture/libjpeg_support.h"
#include "base/picture/limits.h"

namespace mirabo {

namespace {

using jpeg::Decompressor;

// Adobe writes CMYK and YCCK inverted (0 = full ink); others do not.
inline uint8_t InkToChannel(unsigned ink, unsigned black, bool inverted) {
  return inverted ? static_cast<uint8_t>((ink * black + 127) / 255)
                  : static_cast<uint8_t>(((255 - ink) * (255 - black) + 127) / 255);
}

}  // namespace

std::string JpegTooLargeMessage(unsigned width, unsigned height) {
  return "JPEG 画像が大きすぎます (" + std::to_string(width) + " × " + std::to_string(height) + ")";
}

JpegDecodeResult DecodeJpeg(std::span<const uint8_t> data, const JpegDecodeOptions& options,
                            const DibAllocator& allocate) {
  Decompressor d;
  DibFormat format;
  std::vector<uint8_t> inkRow;
  JpegDecodeResult result;
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

  format.width = static_cast<int>(c.output_width);
  format.height = static_cast<int>(c.output_height);
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
  if (ink) inkRow.resize(static_cast<size_t>(c.output_width) * 4);

  const bool inverted = c.saw_Adobe_marker;
  while (c.output_scanline < c.output_height) {
    uint8_t* out = bits + stride * c.output_scanline;
    if (!ink) {
      JSAMPROW row = out;
      jpeg_read_scanlines(&c, &row, 1);
      continue;
    }
    JSAMPROW row = inkRow.data();
    jpeg_read_scanlines(&c, &row, 1);
    for (size_t x = 0; x < c.output_width; ++x) {
      const uint8_t* px = &inkRow[x * 4];
      out[x * 3 + 0] = InkToChannel(px[2], px[3], inverted);
      out[x * 3 + 1] = InkToChannel(px[1], px[3], inverted);
      out[x * 3 + 2] = InkToChannel(px[0], px[3], inverted);
    }
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
