#pragma once
// What the HEIF boxes say that libheif 1.15 does not act on: the primary
// item's orientation (irot and imir, composed in the order the file lists
// them) and whether derived pictures are the size the boxes say.
#include <initializer_list>

#include "plugins/decoders/susie/place.h"
#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {

struct PrimaryTransforms {
  bool any = false;  // an irot or imir is there
  Orientation orientation;
  // An irot, imir or clap listed twice: no camera writes that, and libheif
  // 1.15 applies each, a full copy of the picture apiece, up to 255 times.
  bool repeated = false;
};

// A damaged or unusual structure reads as no transforms.
PrimaryTransforms ReadPrimaryTransforms(Bytes file);

// False when a grid or overlay item's data gives its picture a size far
// larger than its ispe box says: libheif 1.15 makes the picture the data
// says, so a kilobyte can cost a minute and a gigabyte, past every check
// made on the size the boxes say. What this reading cannot follow is left
// to libheif.
bool DerivedSizesAgree(Bytes file);

// False when the primary picture, or a picture the decoder lays on it as
// its alpha, is derived (grid, overlay, identity) through references that
// name no picture, come back to a picture on their own way, or nest or
// multiply past what a picture can hold. libheif 1.15 follows such
// references without looking: a loop of two identities overflows its
// stack before anything is decoded.
bool ReferencesAreSound(Bytes file);

// Whether an ftyp box at the start names one of the brands (as major or
// compatible brand); false when the box is not there.
bool HasBrand(Bytes head, std::initializer_list<const char*> brands);

}  // namespace mirabo::decoders
