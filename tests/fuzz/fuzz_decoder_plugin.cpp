// One of our decoder plug-ins (which one: the objects this target links),
// through its exported calls as a host makes them, on bytes from memory.
#include <cstdint>
#include <cstring>
#include <vector>

#include "plugins/decoders/susie/susie_plugin.h"
#if defined(MIRABO_FUZZ_HEIF_BOXES)
#include "plugins/decoders/heif/heif_boxes.h"
#endif

using mirabo::decoders::PictureInfo;
using mirabo::decoders::ProgressCallback;
using mirabo::decoders::SpiLength;

MIRABO_SPI_EXPORT int MIRABO_SPI_CALL IsSupported(const char* filename, void* dw);
MIRABO_SPI_EXPORT int MIRABO_SPI_CALL GetPictureInfo(const char* buf, SpiLength len, unsigned flag, PictureInfo* info);
MIRABO_SPI_EXPORT int MIRABO_SPI_CALL GetPicture(const char* buf, SpiLength len, unsigned flag, HANDLE* info,
                                                 HANDLE* bits, ProgressCallback progress, SpiLength data);

namespace {
int Continue(int, int, SpiLength) { return 0; }
}  // namespace

#if defined(MIRABO_FUZZ_LIBHEIF)
// libheif 1.15's dav1d glue drops a 40-byte data reference when a damaged
// file makes it push data twice; our code never calls dav1d itself.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdav1d.so\n"; }
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> head(2048);
  std::memcpy(head.data(), data, std::min(size, head.size()));
  IsSupported("fuzz", head.data());
#if defined(MIRABO_FUZZ_HEIF_BOXES)
  mirabo::decoders::ReadPrimaryTransforms(mirabo::decoders::Bytes(data, size));
#endif
  PictureInfo info{};
  GetPictureInfo(reinterpret_cast<const char*>(data), static_cast<SpiLength>(size), 1, &info);
  HANDLE header = nullptr, bits = nullptr;
  if (GetPicture(reinterpret_cast<const char*>(data), static_cast<SpiLength>(size), 1, &header, &bits, Continue, 0) == 0) {
    // Every byte of the result is the host's to read.
    const auto* dib = static_cast<const mirabo::decoders::DibHeader*>(LocalLock(header));
    const auto* rows = static_cast<const volatile uint8_t*>(LocalLock(bits));
    const size_t stride = (static_cast<size_t>(dib->biWidth) * dib->biBitCount / 8 + 3) & ~size_t{3};
    if (LocalSize(bits) < stride * static_cast<size_t>(dib->biHeight)) __builtin_trap();
    (void)rows[stride * static_cast<size_t>(dib->biHeight) - 1];
    LocalFree(header);
    LocalFree(bits);
  }
  return 0;
}
