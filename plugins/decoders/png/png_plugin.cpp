// PNG through libpng: every colour type and depth, interlaced or not;
// sixteen bits scaled (rounded) to eight, a tRNS chunk or an alpha channel
// as straight alpha; iCCP, or gAMA with its cHRM, converted to sRGB by
// Little CMS.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "plugins/decoders/susie/srgb.h"
#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool Sniff(Bytes head) { return head.size() >= 8 && std::memcmp(head.data(), kSignature, 8) == 0; }

std::uint32_t BigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The size from IHDR, which the format puts first.
Geometry Probe(Bytes file) {
  if (file.size() < 33 || std::memcmp(file.data() + 12, "IHDR", 4) != 0) throw SpiFailure{SpiCode::kCorrupt};
  const std::uint8_t* ihdr = file.data() + 16;
  Geometry g;
  g.width = BigEndian(ihdr);
  g.height = BigEndian(ihdr + 4);
  const int depth = ihdr[8];
  switch (ihdr[9]) {
    case 0: g.depth = depth; break;          // grey
    case 2: g.depth = depth * 3; break;      // RGB
    case 3: g.depth = depth; break;          // palette
    case 4: g.depth = depth * 2; break;      // grey + alpha
    case 6: g.depth = depth * 4; break;      // RGBA
    default: throw SpiFailure{SpiCode::kCorrupt};
  }
  return g;
}

struct Source {
  Bytes file;
  std::size_t at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (length > source->file.size() - source->at) png_error(png, "truncated");
  std::memcpy(out, source->file.data() + source->at, length);
  source->at += length;
}

// Errors jump back to the decoder's setjmp; warnings are not for anyone.
[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Quiet(png_structp, png_const_charp) {}

// libpng's errors jump back here: nothing in this frame or those it jumps
// over may need a destructor.
struct Decoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Source source;
  SpiCode failure = SpiCode::kCorrupt;
  std::vector<std::uint8_t> icc;
  double gamma = 0;  // a gAMA to convert from, when no profile says more
  Chromaticities chrm{};
  bool has_chrm = false;
  bool has_alpha = false;
  int passes = 1;
  std::uint32_t width = 0, height = 0;

  ~Decoder() { png_destroy_read_struct(&png, &info, nullptr); }

  // Reads the header and sets the transforms; false when libpng failed.
  bool Start() {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &source, ReadFromMemory);
    png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    // A text or profile chunk may not take the memory a picture would.
    png_set_chunk_malloc_max(png, 64u << 20);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    const int colour = png_get_color_type(png, info);
    has_alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);

    png_set_expand(png);
    png_set_scale_16(png);
    if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (png_get_valid(png, info, PNG_INFO_iCCP) && !png_get_valid(png, info, PNG_INFO_sRGB)) {
      png_charp name = nullptr;
      int compression = 0;
      png_bytep profile = nullptr;
      png_uint_32 length = 0;
      if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile) {
        icc.assign(profile, profile + length);
      }
    } else if (png_get_valid(png, info, PNG_INFO_gAMA) && !png_get_valid(png, info, PNG_INFO_sRGB) &&
               png_get_gAMA(png, info, &gamma) && gamma > 0) {
      // Converted with its cHRM (if any) once decoded.
      has_chrm = png_get_cHRM(png, info, &chrm.white[0], &chrm.white[1], &chrm.red[0], &chrm.red[1], &chrm.green[0],
                              &chrm.green[1], &chrm.blue[0], &chrm.blue[1]) != 0;
    } else {
      gamma = 0;
    }
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * (has_alpha ? 4 : 3)) {
      png_error(png, "unexpected row layout");
    }
    return true;
  }

  bool Rows(Canvas& canvas, std::uint32_t from, std::uint32_t to) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (std::uint32_t y = from; y < to; ++y) png_read_row(png, canvas.Row(y), nullptr);
    return true;
  }
};

void Decode(Bytes file, Canvas& canvas, Progress& progress) {
  Decoder d;
  d.source.file = file;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
  if (!d.png) throw SpiFailure{SpiCode::kOutOfMemory};
  d.info = png_create_info_struct(d.png);
  if (!d.info) throw SpiFailure{SpiCode::kOutOfMemory};
  if (!d.Start()) throw SpiFailure{SpiCode::kCorrupt};
  canvas.Allocate(d.width, d.height, d.has_alpha);
  // Progress about every 64 K pixels; every pass of an interlaced picture
  // counts as a part of the whole.
  const std::uint32_t band = std::max<std::uint32_t>(1, 65536 / std::max<std::uint32_t>(d.width, 1));
  const std::uint64_t total = std::uint64_t{d.height} * d.passes;
  for (int pass = 0; pass < d.passes; ++pass) {
    for (std::uint32_t y = 0; y < d.height; y += band) {
      const std::uint32_t to = std::min(d.height, y + band);
      if (!d.Rows(canvas, y, to)) throw SpiFailure{SpiCode::kCorrupt};
      const std::uint64_t done = std::uint64_t{d.height} * pass + to;
      progress.Report(static_cast<int>(done * 100 / total), 100);
    }
  }
  if (!d.icc.empty()) ProfileToSrgb(canvas, Bytes(d.icc.data(), d.icc.size()));
  else if (d.gamma > 0) GammaToSrgb(canvas, d.gamma, d.has_chrm ? &d.chrm : nullptr);
}

}  // namespace

extern const Format kFormat{
    "Mirabo PNG plug-in (libpng " PNG_LIBPNG_VER_STRING ")",
    "*.png",
    "PNG",
    Sniff,
    Probe,
    Decode,
};

}  // namespace mirabo::decoders
