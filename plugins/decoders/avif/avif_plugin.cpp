// AVIF through libavif with dav1d: 8, 10 and 12 bits, every chroma layout,
// alpha, irot/imir, ICC or CICP colour. Of an image sequence, the primary
// image (or, without one, the first frame).
#include <avif/avif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "plugins/decoders/heif/heif_boxes.h"
#include "plugins/decoders/susie/place.h"
#include "plugins/decoders/susie/srgb.h"

namespace mirabo::decoders {
namespace {

struct DecoderDeleter {
  void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
using Decoder = std::unique_ptr<avifDecoder, DecoderDeleter>;

SpiCode CodeOf(avifResult result, const avifDecoder& decoder) {
  switch (result) {
    case AVIF_RESULT_OUT_OF_MEMORY:
      return SpiCode::kOutOfMemory;
    case AVIF_RESULT_INVALID_FTYP:
    case AVIF_RESULT_NO_AV1_ITEMS_FOUND:
    case AVIF_RESULT_NOT_IMPLEMENTED:
    case AVIF_RESULT_NO_CODEC_AVAILABLE:
      return SpiCode::kUnknownFormat;
    default:
      // libavif refuses a picture over its size limit (ours) as a damaged
      // file; the host tells the user more when it hears "too large".
      return std::strstr(decoder.diag.error, "too large") ? SpiCode::kOutOfMemory : SpiCode::kCorrupt;
  }
}

void Check(avifResult result, const avifDecoder& decoder) {
  if (result != AVIF_RESULT_OK) throw SpiFailure{CodeOf(result, decoder)};
}

Decoder Parse(Bytes file) {
  Decoder d(avifDecoderCreate());
  if (!d) throw SpiFailure{SpiCode::kOutOfMemory};
  // Files from cameras and web tools that bend the format's stricter
  // rules (a missing pixi, an odd clap) are shown, as browsers show them.
  d->strictFlags = AVIF_STRICT_DISABLED;
  d->ignoreExif = AVIF_TRUE;
  d->ignoreXMP = AVIF_TRUE;
  d->imageSizeLimit = static_cast<std::uint32_t>(kMaxPixels);
  d->maxThreads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  Check(avifDecoderSetIOMemory(d.get(), file.data(), file.size()), *d);
  Check(avifDecoderParse(d.get()), *d);
  if (!d->image || d->image->width == 0 || d->image->height == 0) throw SpiFailure{SpiCode::kCorrupt};
  return d;
}

// libavif converts rows top-down in ascending memory; the canvas keeps
// them bottom-up.
void FlipRows(Canvas& canvas) {
  std::vector<std::uint8_t> row(canvas.Stride());
  for (std::uint32_t top = 0, bottom = canvas.Height() - 1; top < bottom; ++top, --bottom) {
    std::memcpy(row.data(), canvas.Row(top), row.size());
    std::memcpy(canvas.Row(top), canvas.Row(bottom), row.size());
    std::memcpy(canvas.Row(bottom), row.data(), row.size());
  }
}

bool Sniff(Bytes head) { return HasBrand(head, {"avif", "avis"}); }

Geometry Probe(Bytes file) {
  const Decoder d = Parse(file);
  const Orientation turn = ReadPrimaryTransforms(file).orientation;
  Geometry g;
  g.width = turn.Across() ? d->image->height : d->image->width;
  g.height = turn.Across() ? d->image->width : d->image->height;
  g.depth = static_cast<int>(std::max(8u, d->image->depth)) * (d->alphaPresent ? 4 : 3);
  return g;
}

void Decode(Bytes file, Canvas& canvas, Progress& progress) {
  const Decoder d = Parse(file);
  const std::uint32_t width = d->image->width, height = d->image->height;
  CheckPictureSize(width, height);
  const bool alpha = d->alphaPresent != AVIF_FALSE;
  // The decoded planes (two bytes a sample above 8 bits, 4:4:4 at most)
  // beside the picture made of them.
  const std::uint64_t pixels = std::uint64_t{width} * height;
  const std::uint64_t sample = d->image->depth > 8 ? 2 : 1;
  if (pixels * (alpha ? 4 : 3) * (sample + 1) > kMaxDecoderBytes) throw SpiFailure{SpiCode::kOutOfMemory};
  // dav1d learns the limit when it starts: a coded frame far larger than
  // the boxes say is refused before its planes are allocated, not after.
  d->imageSizeLimit = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(kMaxPixels, (2 * std::uint64_t{width} + 128) * (2 * std::uint64_t{height} + 128)));
  progress.Report(10, 100);

  Check(avifDecoderNextImage(d.get()), *d);
  const avifImage* image = d->image;
  if (image->width != width || image->height != height) throw SpiFailure{SpiCode::kCorrupt};
  progress.Report(70, 100);

  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.depth = 8;
  rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
  rgb.alphaPremultiplied = AVIF_FALSE;
  const Orientation turn = ReadPrimaryTransforms(file).orientation;
  canvas.Allocate(turn.Across() ? height : width, turn.Across() ? width : height, alpha);
  if (turn.quarter_turns == 0 && !turn.mirrored) {
    // Upright as stored: straight into the canvas, the bitmap's last row
    // first, then turned the right way up.
    rgb.pixels = canvas.Row(height - 1);
    rgb.rowBytes = static_cast<std::uint32_t>(canvas.Stride());
    Check(avifImageYUVToRGB(image, &rgb), *d);
    FlipRows(canvas);
  } else {
    std::vector<std::uint8_t> pixels_of(static_cast<std::size_t>(pixels) * canvas.Channels());
    rgb.pixels = pixels_of.data();
    rgb.rowBytes = width * static_cast<std::uint32_t>(canvas.Channels());
    Check(avifImageYUVToRGB(image, &rgb), *d);
    Place({rgb.pixels, rgb.rowBytes, width, height, canvas.Channels(), false}, turn, canvas);
  }
  progress.Report(90, 100);

  if (image->icc.size > 0) {
    ProfileToSrgb(canvas, Bytes(image->icc.data, image->icc.size));
  } else {
    CicpToSrgb(canvas, image->colorPrimaries, image->transferCharacteristics);
  }
}

}  // namespace

extern const Format kFormat{
    "Mirabo AVIF plug-in (libavif + dav1d)",
    "*.avif;*.avifs",
    "AVIF",
    Sniff,
    Probe,
    Decode,
};

}  // namespace mirabo::decoders
