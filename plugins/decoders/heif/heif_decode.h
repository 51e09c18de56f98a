#pragma once
// The primary image of a HEIF file (HEIC, and AVIF, which is HEIF with AV1
// pictures): grids assembled, irot and imir applied so the picture stands
// as its maker meant, alpha, more than 8 bits brought to 8, colour from its
// ICC profile or nclx description converted to sRGB.
#include <initializer_list>

#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {

Geometry ProbeHeif(Bytes file);
void DecodeHeif(Bytes file, Canvas& canvas, Progress& progress);

// Whether an ftyp box at the start names one of the brands (as major or
// compatible brand); false when the box is not there.
bool HasBrand(Bytes head, std::initializer_list<const char*> brands);

}  // namespace mirabo::decoders
