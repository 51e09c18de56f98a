#pragma once
// The 64-bit program's plug-in loader: decoder plug-ins run in helper
// processes beside the program (mirabo_sph_host.exe for ".sph",
// mirabo_spi_host.exe — a 32-bit program — for ".spi"), started once on
// first need and again after one dies. A plug-in that crashes, hangs or
// damages its memory costs its file: the error names the plug-in and the
// file, and the next call starts a fresh host. While a host works the
// window keeps painting, and Esc stops the work at once.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "plugins/spis.h"
#include "plugins/win_spi_host.h"

namespace mirabo {

class IHostWait;
class SpiHostProcess;
class RemoteModule;

class RemoteSpiHost : public ISpiHost {
 public:
  RemoteSpiHost();
  ~RemoteSpiHost() override;
  // A call that neither answers nor calls its progress callback for this
  // long ends its host (30 s; tests shorten it).
  void SetTimeout(unsigned milliseconds);
  // The hosts' folder (the program's by default).
  void SetHostFolder(const std::wstring& folder);
  // How many times a host process has been started (for tests).
  unsigned Starts() const;
  // At the program's start, before its window: the hosts the libraries at
  // these paths need are started on threads of their own and load them
  // while the program goes on; a Load of one of them then takes it. No
  // host starts when no path needs it.
  void Prestart(const std::vector<std::string>& paths);

  std::unique_ptr<ISpiLibrary> Load(const std::string& path) override;
  // Several patterns separated by ";" are listed one after the other.
  std::vector<std::string> List(const std::string& folder, const std::string& pattern) override;
  std::string SusieFolder() override { return local_.SusieFolder(); }
  std::string AppFolder() override { return local_.AppFolder(); }
  std::string CurrentFolder() override { return local_.CurrentFolder(); }
  std::string SystemFolder() override { return local_.SystemFolder(); }
  std::string WindowsFolder() override { return local_.WindowsFolder(); }

 private:
  WinSpiHost local_;
  unsigned timeout_ = 30000;
  std::unique_ptr<IHostWait> wait_;  // the window's way of waiting, shared by the two hosts
  std::unique_ptr<SpiHostProcess> sph_, spi_;
  std::map<std::string, std::weak_ptr<RemoteModule>> modules_;  // the libraries loaded, by path
};

}  // namespace mirabo
