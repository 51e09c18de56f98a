#include "base/picture/bitmap_decode.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include <png.h>

#include "base/picture/checked_bytes.h"
#include "base/picture/jpeg_decode.h"

namespace mirabo::bitmap {
namespace {

using checks::Need;
using checks::Problem;

struct Colour {
  uint8_t blue, green, red;
};

// One masked channel to 8 bits: the mask's bits, wherever they lie and
// however many, scaled to the full range.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t top = 0;  // the channel's largest value
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    top = m >> shift;
    // A mask with gaps counts only its lowest run.
    top &= ~(top + 1);
    if (top > 0xFFFF) {  // more than 16 bits: the top 16 are plenty
      const int drop = static_cast<int>(std::bit_width(top)) - 16;
      shift += drop;
      top >>= drop;
    }
  }
  uint8_t Of(uint32_t v) const { return top ? static_cast<uint8_t>(((v >> shift) & top) * 255u / top) : 0; }
};

class Decoder {
 public:
  Decoder(std::span<const uint8_t> data, const Layout& l, Background back, Target t)
      : l_(l), bits_(data.data() + l.bitsOffset), size_(static_cast<size_t>(l.bitsNeeded < l.bitsAvailable ? l.bitsNeeded : l.bitsAvailable)),
        back_(back), t_(t) {
    if (l.bitCount >= 1 && l.bitCount <= 8) {
      palette_.assign(size_t{1} << l.bitCount, Colour{0, 0, 0});
      const uint8_t* p = data.data() + l.paletteOffset;
      for (uint32_t i = 0; i < l.paletteEntries; ++i, p += l.entryBytes) palette_[i] = {p[0], p[1], p[2]};
    }
  }

  void Run() {
    switch (l_.compression) {
      case kRle8:
      case kRle4: Rle(); break;
      case kJpeg: Jpeg(); break;
      case kPng: Png(); break;
      default: Rows(); break;
    }
  }

 private:
  uint8_t* Pixel(int x, int y) { return t_.bits + static_cast<size_t>(y) * t_.stride + static_cast<size_t>(x) * 4; }
  void Put(int x, int y, Colour c) {
    uint8_t* p = Pixel(x, y);
    p[0] = c.blue, p[1] = c.green, p[2] = c.red, p[3] = 0;
  }
  // The file's row r (counted as stored) is the picture's row:
  int Shown(int r) const { return l_.topDown ? r : l_.height - 1 - r; }

  void Rows() {
    const size_t rowBytes = static_cast<size_t>(RowBytes(static_cast<uint64_t>(l_.width), static_cast<uint64_t>(l_.bitCount)));
    const int rows = static_cast<int>(std::min<size_t>(static_cast<size_t>(l_.height), size_ / rowBytes));
    const Channel r(l_.masks[0]), g(l_.masks[1]), b(l_.masks[2]);
    Channel a(l_.masks[3]);
    if (l_.bitCount == 32 && l_.compression == kRgb && !AnyAlpha(rows, rowBytes)) a = Channel();  // a fourth byte of zeros is no alpha
    for (int row = 0; row < rows; ++row) {
      const uint8_t* in = bits_ + static_cast<size_t>(row) * rowBytes;
      const int y = Shown(row);
      switch (l_.bitCount) {
        case 1:
        case 2:
        case 4:
        case 8: {
          const int bits = l_.bitCount, perByte = 8 / bits, top = 8 - bits;
          const unsigned mask = (1u << bits) - 1;
          for (int x = 0; x < l_.width; ++x)
            Put(x, y, palette_[(in[x / perByte] >> (top - (x % perByte) * bits)) & mask]);
          break;
        }
        case 24: {
          uint8_t* out = Pixel(0, y);
          for (int x = 0; x < l_.width; ++x, in += 3, out += 4) {
            out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 0;
          }
          break;
        }
        default: {  // 16 and 32 bits through their masks
          const int bytes = l_.bitCount / 8;
          for (int x = 0; x < l_.width; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, in + static_cast<size_t>(x) * static_cast<size_t>(bytes), static_cast<size_t>(bytes));
            Colour c{b.Of(v), g.Of(v), r.Of(v)};
            if (a.mask) c = Over(c, a.Of(v));
            Put(x, y, c);
          }
        }
      }
    }
  }

  bool AnyAlpha(int rows, size_t rowBytes) const {
    for (int row = 0; row < rows; ++row) {
      const uint8_t* in = bits_ + static_cast<size_t>(row) * rowBytes;
      for (int x = 0; x < l_.width; ++x)
        if (in[4 * x + 3]) return true;
    }
    return false;
  }

  // The colour over the background by its alpha (colours not premultiplied).
  Colour Over(Colour c, uint8_t alpha) const {
    const auto mix = [alpha](unsigned v, unsigned under) {
      return static_cast<uint8_t>((v * alpha + under * (255u - alpha) + 127) / 255);
    };
    return {mix(c.blue, back_.blue), mix(c.green, back_.green), mix(c.red, back_.red)};
  }

  // Run-length pixels: runs, absolute runs padded to a word, end of line,
  // end of picture, moves; what lands outside the picture is dropped and
  // the data ends where the file does.
  void Rle() {
    const bool four = l_.compression == kRle4;
    int x = 0, row = 0;
    size_t i = 0;
    const auto put = [&](unsigned index) {
      if (x < l_.width && row < l_.height) Put(x, Shown(row), palette_[index & (four ? 15u : 255u)]);
      ++x;
    };
    while (i + 1 < size_ && row < l_.height) {
      const unsigned count = bits_[i], value = bits_[i + 1];
      i += 2;
      if (count > 0) {
        for (unsigned k = 0; k < count; ++k) put(four ? (k % 2 ? value & 15 : value >> 4) : value);
        continue;
      }
      if (value == 0) {  // end of line
        x = 0, ++row;
      } else if (value == 1) {  // end of picture
        return;
      } else if (value == 2) {  // move right and up
        if (i + 1 >= size_) return;
        x += bits_[i], row += bits_[i + 1];
        i += 2;
      } else {  // value pixels as they are, padded to a word
        const size_t bytes = four ? (value + 1) / 2 : value;
        if (i + bytes > size_) return;
        for (unsigned k = 0; k < value; ++k) put(four ? (k % 2 ? bits_[i + k / 2] & 15 : bits_[i + k / 2] >> 4) : bits_[i + k]);
        i += (bytes + 1) & ~size_t{1};
      }
    }
  }

  // JPEG pixels: the whole stream, which must be the header's size.
  void Jpeg() {
    MemoryDib dib;
    try {
      DecodeJpeg({bits_, size_}, JpegDecodeOptions{1, false}, dib.Allocator());
    } catch (const EJpegError&) {
      Need(false, "JPEG pixels");
    }
    Need(dib.format.width == l_.width && dib.format.height == l_.height, "JPEG size");
    const size_t stride = dib.format.Stride();
    for (int y = 0; y < l_.height; ++y) {
      const uint8_t* in = dib.bits.data() + static_cast<size_t>(y) * stride;
      for (int x = 0; x < l_.width; ++x) {
        if (dib.format.bitsPerPixel == 8) {
          const RgbQuad q = dib.format.palette[in[x]];
          Put(x, y, {q.blue, q.green, q.red});
        } else {
          Put(x, y, {in[3 * x], in[3 * x + 1], in[3 * x + 2]});
        }
      }
    }
  }

  // PNG pixels: the whole stream, which must be the header's size; its
  // alpha over the background.
  void Png() {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bits_, size_)) checks::Fail("PNG pixels");
    if (image.width != static_cast<png_uint_32>(l_.width) || image.height != static_cast<png_uint_32>(l_.height)) {
      png_image_free(&image);
      checks::Fail("PNG size");
    }
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> pixels;
    try {
      pixels.resize(PNG_IMAGE_SIZE(image));
    } catch (const std::bad_alloc&) {
      png_image_free(&image);
      checks::Fail("no memory");
    }
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) checks::Fail("PNG pixels");
    for (int y = 0; y < l_.height; ++y) {
      const uint8_t* in = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(l_.width) * 4;
      for (int x = 0; x < l_.width; ++x, in += 4) Put(x, y, Over({in[0], in[1], in[2]}, in[3]));
    }
  }

  const Layout& l_;
  const uint8_t* bits_;
  size_t size_;
  Background back_;
  Target t_;
  std::vector<Colour> palette_;
};

}  // namespace

DecodeResult DecodeBitmap(std::span<const uint8_t> data, const Layout& layout, Background background,
                          const std::function<Target()>& allocate) {
  DecodeResult result;
  try {
    const Target target = allocate();
    Need(target.bits != nullptr, "no memory");
    Decoder(data, layout, background, target).Run();
    result.ok = true;
  } catch (const Problem& p) {
    result.problem = p.text;
  }
  return result;
}

}  // namespace mirabo::bitmap
