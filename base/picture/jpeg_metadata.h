#pragma once
// Metadata segments of a JPEG file that travel with a picture when it is
// turned and written again: the EXIF block and the XMP packet say how the
// stored pixels are to be shown and how large they are, so both are brought
// in line with the turned pixels; everything else is carried as it is.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mirabo {

// What a JPEG file says of how it is to be shown, read from its segments
// before the first scan.
struct JpegMetadata {
  int orientation = 1;              // the EXIF IFD0 Orientation, 1 to 8
  std::vector<uint8_t> iccProfile;  // the embedded colour profile; empty for none
};
// Every length checked: a damaged or absent EXIF block means orientation 1,
// an incomplete or doubled profile means none.
JpegMetadata ReadJpegMetadata(std::span<const uint8_t> file);

// An APP1 payload's EXIF orientation; 1 when there is none or the block
// cannot be trusted.
int ExifOrientation(std::span<const uint8_t> payload);

// The profile of APP2 "ICC_PROFILE" payloads (each with its sequence number
// and count), put together in sequence order; empty when a chunk is
// missing, doubled or the counts disagree.
std::vector<uint8_t> AssembleIccProfile(const std::vector<std::span<const uint8_t>>& chunks);

// An APP1 segment's payload (after the length) beginning "Exif\0\0": the
// orientation tag becomes 1 (the pixels are now stored upright) and, when
// the picture's sides swapped, the pixel width and height tags swap. Edits
// in place, never changes the size; false when the payload is not EXIF or
// its structure cannot be trusted (it is then left exactly as it was).
bool ResetExifAfterTurn(std::vector<uint8_t>& payload, bool sidesSwapped = true);

// An APP1 segment's payload holding an XMP packet: a tiff:Orientation value
// (attribute or element form) becomes 1, in place. False when there is none.
bool ResetXmpOrientation(std::vector<uint8_t>& payload);

}  // namespace mirabo
