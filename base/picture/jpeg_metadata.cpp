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

bool ResetExifAfterTurn(std::vector<uint8_t>& payload, bool sidesSwapped) {
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
  if (!sidesSwapped) return true;
  SwapDimensions(tiff, tiff.Find(ifd0, kImageWidth), tiff.Find(ifd0, kImageLength));
  if (const auto exif = tiff.Find(ifd0, kExifIfd); exif.bytes == 4) {
    const size_t sub = tiff.Read(exif.offset, 4);
    SwapDimensions(tiff, tiff.Find(sub, kPixelX), tiff.Find(sub, kPixelY));
  }
  return true;
}

int ExifOrientation(std::span<const uint8_t> payload) {
  static constexpr char kHeader[] = "Exif\0\0";
  if (payload.size() < 6 + 8 || std::memcmp(payload.data(), kHeader, 6) != 0) return 1;
  // Only read: the block is not changed through this view.
  const Tiff tiff(const_cast<uint8_t*>(payload.data()) + 6, payload.size() - 6, payload[6] == 'M');
  const uint8_t* t = payload.data() + 6;
  if (!((t[0] == 'I' && t[1] == 'I') || (t[0] == 'M' && t[1] == 'M')) || tiff.Read(2, 2) != 42) return 1;
  const size_t ifd0 = tiff.Read(4, 4);
  const auto o = tiff.Find(ifd0, kOrientation);
  if (!o.bytes) return 1;
  const uint32_t value = tiff.Read(o.offset, o.bytes);
  return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

std::vector<uint8_t> AssembleIccProfile(const std::vector<std::span<const uint8_t>>& chunks) {
  static constexpr char kMark[] = "ICC_PROFILE";  // and its terminating NUL: 12 bytes
  std::vector<std::span<const uint8_t>> parts;
  size_t count = 0;
  for (const auto& chunk : chunks) {
    if (chunk.size() < 14 || std::memcmp(chunk.data(), kMark, 12) != 0) continue;
    const size_t sequence = chunk[12], total = chunk[13];
    if (total == 0 || sequence == 0 || sequence > total || (count && total != count)) return {};
    count = total;
    parts.resize(count);
    if (!parts[sequence - 1].empty()) return {};  // doubled
    parts[sequence - 1] = chunk.subspan(14);
    if (parts[sequence - 1].empty()) return {};
  }
  std::vector<uint8_t> profile;
  for (const auto& part : parts) {
    if (part.empty()) return {};  // missing
    profile.insert(profile.end(), part.begin(), part.end());
  }
  return profile;
}

JpegMetadata ReadJpegMetadata(std::span<const uint8_t> file) {
  JpegMetadata found;
  std::vector<std::span<const uint8_t>> iccChunks;
  if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return found;
  bool exifSeen = false;
  for (size_t at = 2; at + 4 <= file.size();) {
    if (file[at] != 0xFF) break;  // not a marker: the structure ends here
    const uint8_t marker = file[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // the first scan, or the end
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    const size_t length = static_cast<size_t>(file[at + 2]) << 8 | file[at + 3];
    if (length < 2 || at + 2 + length > file.size()) break;
    const std::span<const uint8_t> payload = file.subspan(at + 4, length - 2);
    if (marker == 0xE1 && !exifSeen && payload.size() >= 6 && std::memcmp(payload.data(), "Exif\0", 6) == 0) {
      exifSeen = true;  // the first EXIF block speaks; later ones are copies
      found.orientation = ExifOrientation(payload);
    } else if (marker == 0xE2) {
      iccChunks.push_back(payload);
    }
    at += 2 + length;
  }
  found.iccProfile = AssembleIccProfile(iccChunks);
  return found;
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
