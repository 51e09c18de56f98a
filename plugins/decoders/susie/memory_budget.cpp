// A plug-in's C++ allocations (its own and, linked into the same library,
// those of libheif and libde265) share one budget: a damaged file whose
// boxes claim gigabytes makes an allocation fail (the decode answers "out
// of memory") instead of taking the host's memory. The picture handed over
// is LocalAlloc memory, outside the budget; it is checked before it is
// allocated.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#if !defined(_WIN32)
#include <malloc.h>
#endif

#include "plugins/decoders/susie/susie_plugin.h"

namespace {

using mirabo::decoders::kMaxDecoderBytes;

#if defined(_WIN32)
// The plug-in is one statically linked library: every new and delete in it
// is one of these, so the live total can be kept. Where the block malloc
// gave and the size asked sit just before what the caller gets.
constexpr std::size_t kHeader = 32;
constinit std::atomic<std::uint64_t> g_live{0};
struct Tag {
  void* raw;
  std::size_t size;
};
static_assert(sizeof(Tag) <= kHeader);

void* Take(std::size_t size, std::size_t align) {
  if (size > kMaxDecoderBytes) return nullptr;
  if (g_live.fetch_add(size) + size > kMaxDecoderBytes) {
    g_live.fetch_sub(size);
    return nullptr;
  }
  const std::size_t extra = kHeader + (align > alignof(std::max_align_t) ? align : 0);
  void* raw = std::malloc(size + extra);
  if (!raw) {
    g_live.fetch_sub(size);
    return nullptr;
  }
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(raw) + kHeader;
  if (align > alignof(std::max_align_t)) at = (at + align - 1) & ~(static_cast<std::uintptr_t>(align) - 1);
  reinterpret_cast<Tag*>(at)[-1] = {raw, size};
  return reinterpret_cast<void*>(at);
}

void Give(void* p) noexcept {
  if (!p) return;
  const Tag tag = static_cast<Tag*>(p)[-1];
  g_live.fetch_sub(tag.size);
  std::free(tag.raw);
}

#else
// Natively (tests and fuzzers) libheif is a shared library of the system's
// and the C++ runtime frees some blocks it made itself: blocks are plain
// malloc's, counted by their usable size, and the count may dip below zero
// by what others made and we freed (which only loosens the budget).
constinit std::atomic<std::int64_t> g_live{0};

void* Take(std::size_t size, std::size_t align) {
  if (size > kMaxDecoderBytes || g_live.load() + static_cast<std::int64_t>(size) > static_cast<std::int64_t>(kMaxDecoderBytes)) {
    return nullptr;
  }
  void* p = align <= alignof(std::max_align_t) ? std::malloc(size ? size : 1)
                                               : std::aligned_alloc(align, (size + align - 1) / align * align);
  if (p) g_live += static_cast<std::int64_t>(malloc_usable_size(p));
  return p;
}

void Give(void* p) noexcept {
  if (!p) return;
  g_live -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}
#endif

void* TakeOrThrow(std::size_t size, std::size_t align) {
  void* p = Take(size, align);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t n) { return TakeOrThrow(n, 0); }
void* operator new[](std::size_t n) { return TakeOrThrow(n, 0); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Take(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Take(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return TakeOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return TakeOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Take(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Take(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { Give(p); }
void operator delete[](void* p) noexcept { Give(p); }
void operator delete(void* p, std::size_t) noexcept { Give(p); }
void operator delete[](void* p, std::size_t) noexcept { Give(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Give(p); }
void operator delete(void* p, std::align_val_t) noexcept { Give(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Give(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Give(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Give(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Give(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Give(p); }
