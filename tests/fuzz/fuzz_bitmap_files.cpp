// Bitmap and icon files: what the check lets through never sends the
// system past the file.
#include <cstdlib>

#include "base/picture/bitmap_check.h"
#include "base/picture/limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto bmp = mirabo::bitmap::CheckBitmapFile({data, size});
  if (bmp.ok) {
    const auto& l = bmp.layout;
    if (l.bitsOffset > size || l.bitsOffset + l.bitsAvailable != size || l.infoOffset + l.headerSize > l.bitsOffset)
      abort();
    if (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) > mirabo::kMaxPicturePixels) abort();
    if (l.compressed && l.bitsNeeded > l.bitsAvailable) abort();
  }
  (void)mirabo::bitmap::CheckIconFile({data, size});
  return 0;
}
