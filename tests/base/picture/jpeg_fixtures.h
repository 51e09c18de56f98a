#pragma once
// JPEG files made in memory for the decoder tests, by libjpeg's own encoder,
// so every kind (colour, grey, CMYK, progressive, arithmetic) is at hand
// without shipping sample files.
#include <cstdint>
#include <functional>
#include <utility>
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

// What a fixture file carries besides its pixels.
struct JpegExtras {
  std::vector<std::pair<int, std::vector<uint8_t>>> markers;  // code (0xE1...), payload
  bool jfif = true;
  int densityUnit = 0, xDensity = 1, yDensity = 1;
  int hSamp = 2, vSamp = 2;  // the first component's sampling (colour only)
};
std::vector<uint8_t> MakeJpeg(JpegKind kind, int width, int height, int quality, const JpegExtras& extras);

// An EXIF APP1 payload: IFD0 with the orientation and a pointer to an EXIF
// IFD holding the pixel width (SHORT) and height (LONG when heightLong).
// The values sit at fixed places, read back by ExifValues.
std::vector<uint8_t> MakeExif(bool bigEndian, int orientation, uint32_t pixelX, uint32_t pixelY, bool heightLong);
struct ExifValues {
  uint32_t orientation, pixelX, pixelY;
};
ExifValues ReadMadeExif(const std::vector<uint8_t>& payload, bool bigEndian, bool heightLong);

// What libjpeg reads from a file's headers.
struct JpegFacts {
  int width = 0, height = 0, components = 0, colorSpace = 0;
  bool jfif = false, adobe = false;
  int xDensity = 0, yDensity = 0;
  int hSamp0 = 0, vSamp0 = 0;
  int quant0 = 0;  // the first entry of the first quantisation table
  std::vector<std::pair<int, std::vector<uint8_t>>> markers;  // APPn and COM in file order
};
JpegFacts ReadJpegFacts(const std::vector<uint8_t>& jpeg);

// The decoded pixels, components interleaved (RGB or grey), top-down.
std::vector<uint8_t> DecodeAll(const std::vector<uint8_t>& jpeg, int& width, int& height, int& components);

// The 16-bit width and height fields of the first SOF segment rewritten.
std::vector<uint8_t> WithClaimedSize(std::vector<uint8_t> jpeg, int width, int height);

}  // namespace mirabo::testing
