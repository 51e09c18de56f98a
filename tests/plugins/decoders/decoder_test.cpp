// Our decoder plug-ins, loaded as a host loads them and called through
// their exported functions, against the formats' own libraries.
#include <avif/avif.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "decoder_fixtures.h"
#include "plugins/decoders/heif/heif_boxes.h"
#include "plugins/decoders/susie/susie_plugin.h"

namespace mirabo::decoders {
namespace {

using fixtures::Bytes;
using fixtures::Picture;

class Plugin {
 public:
  explicit Plugin(const std::string& name) {
    const std::string path = std::string(MIRABO_DECODER_DIR) + "/mirabo_" + name + ".so";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(dlerror());
    Get(info, "GetPluginInfo");
    Get(supported, "IsSupported");
    Get(picture_info, "GetPictureInfo");
    Get(picture, "GetPicture");
    Get(lock, "LocalLock");
    Get(free, "LocalFree");
    Get(size, "LocalSize");
  }
  ~Plugin() { dlclose(handle_); }

  int (*info)(int, char*, int) = nullptr;
  int (*supported)(const char*, void*) = nullptr;
  int (*picture_info)(const char*, SpiLength, unsigned, PictureInfo*) = nullptr;
  int (*picture)(const char*, SpiLength, unsigned, HANDLE*, HANDLE*, ProgressCallback, SpiLength) = nullptr;
  void* (*lock)(HLOCAL) = nullptr;
  HLOCAL (*free)(HLOCAL) = nullptr;
  std::size_t (*size)(HLOCAL) = nullptr;

 private:
  template <class F>
  void Get(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(handle_, name));
    if (!f) throw std::runtime_error(std::string("no export ") + name);
  }
  void* handle_;
};

Plugin& Loaded(const std::string& name) {
  static std::map<std::string, std::unique_ptr<Plugin>> plugins;
  auto& p = plugins[name];
  if (!p) p = std::make_unique<Plugin>(name);
  return *p;
}

int Continue(int, int, SpiLength) { return 0; }

struct Decoded {
  int code = -99;
  int bits = 0;
  Picture picture;
};

// GetPicture from memory; the DIB back as a top-down BGRA picture.
Decoded Decode(Plugin& plugin, const Bytes& file, ProgressCallback progress = Continue, SpiLength data = 0,
               const char* path = nullptr, SpiLength offset = 0) {
  HANDLE info = nullptr, bits = nullptr;
  Decoded d;
  d.code = path ? plugin.picture(path, offset, 0, &info, &bits, progress, data)
                : plugin.picture(reinterpret_cast<const char*>(file.data()), static_cast<SpiLength>(file.size()), 1,
                                 &info, &bits, progress, data);
  if (d.code != 0) {
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(bits, nullptr);
    return d;
  }
  DibHeader header;
  EXPECT_GE(plugin.size(info), sizeof header);
  std::memcpy(&header, plugin.lock(info), sizeof header);
  d.bits = header.biBitCount;
  const auto w = static_cast<std::uint32_t>(header.biWidth), h = static_cast<std::uint32_t>(header.biHeight);
  const std::size_t stride = (std::size_t{w} * d.bits / 8 + 3) & ~std::size_t{3};
  EXPECT_GE(plugin.size(bits), stride * h);
  const auto* rows = static_cast<const std::uint8_t*>(plugin.lock(bits));
  d.picture = {w, h, std::vector<std::uint8_t>(std::size_t{w} * h * 4)};
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* row = rows + (h - 1 - y) * stride;
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint8_t* out = &d.picture.bgra[(std::size_t{y} * w + x) * 4];
      std::memcpy(out, row + x * (d.bits / 8), 3);
      out[3] = d.bits == 32 ? row[x * 4 + 3] : 255;
    }
  }
  plugin.free(info);
  plugin.free(bits);
  return d;
}

// The largest difference a viewer could show: colours weighed by their
// alpha (a see-through pixel's colour is not seen), and alpha itself.
int Difference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) return 1000;
  int worst = 0;
  for (std::size_t i = 0; i < a.bgra.size(); i += 4) {
    const int alpha = std::max(a.bgra[i + 3], b.bgra[i + 3]);
    for (int k = 0; k < 3; ++k) {
      const int d = std::abs(a.bgra[i + k] - b.bgra[i + k]) * alpha;
      worst = std::max(worst, (d + 254) / 255);
    }
    worst = std::max(worst, std::abs(a.bgra[i + 3] - b.bgra[i + 3]));
  }
  return worst;
}

// The mean of the same differences: what a wrong turn makes large (the
// pattern's gradients run the other way) and blurred edges do not.
double MeanDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) return 1000;
  double sum = 0;
  for (std::size_t i = 0; i < a.bgra.size(); i += 4) {
    const int alpha = std::max(a.bgra[i + 3], b.bgra[i + 3]);
    for (int k = 0; k < 3; ++k) sum += std::abs(a.bgra[i + k] - b.bgra[i + k]) * alpha / 255.0;
    sum += std::abs(a.bgra[i + 3] - b.bgra[i + 3]);
  }
  return sum / static_cast<double>(a.bgra.size());
}

TEST(DecoderPlugins, AnswerWhatTheInterfaceAsks) {
  const struct {
    const char* plugin;
    const char* patterns;
  } cases[] = {{"png", "*.png"}, {"webp", "*.webp"}, {"heif", "*.heic;*.heif;*.hif"}, {"avif", "*.avif;*.avifs"}};
  for (const auto& c : cases) {
    Plugin& p = Loaded(c.plugin);
    char buf[64];
    EXPECT_EQ(p.info(0, buf, sizeof buf), 4) << c.plugin;
    EXPECT_STREQ(buf, "00IN") << c.plugin;
    p.info(2, buf, sizeof buf);
    EXPECT_STREQ(buf, c.patterns) << c.plugin;
    EXPECT_EQ(p.info(4, buf, sizeof buf), 0) << c.plugin;
    // A short buffer still ends in a NUL.
    EXPECT_EQ(p.info(0, buf, 3), 2) << c.plugin;
    EXPECT_STREQ(buf, "00") << c.plugin;
  }
}

// One file of each format, offered to every plug-in under a misleading
// name: only its own plug-in claims it, by its bytes.
TEST(DecoderPlugins, ClaimFilesByTheirBytesNotTheirNames) {
  const Bytes png = fixtures::MakePng(fixtures::PngCases()[6]);
  const Bytes webp = fixtures::MakeWebp(fixtures::WebpKind::kLossy);
  const Bytes heic = fixtures::MakeHeif(fixtures::HeifCases()[0]);
  const Bytes avif = fixtures::MakeHeif(fixtures::HeifCases()[5]);
  const std::pair<const char*, const Bytes*> files[] = {{"png", &png}, {"webp", &webp}, {"heif", &heic}, {"avif", &avif}};
  for (const auto& [owner, bytes] : files) {
    if (bytes->empty()) continue;  // no encoder for it here
    std::vector<std::uint8_t> head(2048);
    std::copy_n(bytes->begin(), std::min<std::size_t>(bytes->size(), head.size()), head.begin());
    for (const char* plugin : {"png", "webp", "heif", "avif"}) {
      EXPECT_EQ(Loaded(plugin).supported("picture.jpg", head.data()), std::strcmp(plugin, owner) == 0 ? 1 : 0)
          << owner << " file offered to " << plugin;
    }
  }
  // The old convention's file handle is not bytes.
  EXPECT_EQ(Loaded("png").supported("a.png", reinterpret_cast<void*>(12)), 0);
}

TEST(PngPlugin, EveryColourTypeAndDepthAsLibpngDecodesIt) {
  for (const auto& c : fixtures::PngCases()) {
    const Bytes file = fixtures::MakePng(c);
    const Decoded d = Decode(Loaded("png"), file);
    ASSERT_EQ(d.code, 0) << c.name;
    const bool colour_managed = c.gamma > 0 || c.p3_icc;
    const int allowed = colour_managed ? 2 : c.depth == 16 ? 1 : 0;
    // libpng's simplified reader misreads interlaced sixteen-bit alpha: the
    // same pixels written plainly are the reference.
    fixtures::PngCase plain = c;
    plain.interlaced = false;
    // A gAMA picture: the samples as written, converted by the file's gamma
    // (libpng's own gamma code aims at a 2.2 power, not sRGB's curve).
    const Picture reference = c.gamma > 0 ? fixtures::GammaToSrgb(fixtures::ReferencePng(fixtures::MakePng({"", c.colour_type, c.depth}), false), c.gamma)
                                          : fixtures::ReferencePng(fixtures::MakePng(plain), c.p3_icc);
    EXPECT_LE(Difference(d.picture, reference), allowed) << c.name;
    const bool alpha = c.trns || (c.colour_type & 4) != 0;
    EXPECT_EQ(d.bits, alpha ? 32 : 24) << c.name;

    PictureInfo info{};
    ASSERT_EQ(Loaded("png").picture_info(reinterpret_cast<const char*>(file.data()), static_cast<SpiLength>(file.size()), 1, &info), 0);
    EXPECT_EQ(info.width, 37) << c.name;
    EXPECT_EQ(info.height, 23) << c.name;
  }
}

// Scaling sixteen bits to eight rounds: truncating would leave many
// samples one level low.
TEST(PngPlugin, SixteenBitsAreScaledNotTruncated) {
  const fixtures::PngCase rgb16 = fixtures::PngCases()[7];
  const Bytes file = fixtures::MakePng(rgb16, 256, 4);
  const Decoded d = Decode(Loaded("png"), file);
  ASSERT_EQ(d.code, 0);
  // The fixture's red sample at (x, 0): the pattern's red (block colour)
  // times 257 plus a known offset.
  int rounded_up = 0;
  for (std::uint32_t x = 0; x < 256; ++x) {
    const int v8 = ((x / 8) % 2 == 0) ? 230 : 40;
    const int v16 = std::clamp(v8 * 257 + static_cast<int>((x * 37) % 256) - 128, 0, 65535);
    const int expected = (v16 * 255 + 32767) / 65535;
    EXPECT_EQ(d.picture.bgra[x * 4 + 2], expected) << "x " << x << " sample " << v16;
    rounded_up += expected != (v16 >> 8);
  }
  EXPECT_GT(rounded_up, 0) << "the fixture does not tell scaling from truncating";
}

TEST(WebpPlugin, LossyLosslessAlphaAndAnimatedAsLibwebpDecodesThem) {
  using fixtures::WebpKind;
  const struct {
    const char* name;
    WebpKind kind;
    int bits;
  } cases[] = {{"lossy", WebpKind::kLossy, 24}, {"lossless", WebpKind::kLossless, 24}, {"alpha", WebpKind::kAlpha, 32}};
  for (const auto& c : cases) {
    const Bytes file = fixtures::MakeWebp(c.kind);
    const Decoded d = Decode(Loaded("webp"), file);
    ASSERT_EQ(d.code, 0) << c.name;
    EXPECT_EQ(d.bits, c.bits) << c.name;
    EXPECT_EQ(Difference(d.picture, fixtures::ReferenceWebp(file)), 0) << c.name;
  }
  const Decoded first = Decode(Loaded("webp"), fixtures::MakeWebp(WebpKind::kAnimated));
  ASSERT_EQ(first.code, 0);
  EXPECT_EQ(Difference(first.picture, fixtures::AnimatedFirstFrame()), 0) << "an animation shows its first frame";
}

// EXIF orientation applied to a top-down picture, as HEIF's irot/imir must
// make it appear.
Picture Oriented(const Picture& p, int orientation) {
  const bool across = orientation >= 5;
  Picture out{across ? p.height : p.width, across ? p.width : p.height, std::vector<std::uint8_t>(p.bgra.size())};
  for (std::uint32_t y = 0; y < out.height; ++y) {
    for (std::uint32_t x = 0; x < out.width; ++x) {
      std::uint32_t sx = x, sy = y;
      const std::uint32_t W = p.width - 1, H = p.height - 1;
      switch (orientation) {
        case 2: sx = W - x; break;
        case 3: sx = W - x, sy = H - y; break;
        case 4: sy = H - y; break;
        case 5: sx = y, sy = x; break;
        case 6: sx = y, sy = H - x; break;
        case 7: sx = W - y, sy = H - x; break;
        case 8: sx = W - y, sy = x; break;
        default: break;
      }
      std::memcpy(&out.bgra[(std::size_t{y} * out.width + x) * 4], &p.bgra[(std::size_t{sy} * p.width + sx) * 4], 4);
    }
  }
  return out;
}

Picture ToSrgb(Picture p, bool p3) { return p3 ? fixtures::P3ToSrgb(std::move(p)) : p; }

// libavif's own decode, turned by the test's own reading of irot/imir.
// Its colours are converted to 16 bits and rounded to 8 here: libavif's
// direct 8-bit output of a 12-bit 4:2:0 picture is up to 3 levels off.
Picture ReferenceAvif(const Bytes& file, bool p3) {
  avifDecoder* decoder = avifDecoderCreate();
  avifImage* image = avifImageCreateEmpty();
  EXPECT_EQ(avifDecoderReadMemory(decoder, image, file.data(), file.size()), AVIF_RESULT_OK);
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.format = AVIF_RGB_FORMAT_BGRA;
  rgb.depth = 16;
  std::vector<std::uint16_t> wide(std::size_t{image->width} * image->height * 4);
  rgb.pixels = reinterpret_cast<std::uint8_t*>(wide.data());
  rgb.rowBytes = image->width * 8;
  EXPECT_EQ(avifImageYUVToRGB(image, &rgb), AVIF_RESULT_OK);
  Picture p{image->width, image->height, std::vector<std::uint8_t>(wide.size())};
  for (std::size_t i = 0; i < wide.size(); ++i) p.bgra[i] = static_cast<std::uint8_t>((wide[i] * 255u + 32767u) / 65535u);
  // irot turns counter-clockwise, then imir mirrors (0: top and bottom).
  const int turns = (image->transformFlags & AVIF_TRANSFORM_IROT) ? image->irot.angle : 0;
  const int exif_turn[4] = {1, 8, 3, 6};
  p = Oriented(p, exif_turn[turns]);
  if (image->transformFlags & AVIF_TRANSFORM_IMIR) p = Oriented(p, image->imir.mode == 0 ? 4 : 2);
  avifImageDestroy(image);
  avifDecoderDestroy(decoder);
  return ToSrgb(p, p3);
}

// libheif's own decode of the primary image.
Picture ReferenceHeif(const Bytes& file, bool p3) {
  heif_context* context = heif_context_alloc();
  EXPECT_EQ(heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr).code, heif_error_Ok);
  heif_image_handle* handle = nullptr;
  heif_context_get_primary_image_handle(context, &handle);
  heif_decoding_options* options = heif_decoding_options_alloc();
  options->convert_hdr_to_8bit = 1;
  heif_image* image = nullptr;
  EXPECT_EQ(heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options).code, heif_error_Ok);
  int stride = 0;
  const std::uint8_t* data = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image, heif_channel_interleaved), h = heif_image_get_height(image, heif_channel_interleaved);
  Picture p{static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), std::vector<std::uint8_t>(std::size_t(w) * h * 4)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* s = data + y * stride + x * 4;
      std::uint8_t* d = &p.bgra[(std::size_t(y) * w + x) * 4];
      d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
    }
  }
  heif_image_release(image);
  heif_decoding_options_free(options);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return ToSrgb(p, p3);
}

TEST(HeifPlugins, UprightAndInSrgbAsTheReferenceLibrariesDecodeThem) {
  int made = 0;
  for (const auto& c : fixtures::HeifCases()) {
    const Bytes file = fixtures::MakeHeif(c);
    if (file.empty()) {
      std::printf("skipped %s: this system's libheif has no encoder for it\n", c.name);
      continue;
    }
    ++made;
    const Decoded d = Decode(Loaded(c.av1 ? "avif" : "heif"), file);
    ASSERT_EQ(d.code, 0) << c.name;
    EXPECT_EQ(d.bits, c.alpha ? 32 : 24) << c.name;
    const bool across = c.orientation >= 5;
    EXPECT_EQ(d.picture.width, across ? 48u : 64u) << c.name;
    // Each against its format's reference library. Converted from P3, a
    // one-level difference of the 8-bit result before conversion becomes
    // up to seven near black (the matrix subtracts nearly equal amounts).
    const Picture reference = c.av1 ? ReferenceAvif(file, c.p3()) : ReferenceHeif(file, c.p3());
    EXPECT_LE(Difference(d.picture, reference), c.av1 && c.p3() ? 8 : 2) << c.name;
    // Lossy coding keeps the picture recognisable: the turn is the right one.
    const Picture expected = ToSrgb(Oriented(fixtures::Pattern(64, 48, c.alpha), c.orientation), c.p3());
    EXPECT_LE(MeanDifference(d.picture, expected), 8) << c.name << " is not turned as its file says";
  }
  EXPECT_GT(made, 0);
}

// Phones store a photo as a grid of tiles with the turn and the colour on
// the grid: libheif assembles it, the plug-in turns it (itself above 8
// bits) and converts it.
TEST(HeifPlugins, GridsAreAssembledTurnedAndConverted) {
  const fixtures::HeifCase cases[] = {
      {"grid8", false, 8, false, 1, false},
      {"grid8_rotated_p3", false, 8, false, 6, true},
      {"grid10_transposed", false, 10, false, 5, false},
  };
  for (const auto& c : cases) {
    const Bytes file = fixtures::MakeHeifGrid(c, 2, 2);
    if (file.empty()) {
      std::printf("skipped %s: this system's libheif has no HEVC encoder\n", c.name);
      continue;
    }
    const Decoded d = Decode(Loaded("heif"), file);
    ASSERT_EQ(d.code, 0) << c.name;
    EXPECT_EQ(d.bits, 24) << c.name;
    const bool across = c.orientation >= 5;
    EXPECT_EQ(d.picture.width, across ? 112u : 128u) << c.name;
    // libheif's own decode cannot mirror more than 8 bits.
    if (c.bits == 8) {
      EXPECT_LE(Difference(d.picture, ReferenceHeif(file, c.p3_icc)), 2) << c.name;
    }
    Picture whole = fixtures::Pattern(128, 128, false);
    whole.height = 112;
    whole.bgra.resize(std::size_t{128} * 112 * 4);
    const Picture expected = ToSrgb(Oriented(whole, c.orientation), c.p3_icc);
    EXPECT_LE(Difference(d.picture, expected), 48) << c.name << ": tiles misplaced or not turned as the file says";
  }
}

// A kilobyte of HEIC whose grid says it is far larger than its boxes do
// costs libheif a minute and a gigabyte; it is refused as damaged.
TEST(HeifPlugins, AGridLargerThanItsBoxesSayIsRefused) {
  const fixtures::HeifCase c{"grid8", false, 8, false, 1, false};
  const Bytes told = fixtures::MakeHeifGrid(c, 2, 2);
  if (told.empty()) GTEST_SKIP() << "this system's libheif has no HEVC encoder";
  EXPECT_EQ(Decode(Loaded("heif"), told).code, 0);
  for (const auto data : {fixtures::GridData::kLying, fixtures::GridData::kLyingInTwoParts})
    EXPECT_EQ(Decode(Loaded("heif"), fixtures::MakeHeifGrid(c, 2, 2, data)).code, 3) << static_cast<int>(data);
}

// An identity derived from the grid shows it; identities that name no
// picture or each other are refused before libheif follows them (a loop
// overflowed its stack, a missing picture failed its assertion).
TEST(HeifPlugins, IdentitiesAreFollowedOnlyToPictures) {
  const fixtures::HeifCase c{"grid8", false, 8, false, 1, false};
  const struct {
    fixtures::OnTop on_top;
    int code;
  } cases[] = {{fixtures::OnTop::kIdentity, 0}, {fixtures::OnTop::kIdentityOfNothing, 3}, {fixtures::OnTop::kIdentityLoop, 3}};
  for (const auto& t : cases) {
    const Bytes file = fixtures::MakeHeifGrid(c, 2, 2, fixtures::GridData::kTrue, t.on_top);
    if (file.empty()) {
      GTEST_SKIP() << "this system's libheif has no HEVC encoder";
    }
    Plugin& plugin = Loaded("heif");
    const Decoded d = Decode(plugin, file);
    EXPECT_EQ(d.code, t.code) << "case " << static_cast<int>(t.on_top);
    if (t.code == 0) {
      EXPECT_EQ(d.picture.width, 128u);
    }
    PictureInfo info{};
    const int answer =
        plugin.picture_info(reinterpret_cast<const char*>(file.data()), static_cast<SpiLength>(file.size()), 1, &info);
    EXPECT_EQ(answer, t.code) << "information, case " << static_cast<int>(t.on_top);
  }
}

// The plug-in refuses a picture with a turn, mirror or crop listed twice
// (libheif 1.15 would copy the picture once for each, up to 255 times):
// the boxes tell it, whatever the order.
TEST(HeifPlugins, TransformsListedTwiceAreTold) {
  const struct {
    std::vector<std::string> listed;
    bool repeated;
  } cases[] = {{{"irot", "imir", "clap"}, false}, {{"irot", "irot"}, true}, {{"imir", "irot", "imir"}, true},
               {{"clap", "irot", "clap"}, true}};
  for (const auto& c : cases) {
    Bytes ipco, ipma{0, 0, 0, 1, 0, 1, static_cast<std::uint8_t>(c.listed.size())};  // all on item 1
    for (const std::string& type : c.listed) {
      const Bytes box = fixtures::Box(type.c_str(), Bytes(type == "clap" ? 32 : 1, 1));
      ipco.insert(ipco.end(), box.begin(), box.end());
      ipma.push_back(static_cast<std::uint8_t>(0x80 | (ipma.size() - 6)));
    }
    Bytes iprp = fixtures::Box("ipco", ipco), meta = fixtures::FullBox("pitm", 0, Bytes{0, 1});
    const Bytes associations = fixtures::FullBox("ipma", 0, ipma);
    iprp.insert(iprp.end(), associations.begin(), associations.end());
    iprp = fixtures::Box("iprp", iprp);
    meta.insert(meta.end(), iprp.begin(), iprp.end());
    Bytes file = fixtures::Box("ftyp", Bytes{'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'});
    meta = fixtures::FullBox("meta", 0, meta);
    file.insert(file.end(), meta.begin(), meta.end());
    EXPECT_EQ(ReadPrimaryTransforms(file).repeated, c.repeated) << c.listed.size() << " transforms, first " << c.listed[0];
  }
}

// Every way a file can be cut short or damaged ends in an error code (or a
// picture, where the damage left one), never a crash.
TEST(DecoderPlugins, TruncatedAndDamagedFilesAnswerWithErrorCodes) {
  const std::pair<const char*, Bytes> files[] = {
      {"png", fixtures::MakePng(fixtures::PngCases()[16])},
      {"png", fixtures::MakePng(fixtures::PngCases()[13])},
      {"webp", fixtures::MakeWebp(fixtures::WebpKind::kAlpha)},
      {"webp", fixtures::MakeWebp(fixtures::WebpKind::kAnimated)},
      {"heif", fixtures::MakeHeif(fixtures::HeifCases()[1])},
      {"avif", fixtures::MakeHeif(fixtures::HeifCases()[6])},
  };
  for (const auto& [plugin, file] : files) {
    if (file.empty()) continue;
    for (const std::size_t keep : {std::size_t{0}, std::size_t{12}, std::size_t{40}, file.size() / 3, file.size() / 2}) {
      const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
      EXPECT_NE(Decode(Loaded(plugin), cut).code, 0) << plugin << " cut to " << keep << " of " << file.size();
      PictureInfo info{};
      const int code = Loaded(plugin).picture_info(reinterpret_cast<const char*>(cut.data()), static_cast<SpiLength>(cut.size()), 1, &info);
      if (keep < 40) {
        EXPECT_NE(code, 0) << plugin << " info of " << keep << " bytes";
      }
    }
    for (std::size_t at = 16; at < file.size(); at += std::max<std::size_t>(1, file.size() / 23)) {
      Bytes damaged = file;
      damaged[at] ^= 0x5A;
      damaged[damaged.size() - 1 - at / 2] ^= 0xFF;
      const Decoded d = Decode(Loaded(plugin), damaged);
      EXPECT_TRUE(d.code == 0 || (d.code >= 2 && d.code <= 8)) << plugin << " damaged at " << at << ": " << d.code;
    }
  }
}

// A picture over 2^28 pixels is refused before anything is allocated for it.
TEST(DecoderPlugins, PicturesOverTheLimitAreRefusedUpFront) {
  // PNG: an IHDR of 20000 x 20000 (its CRC is not what is checked first).
  Bytes png = fixtures::MakePng(fixtures::PngCases()[6]);
  const std::uint8_t big[8] = {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20};
  std::copy(big, big + 8, png.begin() + 16);
  PictureInfo info{};
  EXPECT_EQ(Loaded("png").picture_info(reinterpret_cast<const char*>(png.data()), static_cast<SpiLength>(png.size()), 1, &info), 4);
  // HEIF: the ispe box says 30000 x 30000 (a square picture, so no clap
  // box crops it back).
  for (const int index : {0, 5}) {
    const auto& c = fixtures::HeifCases()[static_cast<std::size_t>(index)];
    Bytes file = fixtures::MakeHeif(c, 64, 64);
    if (file.empty()) continue;
    const auto ispe = std::search(file.begin(), file.end(), std::begin("ispe"), std::end("ispe") - 1);
    ASSERT_NE(ispe, file.end());
    const std::uint8_t size[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};
    std::copy(size, size + 8, ispe + 8);
    EXPECT_EQ(Decode(Loaded(c.av1 ? "avif" : "heif"), file).code, 4) << c.name;
  }
}

int Stop(int, int, SpiLength) { return 1; }
int Count(int done, int total, SpiLength data) {
  auto* calls = reinterpret_cast<std::vector<std::pair<int, int>>*>(data);
  calls->emplace_back(done, total);
  return 0;
}

TEST(DecoderPlugins, ProgressIsReportedAndAStopIsHonoured) {
  const std::pair<const char*, Bytes> files[] = {
      {"png", fixtures::MakePng(fixtures::PngCases()[9], 400, 300)},
      {"webp", fixtures::MakeWebp(fixtures::WebpKind::kLossless, 400, 300)},
      {"heif", fixtures::MakeHeif(fixtures::HeifCases()[0])},
      {"avif", fixtures::MakeHeif(fixtures::HeifCases()[5])},
  };
  for (const auto& [plugin, file] : files) {
    if (file.empty()) continue;
    EXPECT_EQ(Decode(Loaded(plugin), file, Stop).code, 1) << plugin;
    std::vector<std::pair<int, int>> calls;
    EXPECT_EQ(Decode(Loaded(plugin), file, Count, reinterpret_cast<SpiLength>(&calls)).code, 0) << plugin;
    EXPECT_GE(calls.size(), 2u) << plugin;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_TRUE(calls[i].first >= 0 && calls[i].first <= calls[i].second) << plugin << " call " << i;
      if (i > 0) {
        EXPECT_GE(calls[i].first * calls[i - 1].second, calls[i - 1].first * calls[i].second) << plugin;
      }
    }
  }
}

TEST(DecoderPlugins, AFileIsReadFromItsOffset) {
  const Bytes png = fixtures::MakePng(fixtures::PngCases()[16]);
  const auto path = std::filesystem::temp_directory_path() / "mirabo_decoder_offset.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(100, 'x');
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }
  const Decoded from_file = Decode(Loaded("png"), {}, Continue, 0, path.c_str(), 100);
  const Decoded from_memory = Decode(Loaded("png"), png);
  std::filesystem::remove(path);
  ASSERT_EQ(from_file.code, 0);
  EXPECT_EQ(Difference(from_file.picture, from_memory.picture), 0);
  EXPECT_EQ(Decode(Loaded("png"), {}, Continue, 0, "/nonexistent/mirabo.png", 0).code, 6);
}

}  // namespace
}  // namespace mirabo::decoders
