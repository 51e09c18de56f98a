// LocalAlloc and friends for the native builds: a size word before the
// block, so LocalSize answers as the system's does.
#include <cstdlib>
#include <cstring>

#include "plugins/decoders/susie/local_memory.h"

namespace {
constexpr std::size_t kHeader = alignof(std::max_align_t);

unsigned char* Base(HLOCAL memory) { return static_cast<unsigned char*>(memory) - kHeader; }
}  // namespace

HLOCAL LocalAlloc(unsigned flags, std::size_t bytes) {
  if (bytes > ~std::size_t{0} - kHeader) return nullptr;
  auto* base = static_cast<unsigned char*>((flags & LMEM_ZEROINIT) ? std::calloc(1, kHeader + bytes)
                                                                   : std::malloc(kHeader + bytes));
  if (!base) return nullptr;
  std::memcpy(base, &bytes, sizeof bytes);
  return base + kHeader;
}

void* LocalLock(HLOCAL memory) { return memory; }
int LocalUnlock(HLOCAL) { return 0; }

HLOCAL LocalFree(HLOCAL memory) {
  if (memory) std::free(Base(memory));
  return nullptr;
}

std::size_t LocalSize(HLOCAL memory) {
  std::size_t bytes = 0;
  if (memory) std::memcpy(&bytes, Base(memory), sizeof bytes);
  return bytes;
}
