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
  // EXIF orientation as counter-clockwise quarter turns, then a mirror
  // (0: top and bottom exchanged, 1: left and right).
  const int turns[9] = {0, 0, 0, 2, 0, 1, 3, 3, 1};
  const int mirrors[9] = {-1, -1, 1, -1, 0, 0, -1, 0, -1};
  if (turns[c.orientation]) {
    image->transformFlags |= AVIF_TRANSFORM_IROT;
    image->irot.angle = static_cast<std::uint8_t>(turns[c.orientation]);
  }
  if (mirrors[c.orientation] >= 0) {
    image->transformFlags |= AVIF_TRANSFORM_IMIR;
    image->imir.mode = static_cast<std::uint8_t>(mirrors[c.orientation]);
  }
  const Bytes icc = c.p3_icc ? DisplayP3Profile() : Bytes();
  if (c.p3_icc) avifImageSetProfileICC(image, icc.data(), icc.size());
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

Bytes MakeHeif(const HeifCase& c, std::uint32_t width, std::uint32_t height) {
  if (c.av1) return MakeAvif(c, width, height);
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(context, c.av1 ? heif_compression_AV1 : heif_compression_HEVC, &encoder).code) {
    heif_context_free(context);
    return {};
  }
  heif_encoder_set_lossy_quality(encoder, 92);
  const Picture p = Pattern(width, height, c.alpha);
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
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = static_cast<heif_orientation>(c.orientation);
  heif_image_handle* handle = nullptr;
  const heif_error encoded = heif_context_encode_image(context, image, encoder, options, &handle);
  Bytes out;
  if (encoded.code == heif_error_Ok) {
    heif_writer writer{1, WriteToBytes};
    heif_context_write(context, &writer, &out);
    heif_image_handle_release(handle);
  }
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(context);
  return out;
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
