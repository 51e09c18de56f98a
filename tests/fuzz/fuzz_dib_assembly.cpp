// A plug-in's result blocks, any sizes and contents: the assembled file is
// consistent with itself, compositing stays inside it, and the plain path
// reads only the rows it was given.
#include <cstdlib>
#include <span>
#include <vector>

#include "plugins/dib_assembly.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t infoSize = std::min<size_t>(size - 2, data[0] | data[1] << 8);
  const std::span<const uint8_t> info(data + 2, infoSize);
  const std::span<const uint8_t> pixels(data + 2 + infoSize, size - 2 - infoSize);
  if (const auto plain = mirabo::PlainPictureOf(info, pixels)) {
    const size_t stride = (static_cast<size_t>(plain->width) * 3 + 3) & ~size_t{3};
    // Small pictures only: a header may claim the full limit.
    if (stride * static_cast<size_t>(plain->height) <= (1u << 24)) {
      std::vector<uint8_t> target(stride * static_cast<size_t>(plain->height));
      mirabo::DrawPlainPicture(*plain, pixels, 0x12, 0x34, 0x56, target.data(), stride);
    }
  }
  auto bitmap = mirabo::AssembleBitmap(info, pixels);
  if (!bitmap) return 0;
  if (bitmap->pixelOffset + bitmap->pixelBytes > bitmap->file.size()) abort();
  mirabo::CompositeOverBackground(*bitmap, 0x12, 0x34, 0x56);
  return 0;
}
