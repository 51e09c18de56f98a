// The EXIF and XMP rewriting of turn-and-save over any APP1 payload: the
// size never changes, and a refused payload is left exactly as it was.
#include <cstdlib>
#include <vector>

#include "base/picture/jpeg_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> original(data, data + size);
  std::vector<uint8_t> exif = original;
  if (!mirabo::ResetExifAfterTurn(exif) && exif != original) abort();
  if (exif.size() != size) abort();
  std::vector<uint8_t> xmp = original;
  if (!mirabo::ResetXmpOrientation(xmp) && xmp != original) abort();
  if (xmp.size() != size) abort();
  return 0;
}
