#pragma once
// Metafiles are checked before the system's player sees them: the player
// follows every size, count, offset and object number the file states, so a
// hostile or broken file would make it read past its records, loop forever or
// use objects that do not exist. A file that passes holds every record inside
// itself, every count and offset inside its record and every object number
// inside the header's table.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mirabo::metafile {

inline constexpr std::string_view kInvalidMessage = "メタファイルは有効ではありません";

enum class Format { Wmf, PlaceableWmf, Emf };

struct Checked {
  Format format = Format::Wmf;
  // The bytes to hand to the player: the header's own length, so bytes after
  // it (and the placeable header) never reach it.
  size_t offset = 0, size = 0;
  // A Windows metafile whose header states more than the file holds: the
  // size in words its header must state for the player (which walks to the
  // header's size) to stay inside what it is given; 0 when it is right.
  uint32_t headerWords = 0;
  // Placeable metafiles: the picture's box in units, and units per inch.
  int left = 0, top = 0, right = 0, bottom = 0, unitsPerInch = 0;
  // Enhanced metafiles: the frame in hundredths of a millimetre.
  int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

struct CheckResult {
  bool ok = false;
  Checked metafile;
  std::string problem;  // what was wrong, for the tests and the log; empty when ok
};

CheckResult Check(std::span<const uint8_t> data);

// The pixels between two coordinates of a box at dpi, the box measured in
// unitsPerInch. Writers mirror boxes (right left of left, bottom above top):
// the picture is as large either way, so the distance counts, not its sign.
int64_t ExtentPixels(int64_t from, int64_t to, int dpi, int unitsPerInch);

// The size to draw a metafile at: its own size, scaled down (shape kept) so
// the drawing never needs more pixels than a picture may have. Sides are
// magnitudes (a negative one counts as its size); a zero side stays zero,
// for the caller to refuse.
struct DrawSize {
  int width = 0, height = 0;
};
DrawSize CapDrawSize(int64_t width, int64_t height);

}  // namespace mirabo::metafile
