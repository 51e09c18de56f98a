// make_bench_pictures FOLDER: the decoder benchmark's pictures, once (a
// file already there is kept): a 6000 x 4000 photograph-like PNG, a
// 4000 x 3000 HEIC with a Display P3 profile as phones write them, a
// 4000 x 3000 AVIF.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/plugins/decoders/decoder_fixtures.h"

namespace fixtures = mirabo::decoders::fixtures;

namespace {

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Gradients with grain, so it compresses as a photograph does (poorly).
std::vector<uint8_t> PhotoPng(uint32_t width, uint32_t height) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, [](png_structp p, png_bytep data, png_size_t n) {
    auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
    o->insert(o->end(), data, data + n);
  }, nullptr);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(width * 3);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        seed = seed * 1664525u + 1013904223u;
        const int base = c == 0 ? static_cast<int>(x * 255 / width) : c == 1 ? static_cast<int>(y * 255 / height) : 128;
        row[x * 3 + c] = static_cast<uint8_t>(std::clamp(base + static_cast<int>(seed >> 27) - 16, 0, 255));
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_bench_pictures FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  if (!std::filesystem::exists(folder / "bench24.png")) Write(folder / "bench24.png", PhotoPng(6000, 4000));
  if (!std::filesystem::exists(folder / "bench12.heic")) {
    Write(folder / "bench12.heic", fixtures::MakeHeif({"heic", false, 8, false, 1, true}, 4000, 3000));
  }
  if (!std::filesystem::exists(folder / "bench12.avif")) {
    Write(folder / "bench12.avif", fixtures::MakeHeif({"avif", true, 8, false, 1, false}, 4000, 3000));
  }
  return 0;
}
