// WebP through libwebp: lossy, lossless, alpha; of an animation its first
// frame on its canvas. An embedded ICC profile is converted to sRGB.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "plugins/decoders/susie/srgb.h"
#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {
namespace {

bool Sniff(Bytes head) {
  return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

WebPBitstreamFeatures Features(Bytes file) {
  WebPBitstreamFeatures features{};
  switch (WebPGetFeatures(file.data(), file.size(), &features)) {
    case VP8_STATUS_OK: return features;
    case VP8_STATUS_OUT_OF_MEMORY: throw SpiFailure{SpiCode::kOutOfMemory};
    case VP8_STATUS_NOT_ENOUGH_DATA: throw SpiFailure{SpiCode::kCorrupt};
    default: throw SpiFailure{SpiCode::kCorrupt};
  }
}

Geometry Probe(Bytes file) {
  const WebPBitstreamFeatures f = Features(file);
  Geometry g;
  g.width = static_cast<std::uint32_t>(f.width);
  g.height = static_cast<std::uint32_t>(f.height);
  g.depth = f.has_alpha ? 32 : 24;
  return g;
}

struct DemuxDeleter {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct IdecDeleter {
  void operator()(WebPIDecoder* d) const { WebPIDelete(d); }
};

// One VP8/VP8L bitstream (with its alpha) into a part of the canvas, fed in
// pieces so the host can follow and stop it.
void DecodeInto(Bytes stream, Canvas& canvas, std::uint32_t left, std::uint32_t top, std::uint32_t width,
                std::uint32_t height, Progress& progress) {
  if (left + std::uint64_t{width} > canvas.Width() || top + std::uint64_t{height} > canvas.Height()) {
    throw SpiFailure{SpiCode::kCorrupt};
  }
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) throw SpiFailure{SpiCode::kInternal};
  config.output.colorspace = canvas.Alpha() ? MODE_BGRA : MODE_BGR;
  config.output.is_external_memory = 1;
  // The canvas is stored bottom-up: hand over the region's lowest row and
  // let libwebp write upwards.
  config.options.flip = 1;
  config.output.u.RGBA.rgba = canvas.Row(top + height - 1) + std::size_t{left} * canvas.Channels();
  config.output.u.RGBA.stride = static_cast<int>(canvas.Stride());
  config.output.u.RGBA.size = canvas.Stride() * (height - 1) + std::size_t{width} * canvas.Channels();
  const std::unique_ptr<WebPIDecoder, IdecDeleter> idec(WebPIDecode(nullptr, 0, &config));
  if (!idec) throw SpiFailure{SpiCode::kOutOfMemory};
  constexpr std::size_t kPiece = 256 * 1024;
  for (std::size_t at = 0; at < stream.size(); at += kPiece) {
    const std::size_t n = std::min(kPiece, stream.size() - at);
    const VP8StatusCode status = WebPIAppend(idec.get(), stream.data() + at, n);
    if (status == VP8_STATUS_OK) {
      WebPFreeDecBuffer(&config.output);
      return;
    }
    if (status == VP8_STATUS_OUT_OF_MEMORY) throw SpiFailure{SpiCode::kOutOfMemory};
    if (status != VP8_STATUS_SUSPENDED) throw SpiFailure{SpiCode::kCorrupt};
    progress.Report(static_cast<int>((at + n) * 90 / stream.size()), 100);
  }
  throw SpiFailure{SpiCode::kCorrupt};  // the data ended first
}

void Decode(Bytes file, Canvas& canvas, Progress& progress) {
  const WebPBitstreamFeatures features = Features(file);
  WebPData data{file.data(), file.size()};
  const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
  if (!demux) throw SpiFailure{SpiCode::kCorrupt};
  WebPIterator frame{};
  if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) throw SpiFailure{SpiCode::kCorrupt};
  const std::uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const std::uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  // A first frame smaller than its canvas leaves the rest transparent.
  const bool covers = frame.x_offset == 0 && frame.y_offset == 0 && static_cast<std::uint32_t>(frame.width) == width &&
                      static_cast<std::uint32_t>(frame.height) == height;
  const bool alpha = features.has_alpha || frame.has_alpha || !covers;
  try {
    canvas.Allocate(width, height, alpha);
    DecodeInto(Bytes(frame.fragment.bytes, frame.fragment.size), canvas, static_cast<std::uint32_t>(frame.x_offset),
               static_cast<std::uint32_t>(frame.y_offset), static_cast<std::uint32_t>(frame.width),
               static_cast<std::uint32_t>(frame.height), progress);
  } catch (...) {
    WebPDemuxReleaseIterator(&frame);
    throw;
  }
  WebPDemuxReleaseIterator(&frame);

  if (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) {
    WebPChunkIterator chunk{};
    if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
      ProfileToSrgb(canvas, Bytes(chunk.chunk.bytes, chunk.chunk.size));
      WebPDemuxReleaseChunkIterator(&chunk);
    }
  }
}

}  // namespace

extern const Format kFormat{
    "Mirabo WebP plug-in (libwebp)",
    "*.webp",
    "WebP",
    Sniff,
    Probe,
    Decode,
};

}  // namespace mirabo::decoders
