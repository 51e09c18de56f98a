#pragma once
// How long the main window takes to be made with the plug-in folder given
// in its settings (written to dir), the hosts started and their plug-ins
// loaded as at a real start.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "app/unit1.h"
#include "base/win/text.h"
#include "bench/timing.h"
#include "settings/win_file_store.h"

namespace mirabo::bench {

inline double WindowStart(const std::filesystem::path& dir, const std::filesystem::path& plugins) {
  const std::filesystem::path ini = dir / "start.INI";
  std::ofstream(ini, std::ios::binary) << "[Susie]\r\nPath=" << win::WideToCp932(plugins.wstring()) << "\\\r\n";
  Settings settings;
  win::WinFileStore files;
  TForm1 form({settings, files, ini, "C:\\", {}});
  const double ms = Time([&] { form.Create(); });
  ::DestroyWindow(form.Handle());
  return ms;
}

}  // namespace mirabo::bench
