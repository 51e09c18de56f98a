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
#include "plugins/spi_host_protocol.h"

namespace mirabo {

using namespace spihost;

namespace {

// Why a call to a host ended without its answer.
enum class Failure { Died, Hung, Stopped };

struct HostFailure {
  Failure why;
};

}  // namespace

// A host's section of decoded blocks, mapped here; kept while a picture
// uses it and for the next answer, which usually names it again.
struct MappedBlocks {
  std::string name;
  win::UniqueKernelHandle section;
  const uint8_t* view = nullptr;
  uint64_t bytes = 0;
  ~MappedBlocks() {
    if (view) ::UnmapViewOfFile(view);
  }
};

// One helper process, its pipe and its control block.
class SpiHostProcess {
 public:
  SpiHostProcess(std::wstring exeName, unsigned& timeout) : exeName_(std::move(exeName)), timeout_(timeout) {}
  ~SpiHostProcess() { Stop(); }

  void SetFolder(const std::wstring& folder) {
    Join();
    folder_ = folder;
  }
  unsigned Generation() const {
    Join();
    return generation_;
  }
  unsigned Starts() const {
    Join();
    return starts_;
  }
  bool Available() const { return win::IsExistingFile(folder_ + exeName_); }
  bool Running() const {
    Join();
    return RunningNow();
  }

  // Starts the process on a thread of its own and hands it the libraries
  // to load meanwhile; every other call waits for that to be over.
  void StartEarly(std::vector<std::string> paths) {
    Join();
    starter_ = std::thread([this, paths = std::move(paths)] {
      if (!EnsureNow()) return;
      std::vector<uint8_t> body(sizeof(PreloadRequest));
      PreloadRequest request{0};
      for (const std::string& path : paths) {
        if (body.size() + sizeof(uint32_t) + path.size() > kMaxPayload) break;
        const auto bytes = static_cast<uint32_t>(path.size());
        body.insert(body.end(), reinterpret_cast<const uint8_t*>(&bytes), reinterpret_cast<const uint8_t*>(&bytes + 1));
        body.insert(body.end(), path.begin(), path.end());
        ++request.count;
      }
      std::memcpy(body.data(), &request, sizeof request);
      try {
        Send(Op::Preload, body.data(), body.size());
      } catch (const HostFailure&) {
      }
    });
  }

  void Join() const {
    if (starter_.joinable()) starter_.join();
  }

  // Starts the process when none runs; false when it cannot.
  bool Ensure() {
    Join();
    return EnsureNow();
  }

  void Stop() {
    Join();
    if (process_) ::TerminateProcess(process_.Get(), 1);
    Abandon();
  }

 private:
  bool RunningNow() const { return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

  bool EnsureNow() {
    if (RunningNow()) return true;
    Abandon();
    if (!Available()) return false;
    static std::atomic<unsigned long> lastCounter{0};
    const unsigned long counter = ++lastCounter;
    wchar_t pipeName[96], controlName[96];
    ::swprintf(pipeName, 96, L"\\\\.\\pipe\\mirabo-spi-%lu-%lu", ::GetCurrentProcessId(), counter);
    ::swprintf(controlName, 96, L"Local\\mirabo-spi-control-%lu-%lu", ::GetCurrentProcessId(), counter);
    pipe_.Reset(::CreateNamedPipeW(pipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 64 * 1024, 64 * 1024, 0, nullptr));
    if (!pipe_) return false;
    controlSection_.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Control), controlName));
    if (!controlSection_) return Abandon();
    control_ = static_cast<Control*>(::MapViewOfFile(controlSection_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Control)));
    if (!control_) return Abandon();
    std::wstring command = L"\"" + folder_ + exeName_ + L"\" " + pipeName + L" " + controlName;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW((folder_ + exeName_).c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &info))
      return Abandon();
    // The host ends with the program, whatever way the program ends.
    if (!job_) {
      job_.Reset(::CreateJobObjectW(nullptr, nullptr));
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      ::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    ::AssignProcessToJobObject(job_.Get(), info.hProcess);
    process_.Reset(info.hProcess);
    ::ResumeThread(info.hThread);
    ::CloseHandle(info.hThread);
    // Its connection, or its end.
    OVERLAPPED connect{};
    win::UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    connect.hEvent = event.Get();
    if (!::ConnectNamedPipe(pipe_.Get(), &connect)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_IO_PENDING) {
        const HANDLE waits[] = {event.Get(), process_.Get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, 10000) != WAIT_OBJECT_0) {
          ::CancelIo(pipe_.Get());
          return Abandon();
        }
      } else if (error != ERROR_PIPE_CONNECTED) {
        return Abandon();
      }
    }
    ++generation_;
    ++starts_;
    return true;
  }

 public:
  // Whether no picture holds the last blocks, so the host may refill them.
  bool BlocksFree() const { return !blocks_ || blocks_.use_count() == 1; }

  // The named section of an answer, mapped; nullptr when it cannot be.
  std::shared_ptr<const MappedBlocks> MapBlocks(const std::string& name, uint64_t bytes) {
    if (blocks_ && blocks_->name == name && blocks_->bytes >= bytes) return blocks_;
    auto blocks = std::make_shared<MappedBlocks>();
    blocks->name = name;
    blocks->section.Reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, win::Utf8ToWide(name).c_str()));
    if (!blocks->section) return nullptr;
    blocks->view = static_cast<const uint8_t*>(::MapViewOfFile(blocks->section.Get(), FILE_MAP_READ, 0, 0, 0));
    MEMORY_BASIC_INFORMATION region{};
    if (!blocks->view || !::VirtualQuery(blocks->view, &region, sizeof region)) return nullptr;
    blocks->bytes = region.RegionSize;
    if (blocks->bytes < bytes) return nullptr;
    blocks_ = blocks;
    return blocks_;
  }

  void Send(Op op, const void* body, size_t bodySize, const void* tail = nullptr, size_t tailSize = 0) {
    const std::vector<uint8_t> message = FrameMessage(op, body, bodySize, tail, tailSize);
    OVERLAPPED write{};
    write.hEvent = writeDone_.Get();
    DWORD written = 0;
    if (!::WriteFile(pipe_.Get(), message.data(), static_cast<DWORD>(message.size()), nullptr, &write) &&
        ::GetLastError() != ERROR_IO_PENDING)
      Fail(Failure::Died);
    if (!::GetOverlappedResult(pipe_.Get(), &write, &written, TRUE) || written != message.size()) Fail(Failure::Died);
  }

  // The answer to op; progress notes on the way go to progress, whose false
  // asks the plug-in to stop. While waiting, the window paints, Esc stops
  // the work, and a host silent for too long is ended.
  std::vector<uint8_t> Receive(Op op, const SpiProgress* progress, bool answerEachProgress = false) {
    const ULONGLONG start = ::GetTickCount64();
    ULONGLONG lastSign = start;
    uint32_t calls = control_->progressCalls;
    for (;;) {
      Header header{};
      ReadExact(&header, sizeof header, lastSign, calls);
      if (header.size > kMaxPayload) Fail(Failure::Died);
      std::vector<uint8_t> payload(header.size);
      if (header.size) ReadExact(payload.data(), header.size, lastSign, calls);
      if (static_cast<Op>(header.op) == op) return payload;
      if (static_cast<Op>(header.op) == Op::Progress && payload.size() == sizeof(ProgressNote)) {
        ProgressNote note{};
        std::memcpy(&note, payload.data(), sizeof note);
        const bool goOn = !progress || !*progress || (*progress)(note.num, note.denom);
        if (answerEachProgress) {
          const Answer answer{goOn ? 0 : 1};
          Send(Op::Progress, &answer, sizeof answer);
        } else if (!goOn) {
          control_->stop = 1;
        }
      }
    }
  }

 private:
  [[noreturn]] void Fail(Failure why) {
    Stop();
    throw HostFailure{why};
  }

  bool Abandon() {
    blocks_.reset();
    inbox_.clear();
    inboxAt_ = 0;
    if (control_) ::UnmapViewOfFile(control_);
    control_ = nullptr;
    controlSection_.Reset();
    pipe_.Reset();
    process_.Reset();
    return false;
  }

  // Reads exactly size bytes, waiting as Receive says.
  // Whole messages usually come in one read: one call of the pipe each.
  void ReadExact(void* buffer, size_t size, ULONGLONG& lastSign, uint32_t& calls) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (size) {
      if (inboxAt_ == inbox_.size()) {
        inbox_.resize(kReadChunk);
        inboxAt_ = 0;
        OVERLAPPED read{};
        read.hEvent = readDone_.Get();
        DWORD got = 0;
        if (!::ReadFile(pipe_.Get(), inbox_.data(), kReadChunk, nullptr, &read)) {
          if (::GetLastError() != ERROR_IO_PENDING) Fail(Failure::Died);
          Wait(readDone_.Get(), lastSign, calls);
        }
        if (!::GetOverlappedResult(pipe_.Get(), &read, &got, TRUE) || got == 0) Fail(Failure::Died);
        inbox_.resize(got);
      }
      const size_t n = std::min(size, inbox_.size() - inboxAt_);
      std::memcpy(p, inbox_.data() + inboxAt_, n);
      inboxAt_ += n;
      p += n;
      size -= n;
    }
  }

  void Wait(HANDLE readDone, ULONGLONG& lastSign, uint32_t& calls) {
    const HANDLE waits[] = {readDone, process_.Get()};
    for (;;) {
      const DWORD r = ::MsgWaitForMultipleObjects(2, waits, FALSE, 100, QS_PAINT | QS_KEY | QS_POSTMESSAGE);
      if (r == WAIT_OBJECT_0) return;
      if (r == WAIT_OBJECT_0 + 1) {
        ::CancelIo(pipe_.Get());
        Fail(Failure::Died);
      }
      MSG msg;
      // Esc, and only Esc, is taken from the keys typed meanwhile.
      if (::PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && msg.wParam == VK_ESCAPE) {
        ::PeekMessageW(&msg, msg.hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
        ::CancelIo(pipe_.Get());
        Fail(Failure::Stopped);
      }
      while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageW(&msg);
      // A plug-in that calls its progress callback is alive.
      const ULONGLONG now = ::GetTickCount64();
      if (control_->progressCalls != calls) {
        calls = control_->progressCalls;
        lastSign = now;
      }
      if (now - lastSign > timeout_) {
        ::CancelIo(pipe_.Get());
        Fail(Failure::Hung);
      }
    }
  }

  std::wstring exeName_, folder_;
  unsigned& timeout_;
  win::UniqueKernelHandle process_, controlSection_, job_;
  // Reused by every exchange: events cost a server call each to make.
  win::UniqueKernelHandle readDone_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win::UniqueKernelHandle writeDone_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win::UniqueFile pipe_;
  Control* control_ = nullptr;
  unsigned generation_ = 0, starts_ = 0;
  std::shared_ptr<MappedBlocks> blocks_;
  std::vector<uint8_t> inbox_;
  size_t inboxAt_ = 0;
  mutable std::thread starter_;  // the start begun early, until joined
};

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
    LoadAnswer load{};
    if (answer.size() < sizeof load) return false;
    std::memcpy(&load, answer.data(), sizeof load);
    if (!load.library) return false;
    id_ = load.library;
    generation_ = host_.Generation();
    exports_ = load.exportMask;
    size_t at = sizeof load;
    const auto take = [&](size_t bytes) {
      if (answer.size() - at < bytes) throw HostFailure{Failure::Died};  // not our host's answer
      std::string text(answer.begin() + static_cast<std::ptrdiff_t>(at), answer.begin() + static_cast<std::ptrdiff_t>(at + bytes));
      at += bytes;
      return text;
    };
    moduleName_ = take(load.nameBytes);
    infos_.clear();
    for (uint32_t i = 0; i < load.infoCount && i < kMaxInfoTexts; ++i) {
      InfoText record{};
      std::memcpy(&record, take(sizeof record).data(), sizeof record);
      infos_.emplace_back(record.result, take(record.bytes));
    }
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
      Answer result{};
      if (answer.size() < sizeof result) return 0;
      std::memcpy(&result, answer.data(), sizeof result);
      text.assign(answer.begin() + sizeof result, answer.end());
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
      const std::vector<uint8_t> answer = host_.Receive(Op::IsSupported, nullptr);
      Answer result{};
      if (answer.size() >= sizeof result) std::memcpy(&result, answer.data(), sizeof result);
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
      DecodeAnswer decode{};
      if (answer.size() < sizeof decode) return -1;
      std::memcpy(&decode, answer.data(), sizeof decode);
      if (static_cast<Outcome>(decode.outcome) == Outcome::HeapDamaged) {
        host_.Stop();  // it ends itself; it is not to be asked again
        throw HostFailure{Failure::Died};
      }
      if (decode.result != 0 || decode.infoBytes == 0 || decode.bitsBytes == 0) return static_cast<int>(decode.result);
      const std::string blocksName(answer.begin() + sizeof decode, answer.end());
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
        case Failure::Died:
          throw EMirabo(FormatMessageText("プラグイン %s が %s の読み込み中に異常終了しました", plugin, file));
        case Failure::Hung:
          throw EMirabo(FormatMessageText("プラグイン %s が %s の読み込みで応答しないため中止しました", plugin, file));
        case Failure::Stopped:
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

bool HasExtension(const std::string& path, const char* extension) {
  const size_t n = std::strlen(extension);
  if (path.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != extension[i]) return false;
  return true;
}

}  // namespace

RemoteSpiHost::RemoteSpiHost()
    : sph_(std::make_unique<SpiHostProcess>(L"mirabo_sph_host.exe", timeout_)),
      spi_(std::make_unique<SpiHostProcess>(L"mirabo_spi_host.exe", timeout_)) {
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
    if (HasExtension(path, ".sph")) sph.push_back(path);
    else if (HasExtension(path, ".spi")) spi.push_back(path);
  }
  if (!sph.empty() && sph_->Available()) sph_->StartEarly(std::move(sph));
  if (!spi.empty() && spi_->Available()) spi_->StartEarly(std::move(spi));
}

std::unique_ptr<ISpiLibrary> RemoteSpiHost::Load(const std::string& path) {
  SpiHostProcess* host = HasExtension(path, ".sph") ? sph_.get() : HasExtension(path, ".spi") ? spi_.get() : nullptr;
  if (!host) return nullptr;
  std::weak_ptr<RemoteModule>& shared = modules_[path];
  std::shared_ptr<RemoteModule> module = shared.lock();
  if (!module) module = std::make_shared<RemoteModule>(*host, path);
  try {
    if (!module->Attach()) return nullptr;
  } catch (const HostFailure&) {
    return nullptr;  // a library whose loading ends its host cannot be used
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
