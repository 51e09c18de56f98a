#pragma once
// Pictures for the decoder plug-ins' tests and fuzz seeds, made with the
// formats' own encoders, and the reference libraries' own decodes of them.
#include <cstdint>
#include <string>
#include <vector>

namespace mirabo::decoders::fixtures {

using Bytes = std::vector<std::uint8_t>;

// A top-down picture, four bytes a pixel in B, G, R, A order.
struct Picture {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> bgra;
};

// A deterministic picture with smooth and sharp parts (and, with alpha,
// every level of transparency somewhere).
Picture Pattern(std::uint32_t width, std::uint32_t height, bool alpha);

struct PngCase {
  const char* name;
  int colour_type;  // PNG_COLOR_TYPE_*
  int depth;
  bool interlaced = false;
  bool trns = false;     // a tRNS chunk (palette: some entries see-through)
  double gamma = 0;      // a gAMA chunk when nonzero
  bool p3_icc = false;   // an iCCP chunk with a Display P3 profile
};
const std::vector<PngCase>& PngCases();
Bytes MakePng(const PngCase& c, std::uint32_t width = 37, std::uint32_t height = 23);
// libpng's simplified reader: 8-bit BGRA, sixteen-bit samples taken as
// sRGB-coded; with p3_icc the result converted to sRGB by Little CMS.
Picture ReferencePng(const Bytes& file, bool p3_icc);

enum class WebpKind { kLossy, kLossless, kAlpha, kAnimated };
Bytes MakeWebp(WebpKind kind, std::uint32_t width = 48, std::uint32_t height = 32);
Picture ReferenceWebp(const Bytes& file);  // WebPDecodeBGRA
// The first frame of MakeWebp(kAnimated), as it was encoded (losslessly).
Picture AnimatedFirstFrame(std::uint32_t width = 48, std::uint32_t height = 32);

struct HeifCase {
  const char* name;
  bool av1;          // AVIF (aom) else HEIC (x265)
  int bits;          // 8 or 10
  bool alpha;
  int orientation;   // EXIF numbering, written as irot/imir
  bool p3_icc;
  int chroma = 444;  // AVIF's chroma sampling: 420, 422 or 444
  bool p3_nclx = false;  // Display P3 said by CICP numbers instead of a profile
  bool p3() const { return p3_icc || p3_nclx; }
};
const std::vector<HeifCase>& HeifCases();
// Empty when this system's libheif cannot encode the case.
Bytes MakeHeif(const HeifCase& c, std::uint32_t width = 64, std::uint32_t height = 48);
// A HEIC whose primary item is a grid of columns x rows tiles of 64 x 64
// cropped to 64 * columns x (64 * rows - 16), the way phones store photos:
// Pattern(64 * columns, 64 * rows) without its last 16 rows. Its transforms
// and colour are on the grid; c.alpha is not used. Empty without an HEVC
// encoder.
// data: what the grid's own data says of its size (its ispe says the truth).
enum class GridData {
  kTrue,
  kLying,             // says 1000 x 1000
  kLyingInTwoParts,   // says so in two extents, which the decoder joins
};
// on_top: the primary item is the grid itself, or an identity derived from
// it, or one that names no picture, or one of two that name each other.
enum class OnTop { kGrid, kIdentity, kIdentityOfNothing, kIdentityLoop };
Bytes MakeHeifGrid(const HeifCase& c, std::uint32_t columns, std::uint32_t rows, GridData data = GridData::kTrue,
                   OnTop on_top = OnTop::kGrid);

// An ISO box, and one with a version (flags 0), around body.
Bytes Box(const char* type, const Bytes& body);
Bytes FullBox(const char* type, std::uint8_t version, const Bytes& body);

// The Display P3 profile the fixtures embed (the colour tests' own).
Bytes DisplayP3Profile();
// A picture in that profile converted to sRGB by Little CMS, alpha kept.
Picture P3ToSrgb(Picture picture);
// A picture stored with a plain power-law gamma (PNG's gAMA, sRGB's
// primaries) converted to sRGB by Little CMS.
Picture GammaToSrgb(Picture picture, double fileGamma);

}  // namespace mirabo::decoders::fixtures
