// Writes the decoder plug-ins' sample files the window's tests under Wine
// read (tests/app/fixtures/decoders): the MinGW build has no HEVC or AV1
// encoder, so they are made here, once, and kept.
//   make_decoder_samples FOLDER
#include <cstdio>
#include <fstream>
#include <string>

#include "decoder_fixtures.h"

using namespace mirabo::decoders::fixtures;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_decoder_samples FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  auto write = [&](const char* name, const Bytes& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                               static_cast<std::streamsize>(bytes.size()));
  };
  // 64 x 48 each; the HEIC lies turned (orientation 6) and must stand up
  // as 48 x 64, the AVIF is 10-bit with alpha.
  write("sample.png", MakePng({"rgb16", 2, 16}, 64, 48));
  write("sample.webp", MakeWebp(WebpKind::kLossy, 64, 48));
  write("sample.heic", MakeHeif({"heic", false, 8, false, 6, false}, 64, 48));
  write("sample.avif", MakeHeif({"avif", true, 10, true, 1, false}, 64, 48));
  return 0;
}
