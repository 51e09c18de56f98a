#pragma once
// One plug-in helper process as the 64-bit program sees it: started on
// demand (or early, with the libraries to load meanwhile) inside a job that
// ends it with the program, its pipe, its control block and the section of
// its last decoded blocks. How the program passes the time while a host
// works is a policy given to it.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/win/unique_handle.h"
#include "plugins/spi_host_protocol.h"

namespace mirabo {

// Why a call to a host ended without its answer.
enum class HostFailureKind { Died, Hung, Stopped };
struct HostFailure {
  HostFailureKind why;
};

// What the program does while an answer is awaited. Start comes with each
// call; Check comes whenever a message of WakeMask's kinds arrives or a
// tenth of a second passes, with the count of the plug-in's progress calls
// (a sign of life), and names the failure to give up with.
class IHostWait {
 public:
  virtual ~IHostWait() = default;
  virtual DWORD WakeMask() const = 0;
  virtual void Start(uint32_t progressCalls) = 0;
  virtual std::optional<HostFailureKind> Check(uint32_t progressCalls) = 0;
};

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

class SpiHostProcess {
 public:
  SpiHostProcess(std::wstring exeName, IHostWait& wait);
  ~SpiHostProcess();

  void SetFolder(const std::wstring& folder);
  unsigned Generation() const;  // one more at every start
  unsigned Starts() const;
  bool Available() const;  // the host's program is in its folder
  bool Running() const;

  // Starts the process on a thread of its own and hands it the libraries
  // to load meanwhile; every other call waits for that to be over.
  void StartEarly(std::vector<std::string> paths);
  // Whether the host that failed last was the one given libraries to load
  // early: it may have died of one of those (a plug-in that crashes when it
  // is asked for its texts) while another library's load was on its way.
  bool LastFailedPreloading() const;
  // Starts the process when none runs; false when it cannot.
  bool Ensure();
  void Stop();

  // Whether no picture holds the last blocks, so the host may refill them.
  bool BlocksFree() const { return !blocks_ || blocks_.use_count() == 1; }
  // The named section of an answer, mapped; nullptr when it cannot be.
  std::shared_ptr<const MappedBlocks> MapBlocks(const std::string& name, uint64_t bytes);

  // Raise HostFailure when the host dies, hangs or is stopped meanwhile.
  void Send(spihost::Op op, const void* body, size_t bodySize, const void* tail = nullptr, size_t tailSize = 0);
  // The answer to op; progress notes on the way go to progress, whose false
  // asks the plug-in to stop (by answering the note, or by the control
  // block's flag).
  std::vector<uint8_t> Receive(spihost::Op op, const std::function<bool(int, int)>* progress,
                               bool answerEachProgress = false);

 private:
  void Join() const;
  bool RunningNow() const;
  bool EnsureNow();
  bool Abandon();
  [[noreturn]] void Fail(HostFailureKind why);
  // Fills the reader from the pipe, waiting as the policy says.
  size_t ReadSome(uint8_t* buffer, size_t capacity);

  std::wstring exeName_, folder_;
  IHostWait& wait_;
  win::UniqueKernelHandle process_, controlSection_, job_;
  // Reused by every exchange: events cost a server call each to make.
  win::UniqueKernelHandle readDone_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win::UniqueKernelHandle writeDone_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win::UniqueFile pipe_;
  spihost::Control* control_ = nullptr;
  unsigned generation_ = 0, starts_ = 0;
  unsigned preloadingGeneration_ = 0, failedGeneration_ = 0;
  std::shared_ptr<MappedBlocks> blocks_;
  spihost::BufferedReader reader_;
  mutable std::thread starter_;  // the start begun early, until joined
};

}  // namespace mirabo
