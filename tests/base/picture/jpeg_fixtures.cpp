#include "tests/base/picture/jpeg_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <algorithm>

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
                            const std::function<void(int y, uint8_t* row, int components)>& fill,
                            const JpegExtras& extras = {}) {
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
  if (!gray && !ink) {
    c.write_JFIF_header = extras.jfif;
    c.comp_info[0].h_samp_factor = extras.hSamp;
    c.comp_info[0].v_samp_factor = extras.vSamp;
  }
  c.density_unit = static_cast<UINT8>(extras.densityUnit);
  c.X_density = static_cast<UINT16>(extras.xDensity);
  c.Y_density = static_cast<UINT16>(extras.yDensity);
  jpeg_start_compress(&c, TRUE);
  for (const auto& [code, payload] : extras.markers)
    jpeg_write_marker(&c, code, payload.data(), static_cast<unsigned>(payload.size()));
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
  return MakeJpeg(kind, width, height, quality, JpegExtras{});
}

std::vector<uint8_t> MakeJpeg(JpegKind kind, int width, int height, int quality, const JpegExtras& extras) {
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
  }, extras);
}

namespace {

void Put(std::vector<uint8_t>& b, size_t at, int bytes, uint32_t v, bool big) {
  for (int i = 0; i < bytes; ++i)
    b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(big ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
}

uint32_t Get(const std::vector<uint8_t>& b, size_t at, int bytes, bool big) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    const uint32_t x = b[at + static_cast<size_t>(i)];
    v |= big ? x << (8 * (bytes - 1 - i)) : x << (8 * i);
  }
  return v;
}

// Offsets inside the TIFF block (after "Exif\0\0") of the made layout.
constexpr size_t kTiff = 6, kOrientationAt = 18, kPixelXAt = 48, kPixelYAt = 60;

}  // namespace

std::vector<uint8_t> MakeExif(bool big, int orientation, uint32_t pixelX, uint32_t pixelY, bool heightLong) {
  std::vector<uint8_t> b(kTiff + 68, 0);
  const char header[] = "Exif\0\0";
  std::copy(header, header + 6, b.begin());
  b[kTiff] = b[kTiff + 1] = big ? 'M' : 'I';
  Put(b, kTiff + 2, 2, 42, big);
  Put(b, kTiff + 4, 4, 8, big);
  // IFD0: orientation, EXIF IFD pointer.
  Put(b, kTiff + 8, 2, 2, big);
  Put(b, kTiff + 10, 2, 0x0112, big);
  Put(b, kTiff + 12, 2, 3, big);
  Put(b, kTiff + 14, 4, 1, big);
  Put(b, kTiff + kOrientationAt, 2, static_cast<uint32_t>(orientation), big);
  Put(b, kTiff + 22, 2, 0x8769, big);
  Put(b, kTiff + 24, 2, 4, big);
  Put(b, kTiff + 26, 4, 1, big);
  Put(b, kTiff + 30, 4, 38, big);
  // The EXIF IFD at 38: pixel width and height.
  Put(b, kTiff + 38, 2, 2, big);
  Put(b, kTiff + 40, 2, 0xA002, big);
  Put(b, kTiff + 42, 2, 3, big);
  Put(b, kTiff + 44, 4, 1, big);
  Put(b, kTiff + kPixelXAt, 2, pixelX, big);
  Put(b, kTiff + 52, 2, 0xA003, big);
  Put(b, kTiff + 54, 2, heightLong ? 4 : 3, big);
  Put(b, kTiff + 56, 4, 1, big);
  Put(b, kTiff + kPixelYAt, heightLong ? 4 : 2, pixelY, big);
  return b;
}

ExifValues ReadMadeExif(const std::vector<uint8_t>& b, bool big, bool heightLong) {
  return {Get(b, kTiff + kOrientationAt, 2, big), Get(b, kTiff + kPixelXAt, 2, big),
          Get(b, kTiff + kPixelYAt, heightLong ? 4 : 2, big)};
}

namespace {

struct Reader {
  Reader() {
    c.err = jpeg_std_error(&err);
    err.error_exit = [](j_common_ptr) { throw std::runtime_error("libjpeg refused the fixture"); };
    jpeg_create_decompress(&c);
  }
  ~Reader() { jpeg_destroy_decompress(&c); }
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
};

}  // namespace

JpegFacts ReadJpegFacts(const std::vector<uint8_t>& jpeg) {
  Reader r;
  jpeg_mem_src(&r.c, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_save_markers(&r.c, JPEG_COM, 0xFFFF);
  for (int n = 0; n < 16; ++n) jpeg_save_markers(&r.c, JPEG_APP0 + n, 0xFFFF);
  jpeg_read_header(&r.c, TRUE);
  JpegFacts f;
  f.width = static_cast<int>(r.c.image_width);
  f.height = static_cast<int>(r.c.image_height);
  f.components = r.c.num_components;
  f.colorSpace = r.c.jpeg_color_space;
  f.jfif = r.c.saw_JFIF_marker;
  f.adobe = r.c.saw_Adobe_marker;
  f.xDensity = r.c.X_density;
  f.yDensity = r.c.Y_density;
  f.hSamp0 = r.c.comp_info[0].h_samp_factor;
  f.vSamp0 = r.c.comp_info[0].v_samp_factor;
  f.quant0 = r.c.quant_tbl_ptrs[0] ? r.c.quant_tbl_ptrs[0]->quantval[0] : 0;
  for (jpeg_saved_marker_ptr m = r.c.marker_list; m; m = m->next)
    f.markers.emplace_back(m->marker, std::vector<uint8_t>(m->data, m->data + m->data_length));
  return f;
}

std::vector<uint8_t> DecodeAll(const std::vector<uint8_t>& jpeg, int& width, int& height, int& components) {
  Reader r;
  jpeg_mem_src(&r.c, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&r.c, TRUE);
  if (r.c.jpeg_color_space == JCS_CMYK || r.c.jpeg_color_space == JCS_YCCK) r.c.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&r.c);
  width = static_cast<int>(r.c.output_width);
  height = static_cast<int>(r.c.output_height);
  components = r.c.output_components;
  const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(components);
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(height));
  while (r.c.output_scanline < r.c.output_height) {
    JSAMPROW row = pixels.data() + stride * r.c.output_scanline;
    jpeg_read_scanlines(&r.c, &row, 1);
  }
  jpeg_finish_decompress(&r.c);
  return pixels;
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
