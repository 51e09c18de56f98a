#include "plugins/dib_assembly.h"

#include <cstring>
#include <limits>

#include "base/picture/limits.h"

namespace mirabo {
namespace {

template <typename T>
T Read(std::span<const uint8_t> bytes, size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

template <typename T>
void Write(std::vector<uint8_t>& out, size_t offset, T value) {
  std::memcpy(out.data() + offset, &value, sizeof value);
}

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;

// The information header's fields both paths read.
struct Header {
  uint32_t size;
  int32_t width, height;
  uint16_t bitCount;
  uint32_t compression, colours;
};

std::optional<Header> ReadHeader(std::span<const uint8_t> info) {
  if (info.size() < 40) return std::nullopt;
  Header h{Read<uint32_t>(info, 0), Read<int32_t>(info, 4),   Read<int32_t>(info, 8),
           Read<uint16_t>(info, 14), Read<uint32_t>(info, 16), Read<uint32_t>(info, 32)};
  if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<int32_t>::min()) return std::nullopt;
  return h;
}

}  // namespace

std::optional<AssembledBitmap> AssembleBitmap(std::span<const uint8_t> info, std::span<const uint8_t> pixels) {
  const auto h = ReadHeader(info);
  if (!h) return std::nullopt;
  const uint32_t headerSize = h->size;
  const int32_t width = h->width;
  const int32_t height = h->height;
  const uint16_t bitCount = h->bitCount;
  const uint32_t compression = h->compression;
  uint32_t colours = h->colours;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return std::nullopt;
  if (colours == 0 && bitCount <= 8) colours = 1u << bitCount;
  if (colours > 256) return std::nullopt;
  // The header as the plug-in wrote it (V4 and V5 headers keep their colour
  // masks and size), and the three masks that follow a 40-byte header with
  // bit fields, so 16- and 32-bit pictures keep their colours.
  const uint64_t header = headerSize >= 40 && headerSize <= 124 ? headerSize : 40;
  const uint64_t masks = (compression == kBiBitfields && header == 40) ? 12 : 0;
  const uint64_t table = header + masks + 4ull * colours;
  const uint64_t rowBytes = (static_cast<uint64_t>(bitCount) * static_cast<uint64_t>(width) + 31) / 32 * 4;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  const uint64_t imageBytes = rowBytes * rows;
  if (compression != kBiRgb && compression != kBiBitfields) return std::nullopt;  // RLE rows come as they are sized
  if (table > info.size() || imageBytes > pixels.size() || imageBytes > (1ull << 31) || table + imageBytes > (1ull << 31))
    return std::nullopt;

  AssembledBitmap out;
  out.bitCount = bitCount;
  out.colours = colours;
  out.paletteFromTable = bitCount == 4 && colours > 0;
  const uint64_t offset = 14 + table;
  // The rows are copied in, not written over zeros first: a photograph's
  // rows are tens of megabytes.
  out.file.reserve(static_cast<size_t>(offset + imageBytes));
  out.file.resize(static_cast<size_t>(offset));
  Write<uint16_t>(out.file, 0, 0x4D42);
  Write<uint32_t>(out.file, 2, static_cast<uint32_t>(offset + imageBytes));
  Write<uint32_t>(out.file, 10, static_cast<uint32_t>(offset));
  std::memcpy(out.file.data() + 14, info.data(), static_cast<size_t>(table));
  Write<uint32_t>(out.file, 14, static_cast<uint32_t>(header));
  out.file.insert(out.file.end(), pixels.data(), pixels.data() + imageBytes);
  out.pixelOffset = static_cast<size_t>(offset);
  out.pixelBytes = static_cast<size_t>(imageBytes);
  out.plainRgb32 = bitCount == 32 && compression == kBiRgb;
  if (bitCount == 32 && compression == kBiRgb) {
    // Alpha bytes that are all zero mean "no alpha", not "transparent".
    uint8_t* px = out.file.data() + offset;
    bool anyAlpha = false;
    for (uint64_t i = 3; i < imageBytes; i += 4) anyAlpha |= px[i] != 0;
    if (!anyAlpha)
      for (uint64_t i = 3; i < imageBytes; i += 4) px[i] = 0xFF;
  }
  return out;
}

bool CompositeOverBackground(AssembledBitmap& bitmap, uint8_t red, uint8_t green, uint8_t blue) {
  if (!bitmap.plainRgb32) return false;
  uint8_t* px = bitmap.file.data() + bitmap.pixelOffset;
  const size_t bytes = bitmap.pixelBytes & ~size_t{3};
  bool partial = false;
  for (size_t i = 3; i < bytes && !partial; i += 4) partial = px[i] != 0xFF;
  if (!partial) return false;  // opaque already (or made so)
  const unsigned back[3] = {blue, green, red};
  for (size_t i = 0; i < bytes; i += 4) {
    const unsigned a = px[i + 3];
    for (int c = 0; c < 3; ++c) px[i + c] = static_cast<uint8_t>((px[i + c] * a + back[c] * (255 - a) + 127) / 255);
    px[i + 3] = 0xFF;
  }
  return true;
}

std::optional<PlainPicture> PlainPictureOf(std::span<const uint8_t> info, std::span<const uint8_t> pixels) {
  const auto h = ReadHeader(info);
  if (!h || h->size < 40 || h->compression != kBiRgb || (h->bitCount != 24 && h->bitCount != 32)) return std::nullopt;
  PlainPicture p;
  p.width = h->width;
  p.height = h->height < 0 ? -h->height : h->height;
  if (p.width > kMaxPictureSide || p.height > kMaxPictureSide ||
      static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height) > kMaxPicturePixels)
    return std::nullopt;
  p.bitCount = h->bitCount;
  p.topDown = h->height < 0;
  p.stride = (static_cast<size_t>(p.bitCount) * static_cast<size_t>(p.width) + 31) / 32 * 4;
  if (p.stride * static_cast<size_t>(p.height) > pixels.size()) return std::nullopt;
  return p;
}

void DrawPlainPicture(const PlainPicture& p, std::span<const uint8_t> pixels, uint8_t red, uint8_t green, uint8_t blue,
                      uint8_t* target, size_t targetStride) {
  const auto rowOf = [&](int y) {
    return pixels.data() + static_cast<size_t>(p.topDown ? y : p.height - 1 - y) * p.stride;
  };
  const size_t w = static_cast<size_t>(p.width);
  if (p.bitCount == 24) {
    for (int y = 0; y < p.height; ++y) std::memcpy(target + static_cast<size_t>(y) * targetStride, rowOf(y), w * 3);
    return;
  }
  // Alpha that is not all 0 or all 255 is real transparency.
  bool any = false, partial = false;
  for (int y = 0; y < p.height && !(any && partial); ++y) {
    const uint8_t* in = rowOf(y);
    for (size_t x = 0; x < w; ++x) {
      any |= in[4 * x + 3] != 0;
      partial |= in[4 * x + 3] != 0xFF;
    }
  }
  const bool blend = any && partial;
  const unsigned back[3] = {blue, green, red};
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* in = rowOf(y);
    uint8_t* out = target + static_cast<size_t>(y) * targetStride;
    if (!blend) {
      for (size_t x = 0; x < w; ++x, in += 4, out += 3) out[0] = in[0], out[1] = in[1], out[2] = in[2];
      continue;
    }
    for (size_t x = 0; x < w; ++x, in += 4, out += 3) {
      const unsigned a = in[3];
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((in[c] * a + back[c] * (255 - a) + 127) / 255);
    }
  }
}

}  // namespace mirabo
