// AVIF: HEIF with AV1 pictures, read by the same libheif with dav1d (8, 10
// and 12 bits, every chroma layout, alpha, irot/imir, ICC or CICP colour).
// Of an image sequence, the primary image.
#include "plugins/decoders/heif/heif_decode.h"

namespace mirabo::decoders {
namespace {

bool Sniff(Bytes head) { return HasBrand(head, {"avif", "avis"}); }

}  // namespace

extern const Format kFormat{
    "Mirabo AVIF plug-in (libheif + dav1d)",
    "*.avif;*.avifs",
    "AVIF",
    Sniff,
    ProbeHeif,
    DecodeHeif,
};

}  // namespace mirabo::decoders
