// Metafiles: the checks answer every input, and what they pass lies inside it.
#include <cstdlib>

#include "app/picture/metafile_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto result = mirabo::metafile::Check({data, size});
  if (result.ok == !result.problem.empty()) abort();
  if (result.ok && (result.metafile.offset + result.metafile.size > size || result.metafile.size == 0)) abort();
  if (result.ok && result.metafile.format == mirabo::metafile::Format::PlaceableWmf) {
    const auto drawn = mirabo::metafile::CapDrawSize(
        int64_t{result.metafile.right - result.metafile.left} * 96 / result.metafile.unitsPerInch,
        int64_t{result.metafile.bottom - result.metafile.top} * 96 / result.metafile.unitsPerInch);
    if (drawn.width > (1 << 15) || drawn.height > (1 << 15)) abort();
  }
  return 0;
}
