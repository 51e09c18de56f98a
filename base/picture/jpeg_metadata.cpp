#include "base/picture/jpeg_metadata.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mirabo {
namespace {

constexpr uint16_t kOrientation = 0x0112, kImageWidth = 0x0100, kImageLength = 0x0101;
constexpr uint16_t kExifIfd = 0x8769, kPixelX = 0xA002, kPixelY = 0xA003;
constexpr uint16_t kShort = 3, kLong = 4;

// The TIFF structure inside the EXIF block, every read bounds-checked.
class Tiff {
 public:
  Tiff(uint8_t* data, size_t size, bool bigEndian) : data_(data), size_(size), big_(bigEndian) {}

  bool Has(size_t offset, size_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
  uint32_t Read(size_t offset, int bytes) const {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
      const uint32_t b = data_[offset + static_cast<size_t>(i)];
      v |= big_ ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
    }
    return v;
  }
  void Write(size_t offset, int bytes, uint32_t v) {
    for (int i = 0; i < bytes; ++i)
      data_[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(big_ ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
  }

  // An IFD entry's single SHORT or LONG value: where it is and how wide.
  struct Value {
    size_t offset = 0;
    int bytes = 0;
  };
  // Entries of the IFD at offset with the given tag; nothing when absent,
  // of another type or count, or when the IFD runs past the block.
  Value Find(size_t ifd, uint16_t tag) const {
    if (!Has(ifd, 2)) return {};
    const uint32_t count = Read(ifd, 2);
    if (!Has(ifd + 2, static_cast<size_t>(count) * 12)) return {};
    for (uint32_t i = 0; i < count; ++i) {
      const size_t entry = ifd + 2 + static_cast<size_t>(i) * 12;
      if (Read(entry, 2) != tag) continue;
      const uint32_t type = Read(entry + 2, 2), n = Read(entry + 4, 4);
      if (n != 1 || (type != kShort && type != kLong)) return {};
      return {entry + 8, type == kShort ? 2 : 4};
    }
    return {};
  }

 private:
  uint8_t* data_;
  size_t size_;
  bool big_;
};

// Swaps two dimension values, each kept in its own width; a value that
// would not fit the other's width leaves both as they were.
void SwapDimensions(Tiff& tiff, Tiff::Value a, Tiff::Value b) {
  if (!a.bytes || !b.bytes) return;
  const uint32_t va = tiff.Read(a.offset, a.bytes), vb = tiff.Read(b.offset, b.bytes);
  if ((a.bytes == 2 && vb > 0xFFFF) || (b.bytes == 2 && va > 0xFFFF)) return;
  tiff.Write(a.offset, a.bytes, vb);
  tiff.Write(b.offset, b.bytes, va);
}

}  // namespace

bool ResetExifAfterTurn(std::vector<uint8_t>& payload) {
  static constexpr char kHeader[] = "Exif\0\0";
  if (payload.size() < 6 + 8 || std::memcmp(payload.data(), kHeader, 6) != 0) return false;
  uint8_t* const t = payload.data() + 6;
  const size_t size = payload.size() - 6;
  bool big;
  if (t[0] == 'I' && t[1] == 'I') big = false;
  else if (t[0] == 'M' && t[1] == 'M') big = true;
  else return false;
  Tiff tiff(t, size, big);
  if (tiff.Read(2, 2) != 42) return false;
  const size_t ifd0 = tiff.Read(4, 4);
  if (!tiff.Has(ifd0, 2)) return false;

  if (const auto o = tiff.Find(ifd0, kOrientation); o.bytes) tiff.Write(o.offset, o.bytes, 1);
  SwapDimensions(tiff, tiff.Find(ifd0, kImageWidth), tiff.Find(ifd0, kImageLength));
  if (const auto exif = tiff.Find(ifd0, kExifIfd); exif.bytes == 4) {
    const size_t sub = tiff.Read(exif.offset, 4);
    SwapDimensions(tiff, tiff.Find(sub, kPixelX), tiff.Find(sub, kPixelY));
  }
  return true;
}

bool ResetXmpOrientation(std::vector<uint8_t>& payload) {
  const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  if (text.find("http://ns.adobe.com/xap/1.0/") != 0) return false;
  bool changed = false;
  for (const std::string_view form : {std::string_view("tiff:Orientation=\""), std::string_view("tiff:Orientation='"),
                                      std::string_view("<tiff:Orientation>")}) {
    for (size_t at = text.find(form); at != std::string_view::npos; at = text.find(form, at + 1)) {
      const size_t digit = at + form.size();
      // Only a lone digit 1 to 8 is an orientation; anything else is left.
      if (digit + 1 < text.size() && text[digit] >= '1' && text[digit] <= '8' &&
          (text[digit + 1] == '"' || text[digit + 1] == '\'' || text[digit + 1] == '<')) {
        payload[digit] = '1';
        changed = true;
      }
    }
  }
  return changed;
}

}  // namespace mirabo
