#include "plugins/decoders/susie/place.h"

#include <cstring>

namespace mirabo::decoders {

void Place(const SourcePixels& s, Orientation o, Canvas& canvas) {
  const std::uint32_t w = o.Across() ? s.height : s.width;
  const std::uint32_t h = o.Across() ? s.width : s.height;
  if (canvas.Width() != w || canvas.Height() != h || canvas.Channels() != s.channels) {
    throw SpiFailure{SpiCode::kInternal};
  }
  const int ch = s.channels;
  if (o.quarter_turns == 0 && !o.mirrored && !s.rgb_order) {
    for (std::uint32_t y = 0; y < h; ++y) std::memcpy(canvas.Row(y), s.data + y * s.stride, std::size_t{w} * ch);
    return;
  }
  // Where source pixel (sx, sy) lands: mirrored first, then turned.
  // Origin and steps along a source row (dx) and down a column (dy), in
  // canvas pixels.
  const long W = s.width, H = s.height;
  long x0 = 0, y0 = 0, dx_x = 1, dx_y = 0, dy_x = 0, dy_y = 1;
  if (o.mirrored) x0 = W - 1, dx_x = -1;
  for (int t = 0; t < (o.quarter_turns & 3); ++t) {
    // A quarter turn counter-clockwise of a picture `width` wide:
    // (x, y) -> (y, width - 1 - x).
    const long width = (t % 2 == 0) ? W : H;
    const long nx0 = y0, ny0 = width - 1 - x0;
    const long ndx_x = dx_y, ndx_y = -dx_x, ndy_x = dy_y, ndy_y = -dy_x;
    x0 = nx0, y0 = ny0, dx_x = ndx_x, dx_y = ndx_y, dy_x = ndy_x, dy_y = ndy_y;
  }
  // In memory the canvas's row y lies one stride below row y - 1.
  const std::ptrdiff_t row_step = -static_cast<std::ptrdiff_t>(canvas.Stride());
  std::uint8_t* const origin = canvas.Row(0);
  const std::ptrdiff_t along = dx_x * ch + dx_y * row_step;
  const int r = s.rgb_order ? 2 : 0, b = s.rgb_order ? 0 : 2;
  for (std::uint32_t sy = 0; sy < s.height; ++sy) {
    const std::uint8_t* from = s.data + sy * s.stride;
    std::uint8_t* to = origin + (x0 + dy_x * static_cast<long>(sy)) * ch + (y0 + dy_y * static_cast<long>(sy)) * row_step;
    for (std::uint32_t sx = 0; sx < s.width; ++sx, from += ch, to += along) {
      to[0] = from[r];
      to[1] = from[1];
      to[2] = from[b];
      if (ch == 4) to[3] = from[3];
    }
  }
}

}  // namespace mirabo::decoders
