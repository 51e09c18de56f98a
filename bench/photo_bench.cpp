// The photo workflow's heavy steps beside references measured in the same
// run: a quarter turn on screen of a 24-megapixel picture against a plain
// copy of its pixel buffer, and turn-and-save of a 24-megapixel JPEG file
// against libjpeg-turbo's own decode and encode of the same picture.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/unit1.h"
#include "base/picture/picture.h"
#include "bench/jpeg_reference.h"
#include "tests/base/picture/colour_fixtures.h"
#include "tests/base/picture/jpeg_fixtures.h"
#include "bench/timing.h"
#include "bench/window_messages.h"

namespace {

using mirabo::bench::Clock;
using mirabo::bench::Milliseconds;

// The window paints what the last command changed.
void Paint() { mirabo::bench::HandleMessages(); }

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

// The JPEG with segments put in after its start: an EXIF block, profile chunks.
std::vector<uint8_t> WithSegments(const std::vector<uint8_t>& jpeg, const std::vector<std::pair<int, std::vector<uint8_t>>>& segments) {
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  for (const auto& [code, payload] : segments) {
    const size_t length = payload.size() + 2;
    out.insert(out.end(), {0xFF, static_cast<uint8_t>(code), static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    out.insert(out.end(), payload.begin(), payload.end());
  }
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// Showing a phone's photo: stored lying (orientation 6) and with a Display
// P3 profile, each against the same pixels stored upright without one.
void RunUprightBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir, const std::vector<uint8_t>& jpeg) {
  using namespace mirabo;
  std::vector<uint8_t> icc(12, 0);
  std::copy_n("ICC_PROFILE", 11, icc.begin());
  icc.insert(icc.end(), {1, 1});
  const std::vector<uint8_t> p3 = testing::DisplayP3Profile();
  icc.insert(icc.end(), p3.begin(), p3.end());
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } files[] = {
      {"plain", jpeg},
      {"orientation 6", WithSegments(jpeg, {{0xE1, testing::MakeExif(false, 6, 6000, 4000, false)}})},
      {"Display P3", WithSegments(jpeg, {{0xE2, icc}})},
  };
  form.settings().Zoom = 0;
  form.settings().FitWin = 0;
  double times[3] = {};
  for (size_t i = 0; i < std::size(files); ++i) {
    const std::filesystem::path path = dir / ("upright" + std::to_string(i) + ".jpg");
    Write(path, files[i].bytes);
    form.CurrentPath = path.wstring();
    form.ClassifyFile(form.CurrentPath);
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
      const auto start = Clock::now();
      form.ShowJpeg();
      ::UpdateWindow(form.Handle());
      best = std::min(best, Milliseconds(start));
    }
    times[i] = best;
    Paint();
  }
  std::printf("\nshowing the 6000 x 4000 JPEG at full size (best of 5): as stored upright %.0f ms\n", times[0]);
  std::printf("  stored lying, orientation 6: %.0f ms (ratio %.3f; target: at most 1.15)\n", times[1], times[1] / times[0]);
  std::printf("  with a Display P3 profile, on an %s display: %.0f ms (ratio %.3f; target: at most 1.25)\n",
              form.Viewing().colours && form.Viewing().colours->DisplayIsSrgb() ? "sRGB" : "other", times[2],
              times[2] / times[0]);
}

// Stepping through a folder of 20 such photos, against the same steps
// without read-ahead (each a decode): with a pause longer than a decode
// before each step, and with none (a key held down).
void RunStepBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir, const std::vector<uint8_t>& jpeg) {
  using namespace mirabo;
  const std::filesystem::path folder = dir / "steps";
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 20; ++i) Write(folder / ("IMG_" + std::to_string(1000 + i) + ".jpg"), jpeg);
  form.settings().Zoom = 0;
  form.settings().FitWin = 0;
  const auto open = [&] {
    form.CurrentPath = (folder / "IMG_1000.jpg").wstring();
    form.ClassifyFile(form.CurrentPath);
    form.ShowCurrentFile();
    Paint();
  };
  // pauseMs: the messages handled (read-ahead included) that long before
  // each step. The mean time of a step.
  const auto steps = [&](int readAhead, int pauseMs) {
    form.settings().ReadAhead = readAhead;
    open();
    double total = 0;
    for (int i = 0; i < 19; ++i) {
      const auto until = Clock::now() + std::chrono::milliseconds(pauseMs);
      do {
        Paint();
        if (pauseMs) ::Sleep(1);
      } while (Clock::now() < until);
      const auto start = Clock::now();
      form.ToolButton18Click();
      ::UpdateWindow(form.Handle());
      total += Milliseconds(start);
    }
    form.ReadAhead().Discard();
    return total / 19;
  };
  const double plain = steps(0, 0), paused = steps(1, 400), plainPaused = steps(0, 400), held = steps(1, 0);
  form.settings().ReadAhead = 0;
  std::printf("\nstepping through 20 photos of 6000 x 4000 (mean of 19 steps): each step decoding %.0f ms\n", plainPaused);
  std::printf("  with read-ahead, 400 ms between steps: %.1f ms a step (ratio %.3f; target: at most 0.15)\n", paused,
              paused / plainPaused);
  std::printf("  with read-ahead, the key held (no pause): %.0f ms a step, without %.0f ms (ratio %.3f; target: at most 1.05)\n",
              held, plain, held / plain);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

void RunPhotoBenchmarks(mirabo::TForm1& form, const std::filesystem::path& dir, const std::vector<uint8_t>& jpeg) {
  using namespace mirabo;
  RunUprightBenchmarks(form, dir, jpeg);
  RunStepBenchmarks(form, dir, jpeg);
  const std::filesystem::path path = dir / "turn.jpg";
  Write(path, jpeg);
  form.settings().Zoom = 0;
  form.settings().FitWin = 0;
  form.settings().Comp = 66;
  form.CurrentPath = path.wstring();
  form.ClassifyFile(form.CurrentPath);
  form.ShowJpeg();
  Paint();

  // On screen: the shown 6000 x 4000 x 24-bit picture, turned in place.
  DIBSECTION ds{};
  ::GetObjectW(form.ImageJpg().picture().Handle(), sizeof ds, &ds);
  const size_t bytes = static_cast<size_t>(ds.dsBm.bmWidthBytes) * static_cast<size_t>(ds.dsBm.bmHeight);
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes]);
  std::memset(copy.get(), 0, bytes);
  double plain = 1e9, fresh = 1e9, pixels = 1e9, warm = 1e9, cold = 0;
  for (int run = 0; run < 5; ++run) {
    auto start = Clock::now();
    std::memcpy(copy.get(), ds.dsBm.bmBits, bytes);
    plain = std::min(plain, Milliseconds(start));
    start = Clock::now();
    {
      // What any new bitmap of that size pays for its pages.
      std::unique_ptr<uint8_t[]> newMemory(new uint8_t[bytes]);
      std::memcpy(newMemory.get(), ds.dsBm.bmBits, bytes);
      fresh = std::min(fresh, Milliseconds(start));
    }
    start = Clock::now();
    {
      const Picture turned = RotatePicture(form.ImageJpg().picture(), run % 2 == 0);
      pixels = std::min(pixels, Milliseconds(start));
    }
    // The first turn of a shown photo makes a new bitmap; the turns after
    // it reuse the one the picture before had.
    start = Clock::now();
    form.ToolButton4Click();
    (run == 0 ? cold : warm) = run == 0 ? Milliseconds(start) : std::min(warm, Milliseconds(start));
    Paint();
    ::GetObjectW(form.ImageJpg().picture().Handle(), sizeof ds, &ds);
  }
  double inUse = 1e9;
  {
    // The pixels alone into a bitmap in use (the spare of the same shape).
    Picture target = RotatePicture(form.ImageJpg().picture(), true);
    for (int run = 0; run < 5; ++run) {
      const auto start = Clock::now();
      Picture again = RotatePicture(form.ImageJpg().picture(), true, {}, &target);
      inUse = std::min(inUse, Milliseconds(start));
      target = std::move(again);
    }
  }
  std::printf("\na quarter turn on screen of a 6000 x 4000 x 24-bit picture, against a plain copy of its %zu MB into "
              "memory already in use (best of 5): %.1f ms\n",
              bytes >> 20, plain);
  std::printf("  the pixels turned into a bitmap in use: %.1f ms (ratio %.2f; target: at most 4)\n", inUse,
              inUse / plain);
  std::printf("  the next turns (the whole command, its bitmap reused, the window's layout): %.1f ms (ratio %.2f)\n",
              warm, warm / plain);
  std::printf("  the first turn (the whole command, a new bitmap): %.1f ms (ratio %.2f)\n", cold, cold / plain);
  std::printf("  the pixels alone into a new bitmap: %.1f ms (ratio %.2f)\n", pixels, pixels / plain);
  std::printf("  for scale, the plain copy into newly allocated memory: %.1f ms (ratio %.2f)\n", fresh, fresh / plain);

  // Into the file: the original written back before each run (not timed),
  // so every run decodes the same quality-90 file the reference decodes.
  // The references: libjpeg-turbo's decode and encode as its tools do it,
  // the file read and the result written, and the strictest, in memory.
  bench::CompareJpegTurn(jpeg, 66, 5);
  const std::filesystem::path referenceOut = dir / "reference.jpg";
  // Nine runs each, interleaved: single runs on this kind of machine vary by
  // a fifth.
  double save = 1e9, inMemory = 1e9, withFiles = 1e9;
  for (int run = 0; run < 9; ++run) {
    inMemory = std::min(inMemory, bench::ReferenceDecodeEncode(jpeg, 66, 1) * 1000);
    Write(path, jpeg);
    auto start = Clock::now();
    {
      std::ifstream in(path, std::ios::binary | std::ios::ate);
      std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
      in.seekg(0);
      in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      Write(referenceOut, bench::DecodeEncode(bytes, 66));
    }
    withFiles = std::min(withFiles, Milliseconds(start));
    Write(path, jpeg);
    start = Clock::now();
    run % 2 == 0 ? form.RotateLeftAndSave(path.wstring()) : form.RotateRightAndSave(path.wstring());
    save = std::min(save, Milliseconds(start));
    Paint();
  }
  std::printf("turn-and-save of the 6000 x 4000 JPEG (%zu KB) at quality 66, file read to file replaced with its time "
              "(best of 9): %.0f ms\n",
              jpeg.size() / 1024, save);
  std::printf("  against libjpeg-turbo's decode + encode of it, file read and result written: %.0f ms (ratio %.3f; "
              "target: at most 1.2)\n",
              withFiles, save / withFiles);
  std::printf("  against the same in memory: %.0f ms (ratio %.3f)\n", inMemory, save / inMemory);
}
