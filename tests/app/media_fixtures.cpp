#include "tests/app/media_fixtures.h"

#include <cstdint>

namespace mirabo::testing {
namespace {

struct Writer {
  std::string bytes;
  void U16(uint32_t v) {
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>(v >> 8 & 0xFF);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Tag(const char* t) { bytes.append(t, 4); }
  // Writes the size of the chunk begun at 'at' (its tag) once it is done.
  size_t Begin(const char* tag) {
    Tag(tag);
    const size_t at = bytes.size();
    U32(0);
    return at;
  }
  void End(size_t at) {
    const uint32_t size = static_cast<uint32_t>(bytes.size() - at - 4);
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(size >> (8 * i) & 0xFF);
    if (size & 1) bytes += '\0';
  }
};

}  // namespace

std::string MakeWav(int milliseconds) {
  const uint32_t rate = 22050, samples = rate * static_cast<uint32_t>(milliseconds) / 1000;
  Writer w;
  const size_t riff = w.Begin("RIFF");
  w.Tag("WAVE");
  const size_t fmt = w.Begin("fmt ");
  w.U16(1);  // PCM
  w.U16(1);
  w.U32(rate);
  w.U32(rate * 2);
  w.U16(2);
  w.U16(16);
  w.End(fmt);
  const size_t data = w.Begin("data");
  for (uint32_t i = 0; i < samples; ++i) w.U16((i % 50) * 600);  // a quiet buzz
  w.End(data);
  w.End(riff);
  return w.bytes;
}

std::string MakeAvi(int width, int height, int frames, int framesPerSecond) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t frameBytes = stride * static_cast<uint32_t>(height);
  Writer w;
  const size_t riff = w.Begin("RIFF");
  w.Tag("AVI ");
  const size_t hdrl = w.Begin("LIST");
  w.Tag("hdrl");
  const size_t avih = w.Begin("avih");
  w.U32(1000000u / static_cast<uint32_t>(framesPerSecond));
  w.U32(frameBytes * static_cast<uint32_t>(framesPerSecond));
  w.U32(0);
  w.U32(0x10);  // AVIF_HASINDEX
  w.U32(static_cast<uint32_t>(frames));
  w.U32(0);
  w.U32(1);
  w.U32(frameBytes);
  w.U32(static_cast<uint32_t>(width));
  w.U32(static_cast<uint32_t>(height));
  for (int i = 0; i < 4; ++i) w.U32(0);
  w.End(avih);
  const size_t strl = w.Begin("LIST");
  w.Tag("strl");
  const size_t strh = w.Begin("strh");
  w.Tag("vids");
  w.Tag("DIB ");
  w.U32(0);
  w.U16(0);
  w.U16(0);
  w.U32(0);
  w.U32(1);
  w.U32(static_cast<uint32_t>(framesPerSecond));
  w.U32(0);
  w.U32(static_cast<uint32_t>(frames));
  w.U32(frameBytes);
  w.U32(0xFFFFFFFFu);
  w.U32(0);
  w.U16(0);
  w.U16(0);
  w.U16(static_cast<uint32_t>(width));
  w.U16(static_cast<uint32_t>(height));
  w.End(strh);
  const size_t strf = w.Begin("strf");
  w.U32(40);
  w.U32(static_cast<uint32_t>(width));
  w.U32(static_cast<uint32_t>(height));
  w.U16(1);
  w.U16(24);
  w.U32(0);  // BI_RGB
  w.U32(frameBytes);
  for (int i = 0; i < 4; ++i) w.U32(0);
  w.End(strf);
  w.End(strl);
  w.End(hdrl);
  const size_t movi = w.Begin("LIST");
  const size_t moviStart = w.bytes.size();
  w.Tag("movi");
  std::string index;
  for (int f = 0; f < frames; ++f) {
    const uint32_t offset = static_cast<uint32_t>(w.bytes.size() - moviStart);
    const size_t chunk = w.Begin("00db");
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        w.bytes += static_cast<char>(f * 16);
        w.bytes += static_cast<char>(y * 4);
        w.bytes += static_cast<char>(x * 4);
      }
      w.bytes.append(stride - static_cast<uint32_t>(width) * 3, '\0');
    }
    w.End(chunk);
    Writer entry;
    entry.Tag("00db");
    entry.U32(0x10);  // AVIIF_KEYFRAME
    entry.U32(offset);
    entry.U32(frameBytes);
    index += entry.bytes;
  }
  w.End(movi);
  const size_t idx1 = w.Begin("idx1");
  w.bytes += index;
  w.End(idx1);
  w.End(riff);
  return w.bytes;
}

}  // namespace mirabo::testing
