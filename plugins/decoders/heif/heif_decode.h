#pragma once
// The primary image of a HEIC file: grids assembled, irot and imir applied
// so the picture stands as its maker meant, alpha, more than 8 bits brought
// to 8, colour from its ICC profile or nclx description converted to sRGB.
#include "plugins/decoders/heif/heif_boxes.h"

namespace mirabo::decoders {

Geometry ProbeHeif(Bytes file);
void DecodeHeif(Bytes file, Canvas& canvas, Progress& progress);

}  // namespace mirabo::decoders
