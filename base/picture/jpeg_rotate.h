#pragma once
// A JPEG file turned a quarter and encoded again: decoded at full size,
// turned pixel for pixel, encoded with libjpeg-turbo at the given quality,
// with the file's metadata segments carried over.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace mirabo {

// Told after each source row that is a multiple of ten has been turned,
// with the number of source rows.
using TurnProgress = std::function<void(int row, int rows)>;

// Colour pictures stay colour (3 bytes a pixel), grayscale stays one byte
// a pixel, CMYK and YCCK keep their four channels and colour space. The
// chroma subsampling turns with the picture (4:2:2 becomes 4:4:0), JFIF
// density swaps its axes, EXIF and XMP orientation become 1, and every
// other APPn (but Adobe's, which the encoder writes itself) and comment
// segment is copied in its original order. The whole result is in memory;
// nothing is written anywhere. Throws EJpegError with libjpeg's message.
std::vector<uint8_t> RotateJpegData(std::span<const uint8_t> jpeg, bool left, int quality,
                                    const TurnProgress& progress = {});

// The same for any of the eight placements (an EXIF orientation: how the
// stored pixels are to be shown, turns of the user's composed in): the file
// written as it is seen, its orientation tag 1; the sides, the sampling and
// the density exchange only when the placement exchanges them.
std::vector<uint8_t> OrientJpegData(std::span<const uint8_t> jpeg, int orientation, int quality,
                                    const TurnProgress& progress = {});

}  // namespace mirabo
