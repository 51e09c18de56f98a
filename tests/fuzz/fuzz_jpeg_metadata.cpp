// The EXIF and XMP of a JPEG over any bytes: turn-and-save's rewriting never
// changes a payload's size and leaves a refused one exactly as it was; the
// orientation read is one of the eight, and a file's segments (orientation,
// colour profile) are read without ever leaving the file.
#include <cstdlib>
#include <span>
#include <vector>

#include "base/picture/jpeg_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> original(data, data + size);
  for (const bool swapped : {true, false}) {
    std::vector<uint8_t> exif = original;
    if (!mirabo::ResetExifAfterTurn(exif, swapped) && exif != original) abort();
    if (exif.size() != size) abort();
    if (mirabo::ResetExifAfterTurn(exif, swapped) && mirabo::ExifOrientation(exif) != 1) abort();
  }
  std::vector<uint8_t> xmp = original;
  if (!mirabo::ResetXmpOrientation(xmp) && xmp != original) abort();
  if (xmp.size() != size) abort();
  const int orientation = mirabo::ExifOrientation(original);
  if (orientation < 1 || orientation > 8) abort();
  // The same bytes as a whole file, after a start-of-image marker.
  std::vector<uint8_t> file{0xFF, 0xD8};
  file.insert(file.end(), original.begin(), original.end());
  const mirabo::JpegMetadata found = mirabo::ReadJpegMetadata(file);
  if (found.orientation < 1 || found.orientation > 8 || found.iccProfile.size() > size) abort();
  return 0;
}
