// TIFF documents from any bytes: pages counted and the first ones read, or
// an error; libtiff's own warnings are not findings.
#include <exception>
#include <vector>

#include "viewers/document/byte_source.h"
#include "viewers/document/tiff_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto document = mirabo::OpenTiffDocument(std::make_unique<mirabo::MemorySource>(std::vector<uint8_t>(data, data + size)));
    if (!document) return 0;
    const int pages = document->PageCount();
    for (int i = 0; i < pages && i < 3; ++i) {
      try {
        (void)document->ReadPage(i);
      } catch (const std::exception&) {
      }
    }
  } catch (const std::exception&) {
  }
  return 0;
}
