#pragma once
// Metadata segments of a JPEG file that travel with a picture when it is
// turned and written again: the EXIF block and the XMP packet say how the
// stored pixels are to be shown and how large they are, so both are brought
// in line with the turned pixels; everything else is carried as it is.
#include <cstdint>
#include <vector>

namespace mirabo {

// An APP1 segment's payload (after the length) beginning "Exif\0\0": the
// orientation tag becomes 1 (the pixels are now stored upright) and the
// pixel width and height tags swap. Edits in place, never changes the size;
// false when the payload is not EXIF or its structure cannot be trusted (it
// is then left exactly as it was).
bool ResetExifAfterTurn(std::vector<uint8_t>& payload);

// An APP1 segment's payload holding an XMP packet: a tiff:Orientation value
// (attribute or element form) becomes 1, in place. False when there is none.
bool ResetXmpOrientation(std::vector<uint8_t>& payload);

}  // namespace mirabo
