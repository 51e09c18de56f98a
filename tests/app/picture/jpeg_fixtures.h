#pragma once
// JPEG files made in memory for the decoder tests, by libjpeg's own encoder,
// so every kind (colour, grey, CMYK, progressive, arithmetic) is at hand
// without shipping sample files.
#include <cstdint>
#include <functional>
#include <vector>

namespace mirabo::testing {

enum class JpegKind { Rgb, Gray, Cmyk, Ycck, Progressive, Arithmetic };

// A width × height picture whose colour at (x, y) is Pattern(x, y, w, h).
std::vector<uint8_t> MakeJpeg(JpegKind kind, int width, int height, int quality = 90);

// A colour JPEG whose rows fill fills (width × 3 bytes, RGB).
using RowFiller = std::function<void(int y, uint8_t* rgb)>;
std::vector<uint8_t> MakeRgbJpeg(int width, int height, int quality, const RowFiller& fill);

struct Rgb {
  uint8_t r, g, b;
};
// Four flat quadrants: red, green, blue, white (grey levels for Gray), so
// colours can be checked at every scale.
Rgb Pattern(int x, int y, int width, int height);

// The 16-bit width and height fields of the first SOF segment rewritten.
std::vector<uint8_t> WithClaimedSize(std::vector<uint8_t> jpeg, int width, int height);

}  // namespace mirabo::testing
