// Speed of the viewer's hot paths against references measured in the same
// run, printed as ratios:
//  - showing a 24-megapixel JPEG at each zoom level, against libjpeg-turbo's
//    own decode of the same file at the same scale;
//  - ClassifyFile on a folder of 10,000 files of the kind (re-read, filter,
//    sort), and one step, which must touch no folder at all;
//  - turning pictures on screen and in their files (photo_bench.cpp), and
//    the text view (text_bench.cpp).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "app/application.h"
#include "app/unit1.h"
#include "base/win/error_handler.h"
#include "bench/jpeg_reference.h"
#include "settings/win_file_store.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

double BestOf(int runs, const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

// libjpeg-turbo's decode as its own tools do it: into one buffer, with the
// viewer's options.
void ReferenceDecode(const std::vector<uint8_t>& data, int denom, std::vector<uint8_t>& out) {
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&c, TRUE);
  c.scale_num = 1;
  c.scale_denom = static_cast<unsigned>(denom);
  c.dct_method = JDCT_IFAST;
  c.dither_mode = JDITHER_ORDERED;
  c.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&c);
  const size_t stride = (c.output_width * 3 + 3) & ~size_t{3};
  out.resize(stride * c.output_height);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = out.data() + stride * c.output_scanline;
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
}

}  // namespace

void RunTextBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir);
void RunPhotoBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir, const std::vector<uint8_t>& jpeg);
void RunDocumentBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir);
void RunMetafileBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir);
void RunMediaBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir);
void RunPluginBenchmarks(const std::filesystem::path& dir);
void RunDecoderBenchmarks(const std::filesystem::path& dir);

int main(int argc, char** argv) {
  // "photo": only the display and photo benchmarks; "document", "metafile",
  // "media" and "text": only those views'.
  const bool photoOnly = argc > 1 && std::string(argv[1]) == "photo";
  const std::string only = argc > 1 ? argv[1] : "";
  using namespace mirabo;
  namespace fs = std::filesystem;
  TApplication::Initialize();
  SetDefaultErrorHandler([](HWND, const std::exception& e) { std::printf("error: %s\n", e.what()); });
  const fs::path dir = fs::temp_directory_path() / ("mirabo-bench-" + std::to_string(::GetCurrentProcessId()));
  fs::create_directories(dir / "many");

  if (only == "plugins" || only == "decoders") {
    if (only == "plugins") RunPluginBenchmarks(dir);
    RunDecoderBenchmarks(dir);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
  }
  if (only == "document" || only == "media" || only == "text" || only == "metafile") {
    Settings settings;
    win::WinFileStore files;
    TForm1 form({settings, files, dir / "bench.INI", "C:\\", {}});
    form.Create();
    settings.ReadAhead = 0;
    ::ShowWindow(form.Handle(), SW_SHOW);
    if (only == "document") RunDocumentBenchmarks(form, dir);
    else if (only == "metafile") RunMetafileBenchmarks(form, dir);
    else if (only == "text") RunTextBenchmarks(form, dir);
    else RunMediaBenchmarks(form, dir);
    ::DestroyWindow(form.Handle());
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
  }

  // Before the window: the plug-in registry is one a process.
  if (!photoOnly) {
    RunPluginBenchmarks(dir);
    RunDecoderBenchmarks(dir);
  }

  std::printf("making a 6000 x 4000 photograph-like JPEG (quality 90)...\n");
  const std::vector<uint8_t> jpeg = bench::MakePhotoJpeg(6000, 4000);
  const fs::path photo = dir / "photo.jpg";
  std::ofstream(photo, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                              static_cast<std::streamsize>(jpeg.size()));

  Settings settings;
  win::WinFileStore files;
  TForm1 form({settings, files, dir / "bench.INI", "C:\\", {}});
  form.Create();
  // Every figure but the stepping one is of one command alone.
  settings.ReadAhead = 0;
  ::ShowWindow(form.Handle(), SW_SHOW);
  form.CurrentPath = photo.wstring();
  form.ClassifyFile(form.CurrentPath);

  std::printf("\nshowing a 24-megapixel JPEG (best of 5; reference: libjpeg-turbo decode, same file, same scale)\n");
  std::printf("%-8s %12s %12s %8s %16s %8s\n", "zoom", "viewer ms", "libjpeg ms", "ratio", "from memory ms", "ratio");
  std::vector<uint8_t> buffer;
  for (int zoom = 0; zoom <= 3; ++zoom) {
    settings.Zoom = zoom;
    const double reference = BestOf(5, [&] {
      // The file is read as the viewer reads it, so both pay for the bytes.
      std::ifstream in(photo, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
      ReferenceDecode(bytes, 1 << zoom, buffer);
    });
    const double viewer = BestOf(5, [&] {
      form.ShowJpeg();
      ::UpdateWindow(form.Handle());
    });
    // The strictest reference: the bytes already in memory, the buffer reused.
    const double memory = BestOf(5, [&] { ReferenceDecode(jpeg, 1 << zoom, buffer); });
    std::printf("1/%-6d %12.1f %12.1f %8.3f %16.1f %8.3f\n", 1 << zoom, viewer, reference, viewer / reference, memory,
                viewer / memory);
  }

  if (photoOnly) {
    RunPhotoBenchmarks(form, dir, jpeg);
    ::DestroyWindow(form.Handle());
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
  }

  std::printf("\nzooming out one level (best of 5; reference: libjpeg-turbo decode at the new scale)\n");
  std::printf("%-12s %12s %12s %8s\n", "step", "viewer ms", "libjpeg ms", "ratio");
  for (int zoom = 0; zoom < 3; ++zoom) {
    double viewer = 1e9;
    for (int run = 0; run < 5; ++run) {
      settings.Zoom = zoom;
      form.ShowJpeg();
      viewer = std::min(viewer, BestOf(1, [&] {
                          form.ToolButton2Click();
                          ::UpdateWindow(form.Handle());
                        }));
    }
    const double reference = BestOf(5, [&] {
      std::ifstream in(photo, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
      ReferenceDecode(bytes, 2 << zoom, buffer);
    });
    std::printf("1/%d -> 1/%-5d %12.1f %12.1f %8.3f\n", 1 << zoom, 2 << zoom, viewer, reference, viewer / reference);
  }

  std::printf("\nClassifyFile on a folder of 10,000 JPEG files plus 2,000 others (best of 5)\n");
  const std::vector<uint8_t> small = testing::MakeJpeg(testing::JpegKind::Rgb, 16, 16);
  for (int i = 0; i < 12000; ++i) {
    wchar_t name[32];
    std::swprintf(name, 32, i < 10000 ? L"IMG_%05d.jpg" : L"note_%05d.txt", (i * 7919) % 12000);
    std::ofstream(dir / "many" / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(small.data()), static_cast<std::streamsize>(small.size()));
  }
  const std::wstring first = (dir / "many" / "IMG_00000.jpg").wstring();
  form.CurrentPath = first;
  const double classify = BestOf(5, [&] { form.ClassifyFile(first); });
  // The system's own cost of listing the folder, the floor of any re-read.
  const double listing = BestOf(5, [&] {
    WIN32_FIND_DATAW fd;
    const HANDLE h = ::FindFirstFileExW((dir / "many" / "*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                        nullptr, FIND_FIRST_EX_LARGE_FETCH);
    int n = 0;
    do ++n; while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  });
  std::printf("ClassifyFile: %.1f ms for %d entries (target: at most 50 ms)\n", classify, form.FileListBox1.Count());
  std::printf("reference, FindFirstFile/FindNextFile over the same folder: %.1f ms (ratio %.2f)\n", listing,
              classify / listing);
  const double step = BestOf(5, [&] {
    form.CurrentIndex = 0;
    form.ToolButton18Click();
  });
  std::printf("one step (list walk and counter, no folder I/O; display of an empty file included): %.2f ms\n", step);

  RunPhotoBenchmarks(form, dir, jpeg);
  RunDocumentBenchmarks(form, dir);
  RunMetafileBenchmarks(form, dir);
  RunMediaBenchmarks(form, dir);
  RunTextBenchmarks(form, dir);

  ::DestroyWindow(form.Handle());
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
