#pragma once
// The plug-in registry's host on Windows: the dynamic-library loader, the
// folders it searches and the outside host's registry key.
#include <windows.h>

#include "plugins/spis.h"

namespace mirabo {

class WinSpiHost : public ISpiHost {
 public:
  std::unique_ptr<ISpiLibrary> Load(const std::string& path) override;
  std::vector<std::string> List(const std::string& folder, const std::string& pattern) override;
  std::string SusieFolder() override;
  std::string AppFolder() override;
  std::string CurrentFolder() override;
  std::string SystemFolder() override;
  std::string WindowsFolder() override;
};

// An export of a plug-in loaded by WinSpiHost, as looked up when it was
// loaded (nullptr when the plug-in has none), for the decoder.
FARPROC ExportOf(const ISpiLibrary& library, SpiExport which);

}  // namespace mirabo
