#include "plugins/remote_spi_host.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "plugins/host_process.h"
#include "plugins/spi_host_protocol.h"

namespace mirabo {

using namespace spihost;

namespace {

// The window keeps painting while a host works, Esc (and only Esc, of the
// keys typed meanwhile) stops the call, and a host that neither answers nor
// calls its progress callback for the time-out is given up.
class UiHostWait : public IHostWait {
 public:
  explicit UiHostWait(const unsigned& timeout) : timeout_(timeout) {}
  DWORD WakeMask() const override { return QS_PAINT | QS_KEY | QS_POSTMESSAGE; }
  void Start(uint32_t progressCalls) override {
    calls_ = progressCalls;
    lastSign_ = ::GetTickCount64();
  }
  std::optional<HostFailureKind> Check(uint32_t progressCalls) override {
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && msg.wParam == VK_ESCAPE) {
      ::PeekMessageW(&msg, msg.hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
      return HostFailureKind::Stopped;
    }
    while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageW(&msg);
    const ULONGLONG now = ::GetTickCount64();
    if (progressCalls != calls_) {
      calls_ = progressCalls;
      lastSign_ = now;
    }
    if (now - lastSign_ > timeout_) return HostFailureKind::Hung;
    return std::nullopt;
  }

 private:
  const unsigned& timeout_;
  uint32_t calls_ = 0;
  ULONGLONG lastSign_ = 0;
};

}  // namespace

namespace {

// Decoded blocks in the host's section.
class SectionPicture : public ISpiPicture {
 public:
  SectionPicture(std::shared_ptr<const MappedBlocks> blocks, uint64_t infoBytes, uint64_t bitsBytes)
      : blocks_(std::move(blocks)), infoBytes_(infoBytes), bitsBytes_(bitsBytes) {}
  std::span<const uint8_t> Info() const override { return {blocks_->view, static_cast<size_t>(infoBytes_)}; }
  std::span<const uint8_t> Bits() const override {
    return {blocks_->view + infoBytes_, static_cast<size_t>(bitsBytes_)};
  }

 private:
  std::shared_ptr<const MappedBlocks> blocks_;
  uint64_t infoBytes_, bitsBytes_;
};

}  // namespace

// A library loaded in a host, shared by every load of the same path while
// one lives, as the system's loader shares a module between loads: a
// second load costs no exchange, and the host unloads it with the last.
class RemoteModule {
 public:
  RemoteModule(SpiHostProcess& host, std::string path) : host_(host), path_(std::move(path)) {}
  ~RemoteModule() {
    if (id_ && generation_ == host_.Generation() && host_.Running()) {
      try {
        const LibraryRequest request{id_};
        host_.Send(Op::Unload, &request, sizeof request);
      } catch (const HostFailure&) {
      }
    }
  }

  // Loads the library in the (current) host; false when it cannot be.
  bool Attach() {
    if (id_ && generation_ == host_.Generation() && host_.Running()) return true;
    id_ = 0;
    if (!host_.Ensure()) return false;
    host_.Send(Op::Load, path_.data(), path_.size());
    const std::vector<uint8_t> answer = host_.Receive(Op::Load, nullptr);
    PayloadCursor cursor(answer);
    LoadAnswer load{};
    if (!cursor.Take(load) || !load.library) return false;
    std::string name;
    std::vector<std::pair<int, std::string>> infos;
    InfoText record{};
    std::string text;
    cursor.TakeText(load.nameBytes, name);
    for (uint32_t i = 0; i < load.infoCount && i < kMaxInfoTexts && cursor.Take(record) && cursor.TakeText(record.bytes, text); ++i)
      infos.emplace_back(record.result, text);
    if (!cursor.Ok()) throw HostFailure{HostFailureKind::Died};  // not our host's answer
    id_ = load.library;
    generation_ = host_.Generation();
    exports_ = load.exportMask;
    moduleName_ = std::move(name);
    infos_ = std::move(infos);
    return true;
  }

  std::string ModuleFileName() const { return moduleName_; }
  bool HasExport(SpiExport e) const { return exports_ >> static_cast<int>(e) & 1; }

  int GetPluginInfo(int number, std::string& text) {
    if (number >= 0 && static_cast<size_t>(number) < infos_.size()) {
      text = infos_[static_cast<size_t>(number)].second;
      return infos_[static_cast<size_t>(number)].first;
    }
    try {
      if (!Attach()) throw ESPIInvalidSPI(FormatMessageText("%s を読み込めません", path_));
      const PluginInfoRequest request{id_, number};
      host_.Send(Op::PluginInfo, &request, sizeof request);
      const std::vector<uint8_t> answer = host_.Receive(Op::PluginInfo, nullptr);
      PayloadCursor cursor(answer);
      Answer result{};
      if (!cursor.Take(result)) return 0;
      text = cursor.Rest();
      return result.result;
    } catch (const HostFailure&) {
      // A plug-in that ends its host while saying what it is cannot be used.
      throw ESPIInvalidSPI(FormatMessageText("%s を読み込めません", path_));
    }
  }

  int IsSupported(const std::string& ansiName, const uint8_t* head2048) {
    return Guarded(ansiName, [&] {
      if (!Attach()) return 0;
      std::vector<uint8_t> body(sizeof(IsSupportedRequest) + ansiName.size() + kHeadBytes);
      const IsSupportedRequest request{id_, static_cast<uint32_t>(ansiName.size())};
      std::memcpy(body.data(), &request, sizeof request);
      std::memcpy(body.data() + sizeof request, ansiName.data(), ansiName.size());
      std::memcpy(body.data() + sizeof request + ansiName.size(), head2048, kHeadBytes);
      host_.Send(Op::IsSupported, body.data(), body.size());
      Answer result{};
      PayloadCursor(host_.Receive(Op::IsSupported, nullptr)).Take(result);
      return static_cast<int>(result.result);
    });
  }

  int GetPicture(const SpiSource& source, const SpiProgress& progress, std::unique_ptr<ISpiPicture>& picture) {
    picture.reset();
    return Guarded(source.name, [&] {
      if (!Attach()) return -1;
      DecodeRequest request{id_, 0, 0, source.size, source.answerEachProgress ? 1u : 0u, host_.BlocksFree() ? 1u : 0u};
      std::string name;
      win::UniqueKernelHandle input;  // the bytes, when they are no file's
      if (!source.filePath.empty()) {
        request.sourceKind = static_cast<uint32_t>(SourceKind::File);
        request.offset = source.fileOffset;
        name = source.filePath;
      } else {
        static unsigned long counter = 0;
        wchar_t sectionName[96];
        ::swprintf(sectionName, 96, L"Local\\mirabo-spi-in-%lu-%lu", ::GetCurrentProcessId(), ++counter);
        const uint64_t bytes = std::max<uint64_t>(source.size, 1);
        input.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(bytes >> 32),
                                         static_cast<DWORD>(bytes), sectionName));
        if (!input) throw EMirabo("メモリが足りません");
        void* view = ::MapViewOfFile(input.Get(), FILE_MAP_WRITE, 0, 0, 0);
        if (!view) throw EMirabo("メモリが足りません");
        std::memcpy(view, source.data, source.size);
        ::UnmapViewOfFile(view);
        name = win::WideToUtf8(sectionName);
      }
      host_.Send(Op::Decode, &request, sizeof request, name.data(), name.size());
      const std::vector<uint8_t> answer = host_.Receive(Op::Decode, &progress, source.answerEachProgress);
      PayloadCursor cursor(answer);
      DecodeAnswer decode{};
      if (!cursor.Take(decode)) return -1;
      if (static_cast<Outcome>(decode.outcome) == Outcome::HeapDamaged) {
        host_.Stop();  // it ends itself; it is not to be asked again
        throw HostFailure{HostFailureKind::Died};
      }
      if (decode.result != 0 || decode.infoBytes == 0 || decode.bitsBytes == 0) return static_cast<int>(decode.result);
      const std::string blocksName = cursor.Rest();
      auto blocks = host_.MapBlocks(blocksName, decode.infoBytes + decode.bitsBytes);
      if (!blocks) return 4;
      picture = std::make_unique<SectionPicture>(std::move(blocks), decode.infoBytes, decode.bitsBytes);
      return 0;
    });
  }

 private:
  // A host that died, hung or was stopped costs this call: its error names
  // the plug-in and the file; the next call starts a fresh host.
  template <typename F>
  int Guarded(const std::string& fileName, F call) {
    try {
      return call();
    } catch (const HostFailure& failure) {
      const std::string plugin(FileNameOf(path_)), file(FileNameOf(fileName));
      switch (failure.why) {
        case HostFailureKind::Died:
          throw EMirabo(FormatMessageText("プラグイン %s が %s の読み込み中に異常終了しました", plugin, file));
        case HostFailureKind::Hung:
          throw EMirabo(FormatMessageText("プラグイン %s が %s の読み込みで応答しないため中止しました", plugin, file));
        case HostFailureKind::Stopped:
          throw EMirabo(FormatMessageText("プラグイン %s による %s の読み込みを中止しました", plugin, file));
      }
      throw;
    }
  }

  SpiHostProcess& host_;
  std::string path_, moduleName_;
  uint32_t id_ = 0, exports_ = 0;
  unsigned generation_ = 0;
  std::vector<std::pair<int, std::string>> infos_;  // the answers that came with the library
};

namespace {

class RemoteSpiLibrary : public ISpiLibrary {
 public:
  explicit RemoteSpiLibrary(std::shared_ptr<RemoteModule> module) : module_(std::move(module)) {}
  std::string ModuleFileName() const override { return module_->ModuleFileName(); }
  bool HasExport(SpiExport e) const override { return module_->HasExport(e); }
  int GetPluginInfo(int number, std::string& text) const override { return module_->GetPluginInfo(number, text); }
  int IsSupported(const std::string& ansiName, const uint8_t* head2048) override {
    return module_->IsSupported(ansiName, head2048);
  }
  int GetPicture(const SpiSource& source, const SpiProgress& progress, std::unique_ptr<ISpiPicture>& picture) override {
    return module_->GetPicture(source, progress, picture);
  }

 private:
  std::shared_ptr<RemoteModule> module_;
};

}  // namespace

RemoteSpiHost::RemoteSpiHost()
    : wait_(std::make_unique<UiHostWait>(timeout_)),
      sph_(std::make_unique<SpiHostProcess>(L"mirabo_sph_host.exe", *wait_)),
      spi_(std::make_unique<SpiHostProcess>(L"mirabo_spi_host.exe", *wait_)) {
  SetHostFolder(win::FolderWithSlash(win::ExecutablePath()));
}

RemoteSpiHost::~RemoteSpiHost() = default;

void RemoteSpiHost::SetTimeout(unsigned milliseconds) { timeout_ = milliseconds; }

void RemoteSpiHost::SetHostFolder(const std::wstring& folder) {
  sph_->SetFolder(folder);
  spi_->SetFolder(folder);
}

unsigned RemoteSpiHost::Starts() const { return sph_->Starts() + spi_->Starts(); }

void RemoteSpiHost::Prestart(const std::vector<std::string>& paths) {
  std::vector<std::string> sph, spi;
  for (const std::string& path : paths) {
    if (EndsWithAsciiNoCase(path, ".sph")) sph.push_back(path);
    else if (EndsWithAsciiNoCase(path, ".spi")) spi.push_back(path);
  }
  if (!sph.empty() && sph_->Available()) sph_->StartEarly(std::move(sph));
  if (!spi.empty() && spi_->Available()) spi_->StartEarly(std::move(spi));
}

std::unique_ptr<ISpiLibrary> RemoteSpiHost::Load(const std::string& path) {
  SpiHostProcess* host = EndsWithAsciiNoCase(path, ".sph") ? sph_.get() : EndsWithAsciiNoCase(path, ".spi") ? spi_.get() : nullptr;
  if (!host) return nullptr;
  std::weak_ptr<RemoteModule>& shared = modules_[path];
  std::shared_ptr<RemoteModule> module = shared.lock();
  if (!module) module = std::make_shared<RemoteModule>(*host, path);
  try {
    if (!module->Attach()) return nullptr;
  } catch (const HostFailure&) {
    // The host may have died loading ahead a library the start-up search
    // comes to later, while this one's load was on its way: this one is
    // tried once more in a fresh host, which loads nothing ahead.
    if (!host->LastFailedPreloading()) return nullptr;  // a library whose loading ends its host cannot be used
    try {
      if (!module->Attach()) return nullptr;
    } catch (const HostFailure&) {
      return nullptr;
    }
  }
  shared = module;
  return std::make_unique<RemoteSpiLibrary>(std::move(module));
}

std::vector<std::string> RemoteSpiHost::List(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= pattern.size();) {
    const size_t semi = pattern.find(';', start);
    const std::string one = pattern.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
    for (const std::string& name : local_.List(folder, one))
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return names;
}

}  // namespace mirabo
