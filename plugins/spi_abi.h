#pragma once
// The published Susie plug-in interface as this build calls it: 32-bit
// libraries (".spi", stdcall) in the i686 program, the 64-bit convention
// (".sph", pointer-sized lengths) in the x86_64 program.
#include <windows.h>

#include <cstddef>

namespace mirabo::spi {

// kPluginMask: this build's own convention; kSearchMask: what the program
// searches for (the 64-bit program runs both kinds in helper processes).
#if defined(_WIN64)
inline constexpr wchar_t kPluginMask[] = L"*.sph";
inline constexpr wchar_t kSearchMask[] = L"*.sph;*.spi";
using SpiLength = LONG_PTR;
#else
inline constexpr wchar_t kPluginMask[] = L"*.spi";
inline constexpr wchar_t kSearchMask[] = L"*.spi";
using SpiLength = long;
#endif

#pragma pack(push, 1)
struct PictureInfo {
  long left, top;
  long width, height;
  WORD x_density, y_density;
  short colorDepth;
#if defined(_WIN64)
  char dummy[2];  // the 64-bit convention aligns the handle
#endif
  HLOCAL hInfo;
};
#pragma pack(pop)

#if defined(_WIN64)
static_assert(sizeof(PictureInfo) == 32, "64-bit PictureInfo is 32 bytes");
static_assert(offsetof(PictureInfo, hInfo) == 24, "64-bit hInfo follows two padding bytes");
#else
static_assert(sizeof(PictureInfo) == 26, "32-bit PictureInfo is 26 bytes, packed");
static_assert(offsetof(PictureInfo, hInfo) == 22, "32-bit hInfo follows colorDepth directly");
#endif
static_assert(sizeof(long) == 4, "the interface's long is 32 bits on both targets");

using ProgressCallback = int(__stdcall*)(int num, int denom, SpiLength data);
using GetPluginInfoFn = int(__stdcall*)(int infono, LPSTR buf, int buflen);
using IsSupportedFn = int(__stdcall*)(LPCSTR filename, void* dw);
using GetPictureInfoFn = int(__stdcall*)(LPCSTR buf, SpiLength len, unsigned int flag, PictureInfo* info);
using GetPictureFn = int(__stdcall*)(LPCSTR buf, SpiLength len, unsigned int flag, HANDLE* pHBInfo, HANDLE* pHBm,
                                     ProgressCallback progress, SpiLength data);

}  // namespace mirabo::spi
