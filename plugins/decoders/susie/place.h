#pragma once
// Decoders that hand out a top-down buffer of their own (or must turn the
// picture upright themselves) copy it into the canvas through this.
#include <cstddef>
#include <cstdint>

#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {

struct SourcePixels {
  const std::uint8_t* data;
  std::size_t stride;
  std::uint32_t width, height;
  int channels;    // 3 or 4; the canvas must have been allocated with as many
  bool rgb_order;  // R first (else B first, as the canvas)
};

// A turn by quarter turns counter-clockwise, after a mirror that exchanges
// left and right when `mirrored`: the eight ways a picture can lie.
struct Orientation {
  int quarter_turns = 0;
  bool mirrored = false;

  bool Across() const { return (quarter_turns & 1) != 0; }
  // These transforms applied after this one.
  Orientation ThenTurn(int turns) const { return {(quarter_turns + turns) & 3, mirrored}; }
  Orientation ThenMirrorLeftRight() const { return {(4 - quarter_turns) & 3, !mirrored}; }
  Orientation ThenMirrorTopBottom() const { return {(6 - quarter_turns) & 3, !mirrored}; }
};

// The canvas must have the source's size as the orientation leaves it.
void Place(const SourcePixels& source, Orientation orientation, Canvas& canvas);

}  // namespace mirabo::decoders
