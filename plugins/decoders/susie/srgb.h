#pragma once
// The interface carries no colour profile, so our plug-ins hand over sRGB:
// pictures described by an ICC profile or by coding-independent code
// points (the nclx box of HEIF and AVIF) are converted in place.
#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {

// A profile that cannot be read, or is not RGB, leaves the pixels as they are.
void ProfileToSrgb(Canvas& canvas, Bytes icc);

// Colour primaries and transfer characteristics as ITU-T H.273 numbers them.
// BT.709 or unspecified primaries with a BT.709-like or sRGB curve are
// taken as sRGB already; unknown numbers leave the pixels alone.
void CicpToSrgb(Canvas& canvas, int primaries, int transfer);

// A picture described by a power-law gamma (the file's encoding exponent,
// as PNG's gAMA gives it: 0.45455 for 2.2) and, when known, its primaries
// and white point as CIE xy (PNG's cHRM; sRGB's when not).
struct Chromaticities {
  double white[2], red[2], green[2], blue[2];
};
void GammaToSrgb(Canvas& canvas, double fileGamma, const Chromaticities* chromaticities);

// Whether those numbers need a conversion at all.
bool CicpIsSrgb(int primaries, int transfer);

}  // namespace mirabo::decoders
