#include "tests/app/picture/jpeg_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace mirabo::testing {

Rgb Pattern(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  if (!right && !bottom) return {220, 30, 30};
  if (right && !bottom) return {30, 200, 40};
  if (!right && bottom) return {30, 40, 210};
  return {250, 250, 250};
}

namespace {

// Encodes rows given by fill; components and colour space by kind.
std::vector<uint8_t> Encode(JpegKind kind, int width, int height, int quality,
                            const std::function<void(int y, uint8_t* row, int components)>& fill) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  const bool gray = kind == JpegKind::Gray;
  const bool ink = kind == JpegKind::Cmyk || kind == JpegKind::Ycck;
  c.input_components = gray ? 1 : ink ? 4 : 3;
  c.in_color_space = gray ? JCS_GRAYSCALE : ink ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  if (kind == JpegKind::Ycck) jpeg_set_colorspace(&c, JCS_YCCK);
  jpeg_set_quality(&c, quality, TRUE);
  if (kind == JpegKind::Progressive) jpeg_simple_progression(&c);
  if (kind == JpegKind::Arithmetic) c.arith_code = TRUE;
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * static_cast<size_t>(c.input_components));
  while (c.next_scanline < c.image_height) {
    fill(static_cast<int>(c.next_scanline), row.data(), c.input_components);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace

std::vector<uint8_t> MakeJpeg(JpegKind kind, int width, int height, int quality) {
  return Encode(kind, width, height, quality, [&](int y, uint8_t* row, int components) {
    for (int x = 0; x < width; ++x) {
      const Rgb p = Pattern(x, y, width, height);
      uint8_t* px = &row[static_cast<size_t>(x * components)];
      if (components == 1) {
        px[0] = static_cast<uint8_t>((p.r * 30 + p.g * 59 + p.b * 11) / 100);
        continue;
      }
      // CMYK as Adobe writes it (libjpeg adds its marker): inverted ink,
      // here with no black, so the channels read back as the colour.
      px[0] = p.r;
      px[1] = p.g;
      px[2] = p.b;
      if (components == 4) px[3] = 255;
    }
  });
}

std::vector<uint8_t> MakeRgbJpeg(int width, int height, int quality, const RowFiller& fill) {
  return Encode(JpegKind::Rgb, width, height, quality, [&](int y, uint8_t* row, int) { fill(y, row); });
}

std::vector<uint8_t> WithClaimedSize(std::vector<uint8_t> jpeg, int width, int height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2 ||
                            jpeg[i + 1] == 0xC9 || jpeg[i + 1] == 0xCA)) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      return jpeg;
    }
  }
  throw std::runtime_error("no SOF marker");
}

}  // namespace mirabo::testing
