#pragma once
// The pages libtiff's RGBA reader shows wrong or not at all, made from
// their stored samples: signed and floating-point samples, depths other
// than 1, 2, 4, 8 and 16 bits (12-bit grey, 32-bit integers), 16-bit CMYK
// and L*a*b* pages. Samples of any depth are scaled to 8 bits; L*a*b* goes
// through Little CMS to sRGB.
#include <cstdint>
#include <vector>

#include "viewers/document/page.h"

namespace mirabo {

// What a page's directory says of its samples (TIFF's numbers).
struct SampleLayout {
  int bits = 8, samples = 1, photometric = 1;
  int format = 1;            // 1 unsigned, 2 signed, 3 floating point
  int extraAlpha = 0;        // 1 associated, 2 unassociated (the first extra sample)
  bool hasRange = false;     // SMinSampleValue / SMaxSampleValue given
  double rangeMin = 0, rangeMax = 0;
};

// Whether a page of this layout is made here rather than by libtiff's
// RGBA reader (whose results for the others stay as they are).
bool NeedsSampleReader(const SampleLayout& layout);

// Whether it can be shown at all (colour model and sample form known).
bool SampleReaderShows(const SampleLayout& layout);

// The stored samples, top row first, in libtiff's byte order for this
// machine: one plane holding every sample of a pixel side by side, or one
// plane a sample. Rows are packed to whole bytes.
struct StoredPlanes {
  int width = 0, height = 0;
  bool separate = false;
  size_t rowBytes = 0;             // of one plane
  std::vector<const uint8_t*> plane;
};

// The page the samples show: grey for grey models, colour for the others;
// alpha is laid over white. Throws EDocumentError for a layout
// SampleReaderShows refuses.
DocPage PageFromSamples(const StoredPlanes& stored, const SampleLayout& layout, DocPage* recycle);

}  // namespace mirabo
