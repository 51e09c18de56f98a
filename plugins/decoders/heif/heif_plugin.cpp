// HEIC and other HEVC HEIF pictures, the photos of today's phones, through
// libheif with libde265.
#include "plugins/decoders/heif/heif_decode.h"

namespace mirabo::decoders {
namespace {

// AVIF files name "mif1" too: those are the AVIF plug-in's.
bool Sniff(Bytes head) {
  return !HasBrand(head, {"avif", "avis"}) &&
         HasBrand(head, {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1"});
}

}  // namespace

extern const Format kFormat{
    "Mirabo HEIF plug-in (libheif + libde265)",
    "*.heic;*.heif;*.hif",
    "HEIF",
    Sniff,
    ProbeHeif,
    DecodeHeif,
};

}  // namespace mirabo::decoders
