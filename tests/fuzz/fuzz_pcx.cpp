// PCX pages from any bytes: decoded or refused with an error, nothing else.
#include <exception>

#include "viewers/document/pcx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    (void)mirabo::DecodePcx({data, size});
  } catch (const std::exception&) {
  }
  return 0;
}
