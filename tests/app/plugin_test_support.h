#pragma once
// Test plug-ins for the window's tests: where the built ones are, a folder
// holding some of them, the settings that name it, and pictures they read.
#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "base/win/paths.h"
#include "base/win/text.h"
#include "plugins/spi_abi.h"
#include "tests/app/win_test_support.h"

namespace mirabo::testing {

// A built test plug-in (".sph" or ".spi", as the build makes them).
inline std::filesystem::path TestPlugin(const wchar_t* stem) {
  std::wstring name = stem;
  name += std::wstring(spi::kPluginMask).substr(1);
  return std::filesystem::path(win::FolderWithSlash(win::ExecutablePath())) / L"testdata" / name;
}

inline std::string IniWithSusiePath(const std::filesystem::path& folder) {
  return "[Susie]\r\nPath=" + win::WideToCp932(folder.wstring()) + "\\\r\n";
}

// A folder holding the named test plug-ins, given to the window by its settings.
struct PluginFolder {
  explicit PluginFolder(std::initializer_list<const wchar_t*> stems) {
    for (const wchar_t* stem : stems) std::filesystem::copy_file(TestPlugin(stem), Path(stem));
  }
  std::filesystem::path Path(const wchar_t* stem) const {
    return dir / (std::wstring(stem) + std::wstring(spi::kPluginMask).substr(1));
  }
  TempDir dir;
};

// The variant plug-ins' format: "TST", then anything. A fourth byte 'X'
// makes the misbehaving variants misbehave.
inline std::string TestPicture(size_t junkBefore = 0, size_t size = 200, bool bad = false) {
  std::string bytes(junkBefore, 'J');
  bytes += bad ? "TSTX" : "TST";
  bytes.resize(std::max(size, bytes.size()), '\0');
  return bytes;
}

}  // namespace mirabo::testing
