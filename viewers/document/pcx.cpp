#include "viewers/document/pcx.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace mirabo {
namespace {

constexpr size_t kHeaderBytes = 128;

[[noreturn]] void Damaged(const char* what) {
  throw EDocumentError(std::string("PCX ファイルが壊れています。\n\r") + what);
}

unsigned U16(std::span<const uint8_t> b, size_t at) { return b[at] | static_cast<unsigned>(b[at + 1]) << 8; }

// The run-length (or plain) stream of scan lines, one line at a time; runs
// may go on from one line into the next, as some writers make them.
class LineReader {
 public:
  LineReader(std::span<const uint8_t> data, bool encoded) : data_(data), encoded_(encoded) {}
  void Read(uint8_t* line, size_t bytes) {
    size_t i = 0;
    while (i < bytes) {
      if (runLeft_ == 0) {
        if (pos_ >= data_.size()) Damaged("画像のデータが途中で切れています");
        const uint8_t c = data_[pos_++];
        if (encoded_ && (c & 0xC0) == 0xC0) {
          if (pos_ >= data_.size()) Damaged("画像のデータが途中で切れています");
          runLeft_ = c & 0x3Fu;
          runValue_ = data_[pos_++];
          continue;
        }
        runLeft_ = 1;
        runValue_ = c;
      }
      const size_t n = std::min<size_t>(runLeft_, bytes - i);
      std::fill_n(line + i, n, runValue_);
      i += n;
      runLeft_ -= static_cast<unsigned>(n);
    }
  }

 private:
  std::span<const uint8_t> data_;
  bool encoded_;
  size_t pos_ = 0;
  unsigned runLeft_ = 0;
  uint8_t runValue_ = 0;
};

struct Rgb {
  uint8_t r, g, b;
};

}  // namespace

DocPage DecodePcx(std::span<const uint8_t> file, DocPage* recycle) {
  if (file.size() < kHeaderBytes || file[0] != 0x0A) Damaged("PCX の見出しがありません");
  const unsigned encoding = file[2], bitsPerPlane = file[3], planes = file[65];
  const unsigned xmin = U16(file, 4), ymin = U16(file, 6), xmax = U16(file, 8), ymax = U16(file, 10);
  const size_t bytesPerLine = U16(file, 66);
  if (encoding > 1) Damaged("知らない圧縮方式です");
  if (xmax < xmin || ymax < ymin) Damaged("画像の範囲が正しくありません");
  const int width = static_cast<int>(xmax - xmin + 1), height = static_cast<int>(ymax - ymin + 1);
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPagePixels)
    ThrowPageTooLarge(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
  const bool paletted = planes == 1 && (bitsPerPlane == 1 || bitsPerPlane == 2 || bitsPerPlane == 4 || bitsPerPlane == 8);
  const bool planar16 = planes == 4 && bitsPerPlane == 1;
  const bool truecolour = (planes == 3 || planes == 4) && bitsPerPlane == 8;
  if (!paletted && !planar16 && !truecolour) Damaged("この色数の PCX には対応していません");
  if (bytesPerLine * 8 < static_cast<size_t>(width) * bitsPerPlane) Damaged("行の長さが画像の幅に足りません");

  // The colours: 16 in the header, 256 after a 12 at the file's end.
  std::array<Rgb, 256> palette{};
  for (size_t i = 0; i < 16; ++i) palette[i] = {file[16 + 3 * i], file[17 + 3 * i], file[18 + 3 * i]};
  bool fromEnd = false;
  if (paletted && bitsPerPlane == 8) {
    if (file.size() >= kHeaderBytes + 769 && file[file.size() - 769] == 0x0C) {
      const uint8_t* p = file.data() + file.size() - 768;
      for (size_t i = 0; i < 256; ++i) palette[i] = {p[3 * i], p[3 * i + 1], p[3 * i + 2]};
      fromEnd = true;
    } else {
      for (size_t i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    }
  }
  const auto isGrey = [](const Rgb& c) { return c.r == c.g && c.g == c.b; };
  PageFormat format = PageFormat::Colour;
  if (paletted && bitsPerPlane == 1) format = PageFormat::Bilevel;
  else if (paletted && bitsPerPlane == 8 && std::all_of(palette.begin(), palette.end(), isGrey)) format = PageFormat::Grey;
  // A monochrome picture whose first colour is the brighter one is stored
  // the other way round.
  const auto brightness = [](const Rgb& c) { return c.r * 299 + c.g * 587 + c.b * 114; };
  const bool invert = format == PageFormat::Bilevel && brightness(palette[0]) > brightness(palette[1]);

  // A run of two bytes gives at most 63 bytes: a file too short for its
  // claimed size is refused before the page is made, not after gigabytes
  // were allocated and filled.
  const uint64_t dataBytes = (fromEnd ? file.size() - 769 : file.size()) - kHeaderBytes;
  const uint64_t lineBytes = static_cast<uint64_t>(bytesPerLine) * planes * static_cast<uint64_t>(height);
  if (lineBytes > dataBytes * (encoding == 1 ? 32 : 1)) Damaged("画像のデータが途中で切れています");

  DocPage page = MakePage(width, height, format, recycle);
  const unsigned hdpi = U16(file, 12), vdpi = U16(file, 14);
  // Many writers put the screen size or nothing here; only a plausible
  // square resolution is believed.
  if (hdpi == vdpi && hdpi >= 50 && hdpi <= 2400) page.xdpi = page.ydpi = hdpi;

  const size_t dataEnd = fromEnd ? file.size() - 769 : file.size();
  LineReader reader(file.subspan(kHeaderBytes, dataEnd - kHeaderBytes), encoding == 1);
  std::vector<uint8_t> line(bytesPerLine * planes);
  for (int y = 0; y < height; ++y) {
    reader.Read(line.data(), line.size());
    uint8_t* dst = page.Row(y);
    if (format == PageFormat::Bilevel) {
      const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
      for (size_t i = 0; i < bytes; ++i) dst[i] = static_cast<uint8_t>(invert ? ~line[i] : line[i]);
    } else if (format == PageFormat::Grey) {
      std::copy_n(line.begin(), width, dst);
    } else if (truecolour) {
      for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
        dst[3 * x] = line[2 * bytesPerLine + x];
        dst[3 * x + 1] = line[bytesPerLine + x];
        dst[3 * x + 2] = line[x];
      }
    } else {
      for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
        unsigned index = 0;
        if (planar16) {
          for (unsigned p = 0; p < 4; ++p)
            index |= static_cast<unsigned>(line[p * bytesPerLine + x / 8] >> (7 - x % 8) & 1) << p;
        } else {
          const size_t bit = x * bitsPerPlane;
          index = line[bit / 8] >> (8 - bitsPerPlane - bit % 8) & ((1u << bitsPerPlane) - 1);
        }
        const Rgb& c = palette[index];
        dst[3 * x] = c.b;
        dst[3 * x + 1] = c.g;
        dst[3 * x + 2] = c.r;
      }
    }
  }
  return page;
}

}  // namespace mirabo
