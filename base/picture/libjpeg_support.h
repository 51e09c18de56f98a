#pragma once
// What the decoder and the re-encoder share around libjpeg: its fatal errors
// turned into a jump back to the caller's setjmp point (C++ exceptions must
// not unwind through libjpeg's C frames), warnings only counted, and owners
// that destroy the codec objects on every path.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace mirabo::jpeg {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  // A warning that means lost picture data (anything but stray bytes
  // between segments, which some cameras write and which lose nothing).
  bool damaged;
};

extern "C" void OnFatalError(j_common_ptr cinfo);
// Damaged data that libjpeg works around is counted, never fatal: the
// picture is used as far as it could be decoded.
extern "C" void OnMessage(j_common_ptr cinfo, int level);

inline void InstallErrors(jpeg_error_mgr*& slot, ErrorManager& err) {
  slot = jpeg_std_error(&err.pub);
  err.pub.error_exit = &OnFatalError;
  err.pub.emit_message = &OnMessage;
  err.message[0] = '\0';
  err.damaged = false;
}

class Decompressor {
 public:
  Decompressor() { InstallErrors(cinfo.err, err); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  // Safe on a struct that was never created: libjpeg checks its memory
  // manager, which is still null then.
  ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
};

class Compressor {
 public:
  Compressor() { InstallErrors(cinfo.err, err); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  ~Compressor() {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
  }
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  // jpeg_mem_dest's output, which libjpeg grows with malloc.
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
};

}  // namespace mirabo::jpeg
