// Bitmap and icon files: what the check lets through never sends the
// system past the file, and our own decoder stays inside the file and its
// target.
#include <cstdlib>
#include <vector>

#include "base/picture/bitmap_check.h"
#include "base/picture/bitmap_decode.h"
#include "base/picture/limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto bmp = mirabo::bitmap::CheckBitmapFile({data, size});
  if (bmp.ok) {
    const auto& l = bmp.layout;
    if (l.bitsOffset > size || l.bitsOffset + l.bitsAvailable != size || l.infoOffset + l.headerSize > l.bitsOffset)
      abort();
    if (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) > mirabo::kMaxPicturePixels) abort();
    if (l.compressed && l.bitsNeeded > l.bitsAvailable) abort();
    if (l.paletteOffset + static_cast<uint64_t>(l.paletteEntries) * static_cast<uint64_t>(l.entryBytes) > size) abort();
    if ((l.bitCount < 1 || l.bitCount > 8) ? l.paletteEntries != 0 : l.paletteEntries > (1u << l.bitCount)) abort();
    // Pictures of up to a million pixels are decoded (the sanitizer sees
    // every byte read and written); larger ones cost the fuzzer only time.
    if (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) <= (1u << 20)) {
      std::vector<uint8_t> target(static_cast<size_t>(l.width) * static_cast<size_t>(l.height) * 4);
      (void)mirabo::bitmap::DecodeBitmap({data, size}, l, {}, [&] {
        return mirabo::bitmap::Target{target.data(), static_cast<size_t>(l.width) * 4};
      });
    }
  }
  (void)mirabo::bitmap::CheckIconFile({data, size});
  return 0;
}
