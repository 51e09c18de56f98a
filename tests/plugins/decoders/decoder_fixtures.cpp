#include "decoder_fixtures.h"

#include "tests/base/picture/colour_fixtures.h"

#include <avif/avif.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace mirabo::decoders::fixtures {
namespace {

std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// A sample of `depth` bits from an 8-bit value; sixteen-bit samples get a
// low byte of their own, so scaling and truncating to 8 differ.
unsigned Sample(std::uint8_t v, int depth, std::uint32_t x, std::uint32_t y) {
  if (depth == 16) return static_cast<unsigned>(std::clamp(v * 257 + static_cast<int>((x * 37 + y * 101) % 256) - 128, 0, 65535));
  return v >> (8 - depth);
}

void Put(std::vector<std::uint8_t>& row, std::size_t index, unsigned value, int depth) {
  if (depth == 16) {
    row[index * 2] = static_cast<std::uint8_t>(value >> 8);
    row[index * 2 + 1] = static_cast<std::uint8_t>(value);
  } else if (depth == 8) {
    row[index] = static_cast<std::uint8_t>(value);
  } else {
    const std::size_t bit = index * depth;
    row[bit / 8] |= static_cast<std::uint8_t>(value << (8 - depth - bit % 8));
  }
}

}  // namespace

Picture Pattern(std::uint32_t width, std::uint32_t height, bool alpha) {
  Picture p{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 4)};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* px = &p.bgra[(std::size_t{y} * width + x) * 4];
      const bool block = ((x / 8) + (y / 8)) % 2 == 0;
      px[0] = Clamp(static_cast<int>(x * 255 / std::max(1u, width - 1)));
      px[1] = Clamp(static_cast<int>(y * 255 / std::max(1u, height - 1)));
      px[2] = block ? 230 : 40;
      px[3] = alpha ? Clamp(static_cast<int>((x + y * width) * 255 / std::max(1u, width * height - 1))) : 255;
    }
  }
  return p;
}

const std::vector<PngCase>& PngCases() {
  static const std::vector<PngCase> cases = {
      {"grey1", PNG_COLOR_TYPE_GRAY, 1},
      {"grey2", PNG_COLOR_TYPE_GRAY, 2},
      {"grey4", PNG_COLOR_TYPE_GRAY, 4},
      {"grey8", PNG_COLOR_TYPE_GRAY, 8},
      {"grey16", PNG_COLOR_TYPE_GRAY, 16},
      {"grey8_trns", PNG_COLOR_TYPE_GRAY, 8, false, true},
      {"rgb8", PNG_COLOR_TYPE_RGB, 8},
      {"rgb16", PNG_COLOR_TYPE_RGB, 16},
      {"rgb8_trns", PNG_COLOR_TYPE_RGB, 8, false, true},
      {"rgb8_interlaced", PNG_COLOR_TYPE_RGB, 8, true},
      {"palette1", PNG_COLOR_TYPE_PALETTE, 1},
      {"palette2", PNG_COLOR_TYPE_PALETTE, 2},
      {"palette4_trns", PNG_COLOR_TYPE_PALETTE, 4, false, true},
      {"palette8_trns_interlaced", PNG_COLOR_TYPE_PALETTE, 8, true, true},
      {"grey_alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
      {"grey_alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16},
      {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8},
      {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16},
      {"rgba16_interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true},
      {"rgb8_gamma18", PNG_COLOR_TYPE_RGB, 8, false, false, 1 / 1.8},
      {"rgb8_p3", PNG_COLOR_TYPE_RGB, 8, false, false, 0, true},
      {"rgba16_p3", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, 0, true},
  };
  return cases;
}

Bytes MakePng(const PngCase& c, std::uint32_t width, std::uint32_t height) {
  const Picture p = Pattern(width, height, true);
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the fixture");
  }
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, width, height, c.depth, c.colour_type,
               c.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  const int entries = 1 << std::min(c.depth, 8);
  std::vector<png_color> palette(static_cast<std::size_t>(entries));
  std::vector<png_byte> palette_alpha(static_cast<std::size_t>(entries));
  if (c.colour_type == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < entries; ++i) {
      palette[i] = {Clamp(i * 97 % 256), Clamp(i * 53 % 256), Clamp(255 - i * 29 % 256)};
      palette_alpha[i] = Clamp(i % 3 == 0 ? 0 : i * 41 % 256);
    }
    png_set_PLTE(png, info, palette.data(), entries);
    if (c.trns) png_set_tRNS(png, info, palette_alpha.data(), entries, nullptr);
  } else if (c.trns) {
    // A colour the pattern has: the blocks' red at the top left.
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(Sample(static_cast<std::uint8_t>((p.bgra[0] + p.bgra[1] + p.bgra[2]) / 3), c.depth, 0, 0));
    key.red = static_cast<png_uint_16>(Sample(p.bgra[2], c.depth, 0, 0));
    key.green = static_cast<png_uint_16>(Sample(p.bgra[1], c.depth, 0, 0));
    key.blue = static_cast<png_uint_16>(Sample(p.bgra[0], c.depth, 0, 0));
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (c.gamma > 0) png_set_gAMA(png, info, c.gamma);
  const Bytes icc = c.p3_icc ? DisplayP3Profile() : Bytes();
  if (c.p3_icc) png_set_iCCP(png, info, "Display P3", PNG_COMPRESSION_TYPE_BASE, icc.data(), static_cast<png_uint_32>(icc.size()));
  png_write_info(png, info);

  const int channels = png_get_channels(png, info);
  std::vector<std::vector<std::uint8_t>> rows(height, std::vector<std::uint8_t>(png_get_rowbytes(png, info)));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* px = &p.bgra[(std::size_t{y} * width + x) * 4];
      const std::uint8_t grey = static_cast<std::uint8_t>((px[0] + px[1] + px[2]) / 3);
      const std::size_t at = std::size_t{x} * channels;
      switch (c.colour_type) {
        case PNG_COLOR_TYPE_PALETTE: Put(rows[y], x, (x + y * 3) % entries, c.depth); break;
        case PNG_COLOR_TYPE_GRAY: Put(rows[y], x, Sample(grey, c.depth, x, y), c.depth); break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
          Put(rows[y], at, Sample(grey, c.depth, x, y), c.depth);
          Put(rows[y], at + 1, Sample(px[3], c.depth, y, x), c.depth);
          break;
        default:
          Put(rows[y], at, Sample(px[2], c.depth, x, y), c.depth);
          Put(rows[y], at + 1, Sample(px[1], c.depth, y, x), c.depth);
          Put(rows[y], at + 2, Sample(px[0], c.depth, x + 1, y), c.depth);
          if (channels == 4) Put(rows[y], at + 3, Sample(px[3], c.depth, x, y + 1), c.depth);
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

Picture ReferencePng(const Bytes& file, bool p3_icc) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) throw std::runtime_error(image.message);
  image.format = PNG_FORMAT_BGRA;
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  Picture p{image.width, image.height, std::vector<std::uint8_t>(PNG_IMAGE_SIZE(image))};
  if (!png_image_finish_read(&image, nullptr, p.bgra.data(), 0, nullptr)) throw std::runtime_error(image.message);
  return p3_icc ? P3ToSrgb(std::move(p)) : p;
}

Bytes MakeWebp(WebpKind kind, std::uint32_t width, std::uint32_t height) {
  const Picture p = Pattern(width, height, kind == WebpKind::kAlpha || kind == WebpKind::kAnimated);
  const int w = static_cast<int>(width), h = static_cast<int>(height), stride = w * 4;
  std::uint8_t* out = nullptr;
  std::size_t size = 0;
  switch (kind) {
    case WebpKind::kLossy: {
      std::vector<std::uint8_t> bgr;
      for (std::size_t i = 0; i < p.bgra.size(); i += 4) bgr.insert(bgr.end(), &p.bgra[i], &p.bgra[i] + 3);
      size = WebPEncodeBGR(bgr.data(), w, h, w * 3, 90, &out);
      break;
    }
    case WebpKind::kLossless: size = WebPEncodeLosslessBGRA(p.bgra.data(), w, h, stride, &out); break;
    case WebpKind::kAlpha: size = WebPEncodeBGRA(p.bgra.data(), w, h, stride, 90, &out); break;
    case WebpKind::kAnimated: {
      WebPAnimEncoderOptions options;
      WebPAnimEncoderOptionsInit(&options);
      WebPAnimEncoder* encoder = WebPAnimEncoderNew(w, h, &options);
      WebPConfig config;
      WebPConfigInit(&config);
      config.lossless = 1;
      for (int frame = 0; frame < 2; ++frame) {
        Picture f = frame == 0 ? p : Pattern(width, height, false);
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.width = w;
        picture.height = h;
        picture.use_argb = 1;
        WebPPictureImportBGRA(&picture, f.bgra.data(), stride);
        WebPAnimEncoderAdd(encoder, &picture, frame * 100, &config);
        WebPPictureFree(&picture);
      }
      WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr);
      WebPData data;
      WebPDataInit(&data);
      WebPAnimEncoderAssemble(encoder, &data);
      Bytes result(data.bytes, data.bytes + data.size);
      WebPDataClear(&data);
      WebPAnimEncoderDelete(encoder);
      return result;
    }
  }
  Bytes result(out, out + size);
  WebPFree(out);
  return result;
}

Picture AnimatedFirstFrame(std::uint32_t width, std::uint32_t height) { return Pattern(width, height, true); }

Picture ReferenceWebp(const Bytes& file) {
  int w = 0, h = 0;
  std::uint8_t* pixels = WebPDecodeBGRA(file.data(), file.size(), &w, &h);
  if (!pixels) throw std::runtime_error("libwebp could not decode the fixture");
  Picture p{static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
            std::vector<std::uint8_t>(pixels, pixels + std::size_t(w) * h * 4)};
  WebPFree(pixels);
  return p;
}

const std::vector<HeifCase>& HeifCases() {
  static const std::vector<HeifCase> cases = {
      {"heic8", false, 8, false, 1, false},
      {"heic10_alpha", false, 10, true, 1, false},
      {"heic8_rotated", false, 8, false, 6, false},
      {"heic8_mirrored", false, 8, false, 5, false},
      {"heic8_p3", false, 8, false, 1, true},
      {"avif8", true, 8, false, 1, false},
      {"avif10_alpha", true, 10, true, 1, false},
      {"avif8_rotated", true, 8, false, 8, false},
      {"avif8_flipped", true, 8, true, 4, false},
      {"avif8_p3", true, 8, false, 1, true},
      // Alpha or more than 8 bits with a transform: turned by the plug-in
      // itself, every kind of turn.
      {"avif10_rotated", true, 10, false, 6, false},
      {"avif10_transverse", true, 10, false, 7, false},
      {"avif10_transposed", true, 10, false, 5, false},
      {"avif10_alpha_mirrored", true, 10, true, 2, false},
      {"avif8_alpha_upside_down", true, 8, true, 3, false},
      // Every depth and chroma sampling a camera or encoder writes.
      {"avif12", true, 12, false, 1, false},
      {"avif8_420", true, 8, false, 1, false, 420},
      {"avif10_422_alpha", true, 10, true, 1, false, 422},
      {"avif12_420_rotated", true, 12, false, 6, false, 420},
      // Colour said by CICP numbers (as AVIF encoders write it).
      {"avif10_p3_nclx", true, 10, false, 1, false, 420, true},
      {"heic8_p3_nclx", false, 8, false, 1, false, 444, true},
  };
  return cases;
}

namespace {
heif_error WriteToBytes(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<Bytes*>(userdata);
  out->insert(out->end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}
}  // namespace

namespace {
// EXIF orientation as irot's counter-clockwise quarter turns, then imir's
// mirror (0: top and bottom exchanged, 1: left and right, -1: none).
struct HeifTransforms {
  int turns;
  int mirror;
};

HeifTransforms TransformsOf(int orientation) {
  static constexpr HeifTransforms kTable[9] = {{0, -1}, {0, -1}, {0, 1}, {2, -1}, {0, 0},
                                               {1, 0},  {3, -1}, {3, 0}, {1, -1}};
  return kTable[orientation];
}

// AVIF by libavif's own encoder, its transform boxes set as EXIF's
// orientation says.
Bytes MakeAvif(const HeifCase& c, std::uint32_t width, std::uint32_t height) {
  const Picture p = Pattern(width, height, c.alpha);
  const avifPixelFormat format = c.chroma == 420   ? AVIF_PIXEL_FORMAT_YUV420
                                 : c.chroma == 422 ? AVIF_PIXEL_FORMAT_YUV422
                                                   : AVIF_PIXEL_FORMAT_YUV444;
  avifImage* image = avifImageCreate(width, height, static_cast<std::uint32_t>(c.bits), format);
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.format = c.alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
  rgb.depth = 8;
  std::vector<std::uint8_t> pixels;
  for (std::size_t i = 0; i < p.bgra.size(); i += 4) pixels.insert(pixels.end(), &p.bgra[i], &p.bgra[i] + (c.alpha ? 4 : 3));
  rgb.pixels = pixels.data();
  rgb.rowBytes = width * (c.alpha ? 4 : 3);
  avifImageRGBToYUV(image, &rgb);
  const HeifTransforms t = TransformsOf(c.orientation);
  if (t.turns) {
    image->transformFlags |= AVIF_TRANSFORM_IROT;
    image->irot.angle = static_cast<std::uint8_t>(t.turns);
  }
  if (t.mirror >= 0) {
    image->transformFlags |= AVIF_TRANSFORM_IMIR;
    image->imir.mode = static_cast<std::uint8_t>(t.mirror);
  }
  const Bytes icc = c.p3_icc ? DisplayP3Profile() : Bytes();
  if (c.p3_icc) avifImageSetProfileICC(image, icc.data(), icc.size());
  if (c.p3_nclx) {
    image->colorPrimaries = AVIF_COLOR_PRIMARIES_SMPTE432;
    image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
  }
  avifEncoder* encoder = avifEncoderCreate();
  encoder->minQuantizer = encoder->maxQuantizer = 8;
  encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = 8;
  encoder->speed = 8;
  avifRWData out = AVIF_DATA_EMPTY;
  Bytes result;
  if (avifEncoderWrite(encoder, image, &out) == AVIF_RESULT_OK) result.assign(out.data, out.data + out.size);
  avifRWDataFree(&out);
  avifEncoderDestroy(encoder);
  avifImageDestroy(image);
  return result;
}
}  // namespace

namespace {
// `p` as a HEIC by the x265 encoder libheif has.
Bytes EncodeHeic(const Picture& p, const HeifCase& c) {
  const std::uint32_t width = p.width, height = p.height;
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(context, c.av1 ? heif_compression_AV1 : heif_compression_HEVC, &encoder).code) {
    heif_context_free(context);
    return {};
  }
  heif_encoder_set_lossy_quality(encoder, 92);
  const heif_chroma chroma = c.bits > 8 ? (c.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                        : (c.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* image = nullptr;
  heif_image_create(static_cast<int>(width), static_cast<int>(height), heif_colorspace_RGB, chroma, &image);
  heif_image_add_plane(image, heif_channel_interleaved, static_cast<int>(width), static_cast<int>(height), c.bits);
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const int channels = c.alpha ? 4 : 3;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* px = &p.bgra[(std::size_t{y} * width + x) * 4];
      const std::uint8_t rgba[4] = {px[2], px[1], px[0], px[3]};
      for (int k = 0; k < channels; ++k) {
        if (c.bits > 8) {
          const unsigned v = rgba[k] * 1023u / 255u;
          plane[y * stride + (x * channels + k) * 2] = static_cast<std::uint8_t>(v);
          plane[y * stride + (x * channels + k) * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
        } else {
          plane[y * stride + x * channels + k] = rgba[k];
        }
      }
    }
  }
  if (c.p3_icc) {
    const Bytes icc = DisplayP3Profile();
    heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size());
  }
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  nclx->color_primaries = heif_color_primaries_SMPTE_EG_432_1;
  nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
  if (c.p3_nclx) heif_image_set_nclx_color_profile(image, nclx);
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = static_cast<heif_orientation>(c.orientation);
  // libheif writes the picture's CICP numbers in a colr box only when told
  // them here too and told to leave its macOS work-around (which writes
  // none for RGB input).
  if (c.p3_nclx) {
    options->output_nclx_profile = nclx;
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
  }
  heif_image_handle* handle = nullptr;
  const heif_error encoded = heif_context_encode_image(context, image, encoder, options, &handle);
  Bytes out;
  if (encoded.code == heif_error_Ok) {
    heif_writer writer{1, WriteToBytes};
    heif_context_write(context, &writer, &out);
    heif_image_handle_release(handle);
  }
  heif_encoding_options_free(options);
  heif_nclx_color_profile_free(nclx);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(context);
  return out;
}
}  // namespace

Bytes MakeHeif(const HeifCase& c, std::uint32_t width, std::uint32_t height) {
  if (c.av1) return MakeAvif(c, width, height);
  return EncodeHeic(Pattern(width, height, c.alpha), c);
}

namespace {
void Put(Bytes& out, std::uint32_t v, int size) {
  for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
}  // namespace

Bytes Box(const char* type, const Bytes& body) {
  Bytes out;
  Put(out, static_cast<std::uint32_t>(body.size() + 8), 4);
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes FullBox(const char* type, std::uint8_t version, const Bytes& body) {
  Bytes b{version, 0, 0, 0};
  b.insert(b.end(), body.begin(), body.end());
  return Box(type, b);
}

namespace {
// Just enough of the file format to take a tile out of libheif's files and
// write a grid of them: libheif 1.15 encodes no grids.
std::uint32_t Get(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
  return v;
}

struct Child {
  std::string type;
  Bytes body;
};

std::vector<Child> Children(const Bytes& data) {
  std::vector<Child> out;
  for (std::size_t at = 0; at + 8 <= data.size();) {
    const std::uint32_t size = Get(data, at, 4);
    if (size < 8 || size > data.size() - at) throw std::runtime_error("bad box in a tile");
    out.push_back({std::string(data.begin() + static_cast<std::ptrdiff_t>(at) + 4, data.begin() + static_cast<std::ptrdiff_t>(at) + 8),
                   Bytes(data.begin() + static_cast<std::ptrdiff_t>(at) + 8, data.begin() + static_cast<std::ptrdiff_t>(at + size))});
    at += size;
  }
  return out;
}

const Bytes& Named(const std::vector<Child>& boxes, const char* type) {
  for (const Child& c : boxes)
    if (c.type == type) return c.body;
  throw std::runtime_error(std::string("no ") + type + " in a tile");
}

Bytes Ispe(std::uint32_t width, std::uint32_t height) {
  Bytes b;
  Put(b, width, 4);
  Put(b, height, 4);
  return FullBox("ispe", 0, b);
}

// The coded picture in a HEIC libheif wrote (libheif 1.15 wraps it in a
// grid of one that crops its padding): the hvc1 item's hvcC box and data.
struct Tile {
  Bytes hvcc;
  Bytes data;
};

Tile TileOf(const Bytes& file) {
  const std::vector<Child> top = Children(file);
  const Bytes& meta = Named(top, "meta");
  const std::vector<Child> inside = Children(Bytes(meta.begin() + 4, meta.end()));
  const std::vector<Child> properties = Children(Named(Children(Named(inside, "iprp")), "ipco"));
  Tile tile;
  for (const Child& c : properties)
    if (c.type == "hvcC") tile.hvcc = Box("hvcC", c.body);
  const Bytes& iinf = Named(inside, "iinf");
  std::uint32_t coded = 0;
  for (const Child& infe : Children(Bytes(iinf.begin() + (iinf.at(0) == 0 ? 6 : 8), iinf.end())))
    if (infe.type == "infe" && infe.body.at(0) == 2 && std::memcmp(infe.body.data() + 8, "hvc1", 4) == 0)
      coded = Get(infe.body, 4, 2);
  const Bytes& iloc = Named(inside, "iloc");
  const int version = iloc.at(0), offset_size = iloc.at(4) >> 4, length_size = iloc.at(4) & 15,
            base_size = iloc.at(5) >> 4, index_size = version >= 1 ? iloc.at(5) & 15 : 0;
  const int id_size = version < 2 ? 2 : 4;
  std::size_t at = 6;
  const std::uint32_t items = Get(iloc, at, id_size);
  at += static_cast<std::size_t>(id_size);
  for (std::uint32_t i = 0; i < items; ++i) {
    const std::uint32_t id = Get(iloc, at, id_size);
    at += static_cast<std::size_t>(id_size);
    const std::uint32_t method = version >= 1 ? Get(iloc, at, 2) & 15 : 0;
    at += version >= 1 ? 4 : 2;  // construction method, data reference index
    const std::uint32_t base = Get(iloc, at, base_size);
    at += static_cast<std::size_t>(base_size);
    const std::uint32_t extents = Get(iloc, at, 2);
    at += 2;
    for (std::uint32_t e = 0; e < extents; ++e) {
      at += static_cast<std::size_t>(index_size);
      const std::uint32_t offset = Get(iloc, at, offset_size),
                          length = Get(iloc, at + static_cast<std::size_t>(offset_size), length_size);
      at += static_cast<std::size_t>(offset_size + length_size);
      if (id == coded && method == 0)
        tile.data.insert(tile.data.end(), file.begin() + base + offset, file.begin() + base + offset + length);
    }
  }
  if (tile.hvcc.empty() || tile.data.empty()) throw std::runtime_error("no coded picture in a tile");
  return tile;
}
}  // namespace

Bytes MakeHeifGrid(const HeifCase& c, std::uint32_t columns, std::uint32_t rows, GridData data, OnTop on_top) {
  const bool lie = data != GridData::kTrue;
  const std::uint32_t tile_w = 64, tile_h = 64, width = tile_w * columns, height = tile_h * rows - 16;
  const Picture whole = Pattern(tile_w * columns, tile_h * rows, false);
  std::vector<Tile> tiles;
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t col = 0; col < columns; ++col) {
      Picture part{tile_w, tile_h, std::vector<std::uint8_t>(std::size_t{tile_w} * tile_h * 4)};
      for (std::uint32_t y = 0; y < tile_h; ++y)
        std::memcpy(&part.bgra[std::size_t{y} * tile_w * 4],
                    &whole.bgra[(std::size_t{r * tile_h + y} * whole.width + col * tile_w) * 4], tile_w * 4);
      const Bytes file = EncodeHeic(part, HeifCase{c.name, false, c.bits, false, 1, false});
      if (file.empty()) return {};
      tiles.push_back(TileOf(file));
    }
  }
  const auto count = static_cast<std::uint16_t>(tiles.size());
  // Item 1 is the grid, items 2... its tiles in rows, then the identities.
  const auto identities = static_cast<std::uint16_t>(on_top == OnTop::kGrid ? 0 : on_top == OnTop::kIdentityLoop ? 2 : 1);
  const auto top = static_cast<std::uint16_t>(identities ? count + 2 : 1);
  Bytes infos;
  Put(infos, count + 1u + identities, 2);
  for (std::uint16_t id = 1; id <= count + 1 + identities; ++id) {
    Bytes infe;
    Put(infe, id, 2);
    Put(infe, 0, 2);
    const char* type = id == 1 ? "grid" : id <= count + 1 ? "hvc1" : "iden";
    infe.insert(infe.end(), type, type + 4);
    infe.push_back(0);
    Bytes entry = FullBox("infe", 2, infe);
    if (id > 1 && id <= count + 1) entry[11] = 1;  // hidden: a tile is no picture of its own
    infos.insert(infos.end(), entry.begin(), entry.end());
  }
  Bytes dimg;
  Put(dimg, 1, 2);
  Put(dimg, count, 2);
  for (std::uint16_t id = 2; id <= count + 1; ++id) Put(dimg, id, 2);
  Bytes references = Box("dimg", dimg);
  for (std::uint16_t id = top; id < top + identities; ++id) {
    Bytes from;
    Put(from, id, 2);
    Put(from, 1, 2);
    Put(from, on_top == OnTop::kIdentity ? 1 : on_top == OnTop::kIdentityOfNothing ? 999 : id == top ? top + 1 : top, 2);
    const Bytes box = Box("dimg", from);
    references.insert(references.end(), box.begin(), box.end());
  }
  // Properties: 1..n the tiles' hvcC, then the tile size, the grid's size,
  // its transforms and its colour.
  Bytes ipco;
  for (const Tile& t : tiles) ipco.insert(ipco.end(), t.hvcc.begin(), t.hvcc.end());
  const Bytes tile_ispe = Ispe(tile_w, tile_h), grid_ispe = Ispe(width, height);
  ipco.insert(ipco.end(), tile_ispe.begin(), tile_ispe.end());
  ipco.insert(ipco.end(), grid_ispe.begin(), grid_ispe.end());
  std::vector<std::uint8_t> grid_properties{static_cast<std::uint8_t>(count + 2)};
  std::uint8_t next = static_cast<std::uint8_t>(count + 3);
  const HeifTransforms t = TransformsOf(c.orientation);
  if (t.turns) {
    const Bytes irot = Box("irot", Bytes{static_cast<std::uint8_t>(t.turns)});
    ipco.insert(ipco.end(), irot.begin(), irot.end());
    grid_properties.push_back(0x80 | next++);
  }
  if (t.mirror >= 0) {
    const Bytes imir = Box("imir", Bytes{static_cast<std::uint8_t>(t.mirror)});
    ipco.insert(ipco.end(), imir.begin(), imir.end());
    grid_properties.push_back(0x80 | next++);
  }
  if (c.p3_icc) {
    Bytes colr{'p', 'r', 'o', 'f'};
    const Bytes icc = DisplayP3Profile();
    colr.insert(colr.end(), icc.begin(), icc.end());
    const Bytes box = Box("colr", colr);
    ipco.insert(ipco.end(), box.begin(), box.end());
    grid_properties.push_back(next++);
  }
  Bytes ipma;
  Put(ipma, count + 1u + identities, 4);
  Put(ipma, 1, 2);
  ipma.push_back(static_cast<std::uint8_t>(grid_properties.size()));
  ipma.insert(ipma.end(), grid_properties.begin(), grid_properties.end());
  for (std::uint16_t id = 2; id <= count + 1; ++id) {
    Put(ipma, id, 2);
    ipma.push_back(2);
    ipma.push_back(static_cast<std::uint8_t>(0x80 | (id - 1)));  // its hvcC
    ipma.push_back(static_cast<std::uint8_t>(count + 1));        // the tile size
  }
  for (std::uint16_t id = top; id < top + identities; ++id) {
    Put(ipma, id, 2);
    ipma.push_back(1);
    ipma.push_back(static_cast<std::uint8_t>(count + 2));  // the grid's size
  }
  Bytes iprp = Box("ipco", ipco);
  const Bytes ipma_box = FullBox("ipma", 0, ipma);
  iprp.insert(iprp.end(), ipma_box.begin(), ipma_box.end());
  // The grid's own data: its rows and columns, and its size in 16 bits
  // (smaller than the tiles cover, as a phone's is).
  Bytes grid{0, 0, static_cast<std::uint8_t>(rows - 1), static_cast<std::uint8_t>(columns - 1)};
  Put(grid, lie ? 1000 : width, 2);
  Put(grid, lie ? 1000 : height, 2);
  // Everything goes into mdat after meta, whose size does not depend on
  // the offsets: made once to measure, once for real.
  const Bytes ftyp = Box("ftyp", Bytes{'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
  const auto meta_for = [&](std::uint32_t data_start) {
    Bytes iloc{0x44, 0x00};
    Put(iloc, count + 1u + identities, 2);
    std::uint32_t at = data_start;
    for (std::uint16_t id = 1; id <= count + 1; ++id) {
      const std::uint32_t length = static_cast<std::uint32_t>(id == 1 ? grid.size() : tiles[id - 2u].data.size());
      const bool split = id == 1 && data == GridData::kLyingInTwoParts;
      Put(iloc, id, 2);
      Put(iloc, 0, 2);
      Put(iloc, split ? 2 : 1, 2);
      if (split) {
        Put(iloc, at, 4);
        Put(iloc, 4, 4);
        Put(iloc, at + 4, 4);
        Put(iloc, length - 4, 4);
      } else {
        Put(iloc, at, 4);
        Put(iloc, length, 4);
      }
      at += length;
    }
    for (std::uint16_t id = top; id < top + identities; ++id) {  // no data of their own
      Put(iloc, id, 2);
      Put(iloc, 0, 2);
      Put(iloc, 0, 2);
    }
    Bytes body = FullBox("hdlr", 0, Bytes{0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Bytes primary;
    Put(primary, top, 2);
    for (const Bytes& b : {FullBox("pitm", 0, primary), FullBox("iinf", 0, infos), FullBox("iref", 0, references),
                           Box("iprp", iprp), FullBox("iloc", 0, iloc)})
      body.insert(body.end(), b.begin(), b.end());
    return FullBox("meta", 0, body);
  };
  const std::size_t meta_size = meta_for(0).size();
  Bytes file = ftyp;
  const Bytes meta = meta_for(static_cast<std::uint32_t>(ftyp.size() + meta_size + 8));
  file.insert(file.end(), meta.begin(), meta.end());
  Bytes mdat = grid;
  for (const Tile& t : tiles) mdat.insert(mdat.end(), t.data.begin(), t.data.end());
  const Bytes mdat_box = Box("mdat", mdat);
  file.insert(file.end(), mdat_box.begin(), mdat_box.end());
  return file;
}

Bytes DisplayP3Profile() { return testing::DisplayP3Profile(); }

namespace {
Picture ToSrgb(Picture p, cmsHPROFILE from) {
  cmsHPROFILE to = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_BGRA_8, to, TYPE_BGRA_8, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
  cmsDoTransform(t, p.bgra.data(), p.bgra.data(), p.width * p.height);
  cmsDeleteTransform(t);
  cmsCloseProfile(from);
  cmsCloseProfile(to);
  return p;
}
}  // namespace

Picture P3ToSrgb(Picture p) {
  const Bytes icc = DisplayP3Profile();
  return ToSrgb(std::move(p), cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

Picture GammaToSrgb(Picture p, double fileGamma) {
  const cmsCIExyY d65{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE bt709{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0 / fileGamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &bt709, curves);
  cmsFreeToneCurve(curve);
  return ToSrgb(std::move(p), profile);
}

}  // namespace mirabo::decoders::fixtures
