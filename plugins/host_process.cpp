#include "plugins/host_process.h"

#include <atomic>
#include <cstring>

#include "base/win/paths.h"
#include "base/win/text.h"

namespace mirabo {

using namespace spihost;

SpiHostProcess::SpiHostProcess(std::wstring exeName, IHostWait& wait)
    : exeName_(std::move(exeName)), wait_(wait),
      reader_([this](uint8_t* buffer, size_t capacity) { return ReadSome(buffer, capacity); }) {}

SpiHostProcess::~SpiHostProcess() { Stop(); }

void SpiHostProcess::SetFolder(const std::wstring& folder) {
  Join();
  folder_ = folder;
}

unsigned SpiHostProcess::Generation() const {
  Join();
  return generation_;
}

unsigned SpiHostProcess::Starts() const {
  Join();
  return starts_;
}

bool SpiHostProcess::Available() const { return win::IsExistingFile(folder_ + exeName_); }

bool SpiHostProcess::Running() const {
  Join();
  return RunningNow();
}

void SpiHostProcess::StartEarly(std::vector<std::string> paths) {
  Join();
  starter_ = std::thread([this, paths = std::move(paths)] {
    if (!EnsureNow()) return;
    preloadingGeneration_ = generation_;
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

void SpiHostProcess::Join() const {
  if (starter_.joinable()) starter_.join();
}

bool SpiHostProcess::Ensure() {
  Join();
  return EnsureNow();
}

void SpiHostProcess::Stop() {
  Join();
  if (process_) ::TerminateProcess(process_.Get(), 1);
  Abandon();
}

bool SpiHostProcess::RunningNow() const { return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

bool SpiHostProcess::EnsureNow() {
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

std::shared_ptr<const MappedBlocks> SpiHostProcess::MapBlocks(const std::string& name, uint64_t bytes) {
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

void SpiHostProcess::Send(Op op, const void* body, size_t bodySize, const void* tail, size_t tailSize) {
  const std::vector<uint8_t> message = FrameMessage(op, body, bodySize, tail, tailSize);
  OVERLAPPED write{};
  write.hEvent = writeDone_.Get();
  DWORD written = 0;
  if (!::WriteFile(pipe_.Get(), message.data(), static_cast<DWORD>(message.size()), nullptr, &write) &&
      ::GetLastError() != ERROR_IO_PENDING)
    Fail(HostFailureKind::Died);
  if (!::GetOverlappedResult(pipe_.Get(), &write, &written, TRUE) || written != message.size())
    Fail(HostFailureKind::Died);
}

std::vector<uint8_t> SpiHostProcess::Receive(Op op, const std::function<bool(int, int)>* progress,
                                             bool answerEachProgress) {
  wait_.Start(control_->progressCalls);
  for (;;) {
    Header header{};
    reader_.ReadExact(&header, sizeof header);
    if (header.size > kMaxPayload) Fail(HostFailureKind::Died);
    std::vector<uint8_t> payload(header.size);
    if (header.size) reader_.ReadExact(payload.data(), header.size);
    if (static_cast<Op>(header.op) == op) return payload;
    ProgressNote note{};
    if (static_cast<Op>(header.op) == Op::Progress && PayloadCursor(payload).Take(note)) {
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

bool SpiHostProcess::LastFailedPreloading() const {
  Join();
  return preloadingGeneration_ != 0 && failedGeneration_ == preloadingGeneration_;
}

[[noreturn]] void SpiHostProcess::Fail(HostFailureKind why) {
  failedGeneration_ = generation_;
  Stop();
  throw HostFailure{why};
}

bool SpiHostProcess::Abandon() {
  blocks_.reset();
  reader_.Clear();
  if (control_) ::UnmapViewOfFile(control_);
  control_ = nullptr;
  controlSection_.Reset();
  pipe_.Reset();
  process_.Reset();
  return false;
}

size_t SpiHostProcess::ReadSome(uint8_t* buffer, size_t capacity) {
  OVERLAPPED read{};
  read.hEvent = readDone_.Get();
  if (!::ReadFile(pipe_.Get(), buffer, static_cast<DWORD>(capacity), nullptr, &read)) {
    if (::GetLastError() != ERROR_IO_PENDING) Fail(HostFailureKind::Died);
    const HANDLE waits[] = {readDone_.Get(), process_.Get()};
    for (;;) {
      const DWORD r = ::MsgWaitForMultipleObjects(2, waits, FALSE, 100, wait_.WakeMask());
      if (r == WAIT_OBJECT_0) break;
      std::optional<HostFailureKind> failure;
      if (r == WAIT_OBJECT_0 + 1) failure = HostFailureKind::Died;
      else failure = wait_.Check(control_->progressCalls);
      if (failure) {
        ::CancelIo(pipe_.Get());
        Fail(*failure);
      }
    }
  }
  DWORD got = 0;
  if (!::GetOverlappedResult(pipe_.Get(), &read, &got, TRUE) || got == 0) Fail(HostFailureKind::Died);
  return got;
}

}  // namespace mirabo
