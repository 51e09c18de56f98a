// Plug-ins in helper processes beside the same plug-ins loaded in the
// program's own process, measured in the same run: decoding a 24-megapixel
// picture through the PPM test plug-in (the program's whole share included:
// the bitmap assembled and made a bitmap of the system's), and what a folder
// of plug-ins adds to the program's start.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/unit1.h"
#include "base/picture/picture.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "bench/timing.h"
#include "bench/window_start.h"
#include "plugins/dib_assembly.h"
#include "plugins/remote_spi_host.h"
#include "plugins/win_spi_host.h"
#include "settings/win_file_store.h"

namespace {

using mirabo::bench::Time;

// What the viewer does with a plug-in for one file.
int Decode(mirabo::ISpiLibrary& library, const std::vector<uint8_t>& file, const std::string& path) {
  using namespace mirabo;
  if (library.IsSupported("big.ppm", file.data()) == 0) return -1;
  SpiSource source;
  source.data = file.data();
  source.size = file.size();
  source.filePath = path;
  source.name = "big.ppm";
  std::unique_ptr<ISpiPicture> picture;
  const int rc = library.GetPicture(source, [](int, int) { return true; }, picture);
  if (rc != 0 || !picture) return rc;
  const auto bitmap = AssembleBitmap(picture->Info(), picture->Bits());
  picture.reset();
  const Picture shown = LoadBitmapMemory(bitmap->file.data(), bitmap->file.size());
  return shown.Width();
}

}  // namespace

void RunPluginBenchmarks(const std::filesystem::path& dir) {
  using namespace mirabo;
  const std::wstring exeFolder = win::FolderWithSlash(win::ExecutablePath());
  const std::filesystem::path plugin = std::filesystem::path(exeFolder) / L"testplugins" / L"ifppm.sph";
  if (!std::filesystem::exists(plugin)) {
    std::printf("\n(no plug-in benchmarks: %ls is missing)\n", plugin.c_str());
    return;
  }
  // 6000 x 4000, 24 bits.
  const std::filesystem::path ppm = dir / "big.ppm";
  {
    std::string header = "P6\n6000 4000\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.resize(header.size() + 6000ull * 4000 * 3);
    for (size_t i = header.size(); i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    std::ofstream(ppm, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  }
  const MappedFile file(ppm.wstring());
  const std::vector<uint8_t> head(file.Data(), file.Data() + std::min<size_t>(file.Size(), 4096));
  std::vector<uint8_t> data(file.Data(), file.Data() + file.Size());
  WinSpiHost local;
  RemoteSpiHost remote;
  const auto inProcess = local.Load(win::WideToUtf8(plugin.wstring()));
  const auto inHost = remote.Load(win::WideToUtf8(plugin.wstring()));
  double own = 1e9, hosted = 1e9;
  for (int run = 0; run < 7; ++run) {
    own = std::min(own, Time([&] { Decode(*inProcess, data, ""); }));
    hosted = std::min(hosted, Time([&] { Decode(*inHost, data, win::WideToUtf8(ppm.wstring())); }));
  }
  std::printf("\ndecoding a 6000 x 4000 picture through the PPM test plug-in (best of 7, in turns): in a helper process "
              "%.0f ms; in the program's own process %.0f ms (ratio %.3f; target: at most 1.15)\n",
              hosted, own, hosted / own);

  // Start-up: a folder of copies of the test plug-in. In process, the
  // registry's search of it is all a start pays; through the hosts, what
  // the folder adds to the main window's whole start (the hosts are started
  // at its beginning and load the plug-ins while the window is made).
  const std::filesystem::path folder = dir / "plugins", none = dir / "no-plugins";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(none);
  for (int i = 0; i < 20; ++i)
    std::filesystem::copy_file(plugin, folder / (L"p" + std::to_wstring(i) + L".sph"),
                               std::filesystem::copy_options::overwrite_existing);
  const std::string folderMask = win::WideToUtf8(folder.wstring()) + "\\*.sph";
  const auto windowStart = [&](const std::filesystem::path& folder) { return bench::WindowStart(dir, folder); };
  double ownSearch = 1e9, firstNeed = 1e9, with = 1e9, without = 1e9;
  for (int run = 0; run < 5; ++run) {
    ownSearch = std::min(ownSearch, Time([&] {
                     WinSpiHost host;
                     TSPIs registry(host);
                     registry.Search(folderMask);
                   }));
    firstNeed = std::min(firstNeed, Time([&] {
                           RemoteSpiHost host;
                           TSPIs registry(host);
                           registry.Search(folderMask);
                         }));
    with = std::min(with, windowStart(folder));
    without = std::min(without, windowStart(none));
  }
  std::printf("what 20 plug-ins add to the start (best of 5): through the helpers %.1f ms (the main window's start "
              "%.1f ms with them, %.1f ms without); in process %.1f ms (ratio %.3f: a process start costs what "
              "it costs, no target); a search "
              "through a helper started only when the search begins: %.1f ms\n",
              with - without, with, without, ownSearch, (with - without) / ownSearch, firstNeed);
}
