#include "tests/base/picture/bitmap_fixtures.h"

namespace mirabo::testing::bmp {
namespace {

void Put(std::vector<uint8_t>& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

size_t RowBytes(const Bitmap& b) { return (static_cast<size_t>(b.width) * static_cast<size_t>(b.bits) + 31) / 32 * 4; }

}  // namespace

std::vector<uint8_t> Write(const Bitmap& b) {
  std::vector<uint8_t> info;
  Put(info, b.headerSize, 4);
  if (b.headerSize == 12) {
    Put(info, static_cast<uint32_t>(b.width), 2);
    Put(info, static_cast<uint32_t>(b.height), 2);
    Put(info, 1, 2);
    Put(info, static_cast<uint32_t>(b.bits), 2);
  } else {
    Put(info, static_cast<uint32_t>(b.width), 4);
    Put(info, static_cast<uint32_t>(b.topDown ? -b.height : b.height), 4);
    Put(info, 1, 2);
    Put(info, static_cast<uint32_t>(b.bits), 2);
    if (b.headerSize >= 20) Put(info, b.compression, 4);
    if (b.headerSize >= 24) Put(info, static_cast<uint32_t>(b.pixels.size()), 4);
    while (info.size() < 32 && info.size() < b.headerSize) info.push_back(0);
    if (b.headerSize >= 36) Put(info, static_cast<uint32_t>(b.palette.size()), 4);
    while (info.size() < b.headerSize) info.push_back(0);
    for (size_t i = 0; i < b.masks.size(); ++i) {
      if (b.headerSize >= 52) {
        for (size_t k = 0; k < 4; ++k) info[40 + 4 * i + k] = static_cast<uint8_t>(b.masks[i] >> (8 * k));
      } else {
        Put(info, b.masks[i], 4);
      }
    }
  }
  for (const uint32_t c : b.palette) {
    Put(info, c, 3);  // blue, green, red
    if (b.headerSize != 12) info.push_back(0);
  }
  std::vector<uint8_t> file = {'B', 'M'};
  Put(file, static_cast<uint32_t>(14 + info.size() + b.pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, static_cast<uint32_t>(14 + info.size()), 4);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), b.pixels.begin(), b.pixels.end());
  return file;
}

uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return (r & 255) << 16 | (g & 255) << 8 | (b & 255); }
uint32_t Colour(int x, int y) {
  return Rgb(static_cast<unsigned>(x * 36), static_cast<unsigned>(255 - y * 50), static_cast<unsigned>((x + y) * 20 + 5));
}
std::vector<uint32_t> Palette(int entries) {
  std::vector<uint32_t> p;
  for (unsigned i = 0; i < static_cast<unsigned>(entries); ++i) p.push_back(Rgb(i * 37 + 11, 255 - i * 13, i * 91));
  return p;
}
int Index(int x, int y, int bits) { return (x + 2 * y) % (1 << bits); }

std::vector<uint8_t> IndexRows(const Bitmap& b) {
  std::vector<uint8_t> out;
  for (int r = 0; r < b.height; ++r) {
    const int y = b.topDown ? r : b.height - 1 - r;
    std::vector<uint8_t> row(RowBytes(b), 0);
    for (int x = 0; x < b.width; ++x) {
      const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(b.bits);
      row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | Index(x, y, b.bits) << (8 - b.bits - static_cast<int>(bit % 8)));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<uint8_t> ColourRows(const Bitmap& b, const std::function<uint32_t(int x, int y)>& pack) {
  std::vector<uint8_t> out;
  for (int r = 0; r < b.height; ++r) {
    const int y = b.topDown ? r : b.height - 1 - r;
    std::vector<uint8_t> row;
    for (int x = 0; x < b.width; ++x) Put(row, pack(x, y), b.bits / 8);
    row.resize(RowBytes(b), 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

Bitmap Paletted(uint32_t headerSize, int bits) {
  Bitmap b;
  b.headerSize = headerSize, b.bits = bits;
  b.palette = Palette(1 << bits);
  b.pixels = IndexRows(b);
  return b;
}

}  // namespace mirabo::testing::bmp
