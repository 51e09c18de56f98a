#pragma once
// What the HEIF boxes say of the primary item's orientation: its irot and
// imir properties, composed in the order the file lists them.
#include "plugins/decoders/susie/place.h"
#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {

struct PrimaryTransforms {
  bool any = false;  // an irot or imir is there
  Orientation orientation;
};

// A damaged or unusual structure reads as no transforms.
PrimaryTransforms ReadPrimaryTransforms(Bytes file);

}  // namespace mirabo::decoders
