#pragma once
// What our decoder plug-ins share: the picture-input ("00IN") side of the
// Susie interface, for the 64-bit (".sph") and the 32-bit (".spi")
// convention from one source. A plug-in supplies one Format: its texts, how
// it knows its files by their first bytes, and how it measures and decodes
// them; this piece does the rest (exports, reading the file, the DIB in
// LocalAlloc memory, the error codes).
#include <cstddef>
#include <cstdint>
#include <span>

#include "plugins/decoders/susie/local_memory.h"

namespace mirabo::decoders {

// The interface's answers.
enum class SpiCode : int {
  kNotImplemented = -1,
  kSuccess = 0,
  kAborted = 1,
  kUnknownFormat = 2,
  kCorrupt = 3,
  kOutOfMemory = 4,
  kMemoryError = 5,
  kReadError = 6,
  kInternal = 8,
};

// Thrown by a Format's functions (never through a C library's frames); the
// export answers with its code.
struct SpiFailure {
  SpiCode code;
};

// The largest picture the program shows, and what a decoder may hold
// beside it.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;
inline constexpr std::uint64_t kMaxDecoderBytes = std::uint64_t{1} << 30;

// Throws kOutOfMemory for a picture over the limit (or without pixels:
// kCorrupt), before anything is allocated for it.
void CheckPictureSize(std::uint64_t width, std::uint64_t height);

using Bytes = std::span<const std::uint8_t>;

#if UINTPTR_MAX > 0xFFFFFFFFu
using SpiLength = std::intptr_t;
inline constexpr bool kSpi64 = true;
#else
using SpiLength = long;
inline constexpr bool kSpi64 = false;
#endif
using ProgressCallback = int(MIRABO_SPI_CALL*)(int num, int denom, SpiLength data);

#pragma pack(push, 1)
struct PictureInfo {
  std::int32_t left, top;
  std::int32_t width, height;
  std::uint16_t x_density, y_density;
  std::int16_t colorDepth;
#if UINTPTR_MAX > 0xFFFFFFFFu
  char dummy[2];
#endif
  HLOCAL hInfo;
};
struct DibHeader {  // BITMAPINFOHEADER
  std::uint32_t biSize;
  std::int32_t biWidth, biHeight;
  std::uint16_t biPlanes, biBitCount;
  std::uint32_t biCompression, biSizeImage;
  std::int32_t biXPelsPerMeter, biYPelsPerMeter;
  std::uint32_t biClrUsed, biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(PictureInfo) == (kSpi64 ? 32 : 26), "the interface's picture record");
static_assert(sizeof(DibHeader) == 40, "BITMAPINFOHEADER");

// The host's progress callback; a nonzero answer aborts the decode.
class Progress {
 public:
  Progress(ProgressCallback callback, SpiLength data) : callback_(callback), data_(data) {}
  // Throws SpiFailure{kAborted} when the host says stop.
  void Report(int done, int total);

 private:
  ProgressCallback callback_;
  SpiLength data_;
};

// The DIB the decoder writes: 24 bits (BGR) or, with alpha, 32 (BGRA,
// straight alpha), rows addressed top-down though stored bottom-up.
class Canvas {
 public:
  Canvas() = default;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas();

  // Checks the size against the limit, then allocates (kOutOfMemory).
  void Allocate(std::uint32_t width, std::uint32_t height, bool alpha);
  bool Allocated() const { return bits_ != nullptr; }
  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }
  bool Alpha() const { return alpha_; }
  int Channels() const { return alpha_ ? 4 : 3; }
  std::size_t Stride() const { return stride_; }
  std::uint8_t* Row(std::uint32_t y) { return bits_ + static_cast<std::size_t>(height_ - 1 - y) * stride_; }

  // Hands the two blocks over, unlocked; the canvas owns nothing after.
  void Release(HANDLE* info, HANDLE* bits);

 private:
  HLOCAL info_handle_ = nullptr;
  HLOCAL bits_handle_ = nullptr;
  std::uint8_t* bits_ = nullptr;
  std::uint32_t width_ = 0, height_ = 0;
  bool alpha_ = false;
  std::size_t stride_ = 0;
};

struct Geometry {
  std::uint32_t width = 0, height = 0;
  int depth = 24;  // the file's own bits a pixel, as GetPictureInfo tells it
};

struct Format {
  const char* about;        // GetPluginInfo 1
  const char* patterns;     // GetPluginInfo 2
  const char* description;  // GetPluginInfo 3
  // The first bytes of the file (up to 2 KB; shorter files are zero-padded
  // by the host): is it ours?
  bool (*sniff)(Bytes head);
  // The whole file: its size as shown, without decoding it.
  Geometry (*probe)(Bytes file);
  // The whole file into the canvas (allocated by the decoder once it knows
  // the size), upright and in sRGB.
  void (*decode)(Bytes file, Canvas& canvas, Progress& progress);
};

// Each plug-in defines its one format.
extern const Format kFormat;

}  // namespace mirabo::decoders
