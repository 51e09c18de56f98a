#pragma once
// The interface hands its results over in LocalAlloc memory. On Windows that
// is the system's; the native builds (sanitizer tests and fuzzers) get a
// stand-in with the same calls, exported by the plug-in so a test frees
// what it was given with the plug-in's own functions.
#include <cstddef>

#if defined(_WIN32)
#include <windows.h>
#define MIRABO_SPI_EXPORT extern "C" __declspec(dllexport)
#define MIRABO_SPI_CALL __stdcall
#else
#define MIRABO_SPI_EXPORT extern "C" __attribute__((visibility("default")))
#define MIRABO_SPI_CALL
using HLOCAL = void*;
using HANDLE = void*;
inline constexpr unsigned LMEM_MOVEABLE = 0x2;
inline constexpr unsigned LMEM_ZEROINIT = 0x40;
MIRABO_SPI_EXPORT HLOCAL LocalAlloc(unsigned flags, std::size_t bytes);
MIRABO_SPI_EXPORT void* LocalLock(HLOCAL memory);
MIRABO_SPI_EXPORT int LocalUnlock(HLOCAL memory);
MIRABO_SPI_EXPORT HLOCAL LocalFree(HLOCAL memory);
MIRABO_SPI_EXPORT std::size_t LocalSize(HLOCAL memory);
#endif
