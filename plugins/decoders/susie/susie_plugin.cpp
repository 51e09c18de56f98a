// The exported calls of every decoder plug-in of ours, over the one Format
// the plug-in defines.
#include "plugins/decoders/susie/susie_plugin.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace mirabo::decoders {

void CheckPictureSize(std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) throw SpiFailure{SpiCode::kCorrupt};
  if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels) {
    throw SpiFailure{SpiCode::kOutOfMemory};
  }
}

void Progress::Report(int done, int total) {
  if (callback_ && callback_(done, total, data_) != 0) throw SpiFailure{SpiCode::kAborted};
}

Canvas::~Canvas() {
  if (bits_handle_) {
    LocalUnlock(bits_handle_);
    LocalFree(bits_handle_);
  }
  if (info_handle_) LocalFree(info_handle_);
}

void Canvas::Allocate(std::uint32_t width, std::uint32_t height, bool alpha) {
  CheckPictureSize(width, height);
  if (bits_) throw SpiFailure{SpiCode::kInternal};
  const int channels = alpha ? 4 : 3;
  const std::size_t stride = (static_cast<std::size_t>(width) * channels + 3) & ~std::size_t{3};
  // 2^28 pixels of four bytes do not fit a 32-bit size.
  if (stride > std::numeric_limits<std::size_t>::max() / height) throw SpiFailure{SpiCode::kOutOfMemory};
  info_handle_ = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(DibHeader));
  bits_handle_ = LocalAlloc(LMEM_MOVEABLE, stride * height);
  if (!info_handle_ || !bits_handle_) throw SpiFailure{SpiCode::kOutOfMemory};
  bits_ = static_cast<std::uint8_t*>(LocalLock(bits_handle_));
  if (!bits_) throw SpiFailure{SpiCode::kMemoryError};
  // The row padding is not left as whatever the heap held.
  if (stride != static_cast<std::size_t>(width) * channels) std::memset(bits_, 0, stride * height);
  width_ = width;
  height_ = height;
  alpha_ = alpha;
  stride_ = stride;

  auto* header = static_cast<DibHeader*>(LocalLock(info_handle_));
  if (!header) throw SpiFailure{SpiCode::kMemoryError};
  header->biSize = sizeof(DibHeader);
  header->biWidth = static_cast<std::int32_t>(width);
  header->biHeight = static_cast<std::int32_t>(height);  // bottom-up
  header->biPlanes = 1;
  header->biBitCount = static_cast<std::uint16_t>(channels * 8);
  header->biSizeImage = static_cast<std::uint32_t>(stride * height);
  header->biXPelsPerMeter = header->biYPelsPerMeter = 3780;  // 96 dpi
  LocalUnlock(info_handle_);
}

void Canvas::Release(HANDLE* info, HANDLE* bits) {
  if (!bits_) throw SpiFailure{SpiCode::kInternal};
  LocalUnlock(bits_handle_);
  *info = info_handle_;
  *bits = bits_handle_;
  info_handle_ = bits_handle_ = nullptr;
  bits_ = nullptr;
}

namespace {

// The interface's input: a file's path and where in it the picture starts,
// or the picture in memory.
class Input {
 public:
  Input(const char* buf, SpiLength len, unsigned flag) {
    if (!buf) throw SpiFailure{SpiCode::kReadError};
    switch (flag & 7) {
      case 1:
        if (len < 0) throw SpiFailure{SpiCode::kReadError};
        bytes_ = Bytes(reinterpret_cast<const std::uint8_t*>(buf), static_cast<std::size_t>(len));
        return;
      case 0:
        Read(buf, len);
        return;
      default:
        throw SpiFailure{SpiCode::kNotImplemented};
    }
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
#if defined(_WIN32)
  ~Input() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
  }
#endif
  Bytes bytes() const { return bytes_; }

 private:
  void Read(const char* path, SpiLength offset) {
    if (offset < 0) throw SpiFailure{SpiCode::kReadError};
#if defined(_WIN32)
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw SpiFailure{SpiCode::kReadError};
    struct Closer {
      HANDLE h;
      ~Closer() { CloseHandle(h); }
    } closer{file};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < offset) throw SpiFailure{SpiCode::kReadError};
    const std::uint64_t left = static_cast<std::uint64_t>(size.QuadPart - offset);
    if (left > kMaxDecoderBytes) throw SpiFailure{SpiCode::kOutOfMemory};
    // Mapped rather than read: a 50 MB PNG then costs neither a copy nor
    // 50 MB of fresh memory (and the system refuses to shorten a file
    // while it is mapped).
    if (left > 0) {
      mapping_ = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
      if (mapping_) view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
      if (view_) {
        bytes_ = Bytes(static_cast<const std::uint8_t*>(view_) + offset, static_cast<std::size_t>(left));
        return;
      }
    }
    // Where no view fits (a 32-bit process's address space), read.
    owned_.resize(static_cast<std::size_t>(left));
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) throw SpiFailure{SpiCode::kReadError};
    std::size_t done = 0;
    while (done < owned_.size()) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(owned_.size() - done, 1u << 24));
      DWORD got = 0;
      if (!ReadFile(file, owned_.data() + done, want, &got, nullptr) || got == 0) throw SpiFailure{SpiCode::kReadError};
      done += got;
    }
#else
    std::FILE* file = std::fopen(path, "rb");
    if (!file) throw SpiFailure{SpiCode::kReadError};
    struct Closer {
      std::FILE* f;
      ~Closer() { std::fclose(f); }
    } closer{file};
    if (std::fseek(file, 0, SEEK_END) != 0) throw SpiFailure{SpiCode::kReadError};
    const long size = std::ftell(file);
    if (size < offset) throw SpiFailure{SpiCode::kReadError};
    if (static_cast<std::uint64_t>(size - offset) > kMaxDecoderBytes) throw SpiFailure{SpiCode::kOutOfMemory};
    owned_.resize(static_cast<std::size_t>(size - offset));
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fread(owned_.data(), 1, owned_.size(), file) != owned_.size()) {
      throw SpiFailure{SpiCode::kReadError};
    }
#endif
    bytes_ = Bytes(owned_.data(), owned_.size());
  }

  std::vector<std::uint8_t> owned_;
  Bytes bytes_;
#if defined(_WIN32)
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
#endif
};

// Every export answers with a code; nothing is thrown across the interface.
template <class Body>
int Answer(Body&& body) {
  try {
    body();
    return static_cast<int>(SpiCode::kSuccess);
  } catch (const SpiFailure& failure) {
    return static_cast<int>(failure.code);
  } catch (const std::bad_alloc&) {
    return static_cast<int>(SpiCode::kOutOfMemory);
  } catch (...) {
    return static_cast<int>(SpiCode::kInternal);
  }
}

// A file the sniff does not know is not decoded at all.
void RequireOurs(Bytes file) {
  if (!kFormat.sniff(file.first(std::min<std::size_t>(file.size(), 2048)))) throw SpiFailure{SpiCode::kUnknownFormat};
}

int CopyText(const char* text, char* buf, int buflen) {
  if (!buf || buflen <= 0) return 0;
  const std::size_t length = std::min(std::strlen(text), static_cast<std::size_t>(buflen - 1));
  std::memcpy(buf, text, length);
  buf[length] = '\0';
  return static_cast<int>(length);
}

}  // namespace
}  // namespace mirabo::decoders

using namespace mirabo::decoders;

MIRABO_SPI_EXPORT int MIRABO_SPI_CALL GetPluginInfo(int infono, char* buf, int buflen) {
  switch (infono) {
    case 0: return CopyText("00IN", buf, buflen);
    case 1: return CopyText(kFormat.about, buf, buflen);
    case 2: return CopyText(kFormat.patterns, buf, buflen);
    case 3: return CopyText(kFormat.description, buf, buflen);
    default: return 0;
  }
}

MIRABO_SPI_EXPORT int MIRABO_SPI_CALL IsSupported(const char* filename, void* dw) {
  (void)filename;  // by the signature only, never by the name
  // Below 64 K the old convention's file handle, which we do not read.
  if (reinterpret_cast<std::uintptr_t>(dw) <= 0xFFFF) return 0;
  try {
    return kFormat.sniff(Bytes(static_cast<const std::uint8_t*>(dw), 2048)) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

MIRABO_SPI_EXPORT int MIRABO_SPI_CALL GetPictureInfo(const char* buf, SpiLength len, unsigned flag,
                                                     PictureInfo* info) {
  if (!info) return static_cast<int>(SpiCode::kInternal);
  return Answer([&] {
    const Input input(buf, len, flag);
    RequireOurs(input.bytes());
    const Geometry g = kFormat.probe(input.bytes());
    CheckPictureSize(g.width, g.height);
    std::memset(info, 0, sizeof *info);
    info->width = static_cast<std::int32_t>(g.width);
    info->height = static_cast<std::int32_t>(g.height);
    info->colorDepth = static_cast<std::int16_t>(g.depth);
  });
}

MIRABO_SPI_EXPORT int MIRABO_SPI_CALL GetPicture(const char* buf, SpiLength len, unsigned flag, HANDLE* pHBInfo,
                                                 HANDLE* pHBm, ProgressCallback progress, SpiLength data) {
  if (!pHBInfo || !pHBm) return static_cast<int>(SpiCode::kInternal);
  *pHBInfo = *pHBm = nullptr;
  return Answer([&] {
    const Input input(buf, len, flag);
    RequireOurs(input.bytes());
    Progress report(progress, data);
    report.Report(0, 100);
    Canvas canvas;
    kFormat.decode(input.bytes(), canvas, report);
    if (!canvas.Allocated()) throw SpiFailure{SpiCode::kCorrupt};
    report.Report(100, 100);
    canvas.Release(pHBInfo, pHBm);
  });
}

MIRABO_SPI_EXPORT int MIRABO_SPI_CALL GetPreview(const char*, SpiLength, unsigned, HANDLE*, HANDLE*, ProgressCallback,
                                                 SpiLength) {
  return static_cast<int>(SpiCode::kNotImplemented);
}
