// libheif with libde265: HEVC pictures in HEIF.
#include "plugins/decoders/heif/heif_decode.h"

#include <libheif/heif.h>

#include <algorithm>
#include <memory>

#include "plugins/decoders/heif/heif_boxes.h"
#include "plugins/decoders/susie/place.h"
#include "plugins/decoders/susie/srgb.h"

namespace mirabo::decoders {
namespace {

struct ContextDeleter {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
struct NclxDeleter {
  void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};

void Check(const heif_error& error) {
  if (error.code == heif_error_Ok) return;
  if (error.code == heif_error_Memory_allocation_error || error.subcode == heif_suberror_Security_limit_exceeded) {
    throw SpiFailure{SpiCode::kOutOfMemory};
  }
  if (error.code == heif_error_Unsupported_filetype || error.code == heif_error_Unsupported_feature) {
    throw SpiFailure{SpiCode::kUnknownFormat};
  }
  throw SpiFailure{SpiCode::kCorrupt};
}

struct Primary {
  std::unique_ptr<heif_context, ContextDeleter> context;
  std::unique_ptr<heif_image_handle, HandleDeleter> handle;
};

Primary Open(Bytes file) {
  if (!ReferencesAreSound(file)) throw SpiFailure{SpiCode::kCorrupt};
  Primary p;
  p.context.reset(heif_context_alloc());
  if (!p.context) throw SpiFailure{SpiCode::kOutOfMemory};
  Check(heif_context_read_from_memory_without_copy(p.context.get(), file.data(), file.size(), nullptr));
  heif_image_handle* handle = nullptr;
  Check(heif_context_get_primary_image_handle(p.context.get(), &handle));
  p.handle.reset(handle);
  return p;
}

}  // namespace

Geometry ProbeHeif(Bytes file) {
  const Primary p = Open(file);
  Geometry g;
  g.width = static_cast<std::uint32_t>(std::max(0, heif_image_handle_get_width(p.handle.get())));
  g.height = static_cast<std::uint32_t>(std::max(0, heif_image_handle_get_height(p.handle.get())));
  const int bits = std::max(8, heif_image_handle_get_luma_bits_per_pixel(p.handle.get()));
  g.depth = bits * (heif_image_handle_has_alpha_channel(p.handle.get()) ? 4 : 3);
  return g;
}

void DecodeHeif(Bytes file, Canvas& canvas, Progress& progress) {
  const Primary p = Open(file);
  heif_image_handle* handle = p.handle.get();
  const int width = heif_image_handle_get_width(handle);
  const int height = heif_image_handle_get_height(handle);
  if (width <= 0 || height <= 0) throw SpiFailure{SpiCode::kCorrupt};
  CheckPictureSize(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
  const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
  // The decoded planes (two bytes a sample above 8 bits, 4:4:4 at most)
  // and the interleaved picture libheif makes of them.
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  const std::uint64_t sample = heif_image_handle_get_luma_bits_per_pixel(handle) > 8 ? 2 : 1;
  if (pixels * (alpha ? 4 : 3) * (sample + 1) > kMaxDecoderBytes) throw SpiFailure{SpiCode::kOutOfMemory};
  if (!DerivedSizesAgree(file)) throw SpiFailure{SpiCode::kCorrupt};
  progress.Report(10, 100);

  // libheif lays the alpha plane on a turned picture unturned, and cannot
  // mirror more than 8 bits: such pictures are decoded as stored and turned
  // here (a clap crop on them is then not made).
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
  const PrimaryTransforms listed = ReadPrimaryTransforms(file);
  if (listed.repeated) throw SpiFailure{SpiCode::kCorrupt};
  const PrimaryTransforms transforms = (alpha || deep) ? listed : PrimaryTransforms{};

  const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
  if (!options) throw SpiFailure{SpiCode::kOutOfMemory};
  options->convert_hdr_to_8bit = 1;
  options->ignore_transformations = transforms.any ? 1 : 0;
  heif_image* decoded = nullptr;
  Check(heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
  const std::unique_ptr<heif_image, ImageDeleter> image(decoded);
  progress.Report(80, 100);

  int stride = 0;
  const std::uint8_t* data = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (!data || w <= 0 || h <= 0 || stride < w * (alpha ? 4 : 3)) throw SpiFailure{SpiCode::kCorrupt};
  const Orientation turn = transforms.orientation;
  const auto uw = static_cast<std::uint32_t>(w), uh = static_cast<std::uint32_t>(h);
  canvas.Allocate(turn.Across() ? uh : uw, turn.Across() ? uw : uh, alpha);
  Place({data, static_cast<std::size_t>(stride), uw, uh, alpha ? 4 : 3, true}, turn, canvas);
  progress.Report(90, 100);

  const std::size_t icc_size = heif_image_handle_get_raw_color_profile_size(handle);
  if (icc_size > 0 && icc_size <= (16u << 20)) {
    std::unique_ptr<std::uint8_t[]> icc(new std::uint8_t[icc_size]);
    if (heif_image_handle_get_raw_color_profile(handle, icc.get()).code == heif_error_Ok) {
      ProfileToSrgb(canvas, Bytes(icc.get(), icc_size));
      return;
    }
  }
  heif_color_profile_nclx* nclx = nullptr;
  // libheif hands over the record even when it reports numbers it does
  // not know.
  const heif_error read = heif_image_handle_get_nclx_color_profile(handle, &nclx);
  const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> owned(nclx);
  if (read.code == heif_error_Ok && nclx) CicpToSrgb(canvas, nclx->color_primaries, nclx->transfer_characteristics);
}

}  // namespace mirabo::decoders
