// Our decoder plug-ins as the viewer uses them (through the helper process,
// the bitmap assembled and made a bitmap of the system's) against each
// format's own library decoding the same file in this process, colour
// conversion on both sides; and what the four plug-ins add to the start.
// The HEIC and AVIF pictures are made natively (this build has no HEVC or
// AV1 encoder) by bench/make_bench_pictures into $MIRABO_BENCH_PICTURES.
#include <windows.h>

#include <lcms2.h>
#include <avif/avif.h>
#include <libheif/heif.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "app/unit1.h"
#include "base/picture/picture.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "bench/timing.h"
#include "bench/window_start.h"
#include "plugins/spi_bitmap.h"
#include "plugins/remote_spi_host.h"
#include "plugins/win_spi_host.h"
#include "settings/win_file_store.h"

namespace {

using mirabo::bench::Time;

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The viewer's share for one file: the plug-in's decode in its host and
// the picture the viewer makes of its result. spare: the picture shown
// before, kept as the view keeps it (null: a fresh bitmap every time).
int ViaPlugin(mirabo::ISpiLibrary& library, const std::vector<uint8_t>& file, const std::filesystem::path& path,
              mirabo::Picture* spare) {
  using namespace mirabo;
  const std::string name = win::WideToUtf8(path.filename().wstring());
  std::vector<uint8_t> head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(file.size(), 2048)));
  head.resize(2048);
  if (library.IsSupported(name, head.data()) == 0) return -1;
  SpiSource source;
  source.data = file.data();
  source.size = file.size();
  source.filePath = win::WideToUtf8(path.wstring());
  source.name = name;
  std::unique_ptr<ISpiPicture> picture;
  const int rc = library.GetPicture(source, [](int, int) { return true; }, picture);
  if (rc != 0 || !picture) return -rc;
  Picture shown = ShownPicture(std::move(picture), spare);
  const int width = shown.Width();
  if (spare) *spare = std::move(shown);
  return width;
}

struct Source {
  const std::vector<uint8_t>* file;
  size_t at;
};

// libpng's own read of the whole picture, 8-bit BGR.
size_t LibpngRead(const std::vector<uint8_t>& file) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Source source{&file, 0};
  png_set_read_fn(png, &source, [](png_structp p, png_bytep out, png_size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(p));
    std::copy_n(s->file->data() + s->at, n, out);
    s->at += n;
  });
  png_read_info(png, info);
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_bgr(png);
  png_read_update_info(png, info);
  const size_t h = png_get_image_height(png, info), stride = png_get_rowbytes(png, info);
  std::vector<uint8_t> pixels(h * stride);
  std::vector<png_bytep> rows(h);
  for (size_t y = 0; y < h; ++y) rows[y] = pixels.data() + y * stride;
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return pixels.size();
}

// RGB rows converted in place from an embedded profile to sRGB, as the
// plug-ins convert theirs.
void ProfileToSrgb(const uint8_t* icc, size_t size, uint8_t* data, size_t stride, int w, int h) {
  cmsHPROFILE from = cmsOpenProfileFromMem(icc, static_cast<cmsUInt32Number>(size));
  cmsHPROFILE to = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_RGB_8, to, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
  for (int y = 0; y < h; ++y) cmsDoTransform(t, data + static_cast<size_t>(y) * stride, data + static_cast<size_t>(y) * stride, w);
  cmsDeleteTransform(t);
  cmsCloseProfile(from);
  cmsCloseProfile(to);
}

// libheif's own decode of the primary image, RGB, converted from its ICC
// profile (if any) to sRGB by Little CMS.
size_t LibheifDecode(const std::vector<uint8_t>& file) {
  heif_context* context = heif_context_alloc();
  heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr);
  heif_image_handle* handle = nullptr;
  heif_context_get_primary_image_handle(context, &handle);
  heif_image* image = nullptr;
  heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
  int stride = 0;
  uint8_t* data = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image, heif_channel_interleaved);
  const int h = heif_image_get_height(image, heif_channel_interleaved);
  std::vector<uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
  if (!icc.empty() && heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
    ProfileToSrgb(icc.data(), icc.size(), data, static_cast<size_t>(stride), w, h);
  }
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return static_cast<size_t>(w) * h;
}

// libavif's own decode of the primary image into 8-bit RGB, with as many
// threads as the plug-in gives it (what is compared is our side, not
// threading), converted from its ICC profile (if any) like the HEIC.
size_t LibavifDecode(const std::vector<uint8_t>& file) {
  avifDecoder* decoder = avifDecoderCreate();
  decoder->maxThreads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  avifImage* image = avifImageCreateEmpty();
  avifRGBImage rgb{};
  bool decoded = avifDecoderReadMemory(decoder, image, file.data(), file.size()) == AVIF_RESULT_OK;
  if (decoded) {
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    decoded = avifRGBImageAllocatePixels(&rgb) == AVIF_RESULT_OK && avifImageYUVToRGB(image, &rgb) == AVIF_RESULT_OK;
  }
  if (decoded && image->icc.size > 0) {
    ProfileToSrgb(image->icc.data, image->icc.size, rgb.pixels, rgb.rowBytes, static_cast<int>(rgb.width),
                  static_cast<int>(rgb.height));
  }
  const size_t pixels = decoded ? size_t{rgb.width} * rgb.height : 0;
  avifRGBImageFreePixels(&rgb);
  avifImageDestroy(image);
  avifDecoderDestroy(decoder);
  return pixels;
}

}  // namespace

void RunDecoderBenchmarks(const std::filesystem::path& dir) {
  using namespace mirabo;
  const std::filesystem::path exeFolder = win::FolderWithSlash(win::ExecutablePath());
  const std::filesystem::path plugins = exeFolder / L"decoders";
  const char* pictures_env = std::getenv("MIRABO_BENCH_PICTURES");
  if (!std::filesystem::exists(plugins / L"mirabo_png.sph") || !pictures_env) {
    std::printf("\n(no decoder benchmarks: the plug-ins or MIRABO_BENCH_PICTURES are missing)\n");
    return;
  }
  const std::filesystem::path pictures = win::Utf8ToWide(pictures_env);
  RemoteSpiHost remote;
  const struct {
    const wchar_t* plugin;
    const wchar_t* file;
    const char* what;
    const char* reference;
    size_t (*decode)(const std::vector<uint8_t>&);
  } cases[] = {
      {L"mirabo_png.sph", L"bench24.png", "a 6000 x 4000 PNG", "libpng's read", LibpngRead},
      {L"mirabo_heif.sph", L"bench12.heic", "a 4000 x 3000 HEIC (Display P3)", "heif_decode_image + Little CMS",
       LibheifDecode},
      {L"mirabo_avif.sph", L"bench12.avif", "a 4000 x 3000 AVIF", "avifDecoderRead + avifImageYUVToRGB", LibavifDecode},
  };
  std::printf("\n");
  for (const auto& c : cases) {
    const std::filesystem::path path = pictures / c.file;
    if (!std::filesystem::exists(path)) {
      std::printf("(%ls is missing)\n", path.c_str());
      continue;
    }
    const std::vector<uint8_t> file = ReadFile(path);
    const auto library = remote.Load(win::WideToUtf8((plugins / c.plugin).wstring()));
    WinSpiHost local;
    const auto inProcess = local.Load(win::WideToUtf8((plugins / c.plugin).wstring()));
    double viewer = 1e9, first = 1e9, reference = 1e9, own = 1e9, bare = 1e9;
    int width = 0;
    Picture spare;
    for (int run = 0; run < 5; ++run) {
      viewer = std::min(viewer, Time([&] { width = ViaPlugin(*library, file, path, &spare); }));
      first = std::min(first, Time([&] { ViaPlugin(*library, file, path, nullptr); }));
      reference = std::min(reference, Time([&] { c.decode(file); }));
      own = std::min(own, Time([&] { ViaPlugin(*inProcess, file, path, nullptr); }));
      bare = std::min(bare, Time([&] {
                        SpiSource source;
                        source.data = file.data();
                        source.size = file.size();
                        source.name = "x";
                        std::unique_ptr<ISpiPicture> picture;
                        inProcess->GetPicture(source, [](int, int) { return true; }, picture);
                      }));
    }
    std::printf("  (in this process: the viewer's whole share %.0f ms, the plug-in's call alone %.0f ms)\n", own, bare);
    std::printf("  (the first picture of its size, in a bitmap of its own: %.0f ms, ratio %.3f)\n", first,
                first / reference);
    std::printf("%s shown through %ls in its helper, a step from one of its size (width %d): %.0f ms; %s in "
                "this process %.0f ms (ratio %.3f; target: at most 1.15)\n",
                c.what, c.plugin, width, viewer, c.reference, reference, viewer / reference);
  }

  // Start-up: the window with the four plug-ins in its folder against
  // without, and what one host start with four probes costs.
  const std::filesystem::path none = dir / "no-decoders";
  std::filesystem::create_directories(none);
  const std::string mask = win::WideToUtf8(plugins.wstring()) + "\\*.sph";
  const auto windowStart = [&](const std::filesystem::path& folder) { return bench::WindowStart(dir, folder); };
  double with = 1e9, without = 1e9, hosts = 1e9;
  for (int run = 0; run < 5; ++run) {
    hosts = std::min(hosts, Time([&] {
                       RemoteSpiHost host;
                       TSPIs registry(host);
                       registry.Search(mask);
                     }));
    with = std::min(with, windowStart(plugins));
    without = std::min(without, windowStart(none));
  }
  std::printf("the four plug-ins in the start (best of 5): the main window's start %.1f ms with them, %.1f ms "
              "without (grows by %.1f ms); one host start with four probes %.1f ms (target: the growth at most "
              "that)\n",
              with, without, with - without, hosts);
}
