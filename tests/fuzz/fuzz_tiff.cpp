// TIFF documents from any bytes: pages counted and the first ones read, or
// an error; libtiff's own warnings are not findings. Pages claiming more
// than 64 kilopixels are skipped here: the page limit has its own tests, and
// under AddressSanitizer each such page costs a second of poisoning memory
// that finds nothing.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "viewers/document/byte_source.h"
#include "viewers/document/tiff_document.h"

namespace {

struct Memory {
  const uint8_t* data;
  toff_t size, at;
};

tmsize_t Read(thandle_t h, void* buffer, tmsize_t n) {
  auto* m = static_cast<Memory*>(h);
  const toff_t count = std::min<toff_t>(static_cast<toff_t>(n), m->at < m->size ? m->size - m->at : 0);
  std::memcpy(buffer, m->data + m->at, count);
  m->at += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t Write(thandle_t, void*, tmsize_t) { return 0; }
toff_t Seek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<Memory*>(h);
  m->at = whence == SEEK_SET ? offset : whence == SEEK_CUR ? m->at + offset : m->size + offset;
  return m->at;
}
int Close(thandle_t) { return 0; }
toff_t Size(thandle_t h) { return static_cast<Memory*>(h)->size; }

bool AnyPageLargerThan(const uint8_t* data, size_t size, uint64_t pixels) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  Memory m{data, size, 0};
  TIFF* tif = TIFFClientOpen("probe", "rm", &m, Read, Write, Seek, Close, Size, nullptr, nullptr);
  if (!tif) return false;
  bool large = false;
  for (int page = 0; page < 3 && !large; ++page) {
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    large = static_cast<uint64_t>(width) * height > pixels;
    if (!TIFFReadDirectory(tif)) break;
  }
  TIFFClose(tif);
  return large;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (AnyPageLargerThan(data, size, 1u << 16)) return 0;
  try {
    auto document =
        mirabo::OpenTiffDocument(std::make_unique<mirabo::MemorySource>(std::vector<uint8_t>(data, data + size)));
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
