#include "bench/jpeg_reference.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>

#include "base/picture/jpeg_rotate.h"
#include "bench/timing.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo::bench {
std::vector<uint8_t> MakePhotoJpeg(int width, int height) {
  uint32_t seed = 12345;
  return testing::MakeRgbJpeg(width, height, 90, [&](int y, uint8_t* row) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>((seed >> 24) & 31) - 16;
      const int wave = static_cast<int>(40.0 * std::sin(x * 0.013 + y * 0.007) + 30.0 * std::cos(y * 0.021));
      row[static_cast<size_t>(x) * 3 + 0] = static_cast<uint8_t>(std::clamp(120 + x * 80 / width + wave + grain, 0, 255));
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<uint8_t>(std::clamp(100 + y * 90 / height - wave + grain, 0, 255));
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<uint8_t>(std::clamp(90 + wave / 2 + grain, 0, 255));
    }
  });
}

std::vector<uint8_t> DecodeEncode(const std::vector<uint8_t>& jpeg, int quality) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  d.dct_method = JDCT_IFAST;
  jpeg_start_decompress(&d);
  const size_t stride = static_cast<size_t>(d.output_width) * 3;
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[stride * d.output_height]);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = pixels.get() + stride * d.output_scanline;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_compress_struct c{};
  jpeg_error_mgr cerr{};
  c.err = jpeg_std_error(&cerr);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = d.output_width;
  c.image_height = d.output_height;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = pixels.get() + stride * c.next_scanline;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  jpeg_destroy_decompress(&d);
  std::vector<uint8_t> result(out, out + size);
  std::free(out);
  return result;
}

double ReferenceDecodeEncode(const std::vector<uint8_t>& jpeg, int quality, int runs) {
  double best = 1e9;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const auto out = DecodeEncode(jpeg, quality);
    best = std::min(best, Seconds(start));
  }
  return best;
}

void CompareJpegTurn(const std::vector<uint8_t>& jpeg, int quality, int runs) {
  double reference = 1e9, ours = 1e9;
  for (int run = 0; run < runs; ++run) {
    // Interleaved, so both see the same state of a noisy machine.
    reference = std::min(reference, ReferenceDecodeEncode(jpeg, quality, 1));
    const auto start = Clock::now();
    RotateJpegData(jpeg, run % 2 == 0, quality);
    ours = std::min(ours, Seconds(start));
  }
  std::printf("a 6000 x 4000 JPEG (%zu KB) turned in memory at quality %d (best of %d): %.0f ms; libjpeg-turbo's "
              "decode + encode of it: %.0f ms (ratio %.3f; target: at most 1.2)\n",
              jpeg.size() / 1024, quality, runs, ours * 1000, reference * 1000, ours / reference);
}

}  // namespace mirabo::bench
