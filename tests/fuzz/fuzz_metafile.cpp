// Metafiles: the checks answer every input, and what they pass lies inside it.
#include <cstdlib>

#include "base/picture/metafile_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto result = mirabo::metafile::Check({data, size});
  if (result.ok == !result.problem.empty()) abort();
  if (result.ok && (result.metafile.offset + result.metafile.size > size || result.metafile.size == 0)) abort();
  if (result.ok && result.metafile.format == mirabo::metafile::Format::PlaceableWmf) {
    const auto& m = result.metafile;
    const auto drawn = mirabo::metafile::CapDrawSize(mirabo::metafile::ExtentPixels(m.left, m.right, 96, m.unitsPerInch),
                                                     mirabo::metafile::ExtentPixels(m.top, m.bottom, 96, m.unitsPerInch));
    if (drawn.width < 0 || drawn.height < 0 || drawn.width > (1 << 15) || drawn.height > (1 << 15) ||
        uint64_t{static_cast<uint32_t>(drawn.width)} * static_cast<uint32_t>(drawn.height) > (1ull << 28))
      abort();
  }
  return 0;
}
