#pragma once
// The conversation between the 64-bit program and its plug-in hosts (a
// 64-bit one for ".sph", a 32-bit one for ".spi"): requests and answers on
// a pipe, each a fixed-width header and payload, every field of a fixed
// width and place on both targets; the file to decode and the decoded
// blocks go through shared memory, not the pipe. The host is started with
// the pipe's name and the name of a small shared control block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace mirabo::spihost {

enum class Op : uint32_t {
  Load = 1,      // payload: the library's path, UTF-8    -> LoadAnswer + module file name + InfoText...
  Unload,        // LibraryRequest                         -> nothing
  PluginInfo,    // PluginInfoRequest                      -> Answer + text
  IsSupported,   // IsSupportedRequest + name + 2048 bytes -> Answer
  Decode,        // DecodeRequest + source name            -> Progress... then DecodeAnswer + blocks' name
                 // (the blocks at the start of that section, info then bits)
  Progress,      // host to program: ProgressNote; answered with an Answer
                 // (1: stop) when the decode asked for it
  Quit,          // the host ends
  Preload,       // PreloadRequest + paths                 -> nothing; each path's first Load
                 // takes the library loaded meanwhile
};

struct Header {
  uint32_t op;
  uint32_t size;  // payload bytes after the header
};

struct LoadAnswer {
  uint32_t library;     // 0: the library could not be loaded
  uint32_t exportMask;  // bit n: export n of SpiExport's order exists
  uint32_t nameBytes;   // the module's file name, UTF-8, follows
  uint32_t infoCount;   // then GetPluginInfo's answers for 0, 1, 2, ...
};

// GetPluginInfo's answers for the numbers a registry asks for when it
// loads a library (0, 1, then on until the first that is not positive)
// come with the library, each as this record and its text: a search
// costs one exchange per library, not one per text.
struct InfoText {
  int32_t result;
  uint32_t bytes;
};
inline constexpr uint32_t kMaxInfoTexts = 64;

struct PreloadRequest {
  uint32_t count;  // then each path: its UTF-8 byte count (uint32_t) and bytes
};

struct LibraryRequest {
  uint32_t library;
};

struct PluginInfoRequest {
  uint32_t library;
  int32_t number;
};

struct Answer {
  int32_t result;
};

struct IsSupportedRequest {
  uint32_t library;
  uint32_t nameBytes;  // the ANSI name follows, then the 2048 bytes
};

enum class SourceKind : uint32_t { Section = 0, File = 1 };

struct DecodeRequest {
  uint32_t library;
  uint32_t sourceKind;   // SourceKind; its name (section, or UTF-8 path) follows
  uint64_t offset;       // in the file, or 0
  uint64_t size;
  uint32_t answerEachProgress;  // 1: every progress call waits for the program's word
  uint32_t blocksFree;          // 1: the program holds nothing of the last blocks' section,
                                // so the host may fill it again
};

// Every progress call when the program answers each; otherwise at most
// every few hundredths of a second (the control block's counter moves at
// every call regardless, and its stop flag is read at every call).
struct ProgressNote {
  int32_t num;
  int32_t denom;
};

enum class Outcome : int32_t { Returned = 0, HeapDamaged = 1 };

struct DecodeAnswer {
  int32_t result;      // GetPicture's result
  int32_t outcome;     // Outcome
  uint64_t infoBytes;  // the blocks' section holds info then bits
  uint64_t bitsBytes;
};

// Shared with the host for its whole life.
struct Control {
  volatile int32_t stop;             // the program asks the running decode to stop
  volatile uint32_t progressCalls;   // every progress call of the plug-in
};

static_assert(sizeof(Header) == 8 && sizeof(LoadAnswer) == 16 && sizeof(LibraryRequest) == 4);
static_assert(sizeof(InfoText) == 8 && sizeof(PreloadRequest) == 4);
static_assert(sizeof(PluginInfoRequest) == 8 && sizeof(Answer) == 4 && sizeof(IsSupportedRequest) == 8);
static_assert(sizeof(DecodeRequest) == 32 && offsetof(DecodeRequest, offset) == 8);
static_assert(sizeof(ProgressNote) == 8 && sizeof(DecodeAnswer) == 24 && offsetof(DecodeAnswer, infoBytes) == 8);
static_assert(sizeof(Control) == 8);

inline constexpr uint32_t kMaxPayload = 64 * 1024;  // paths and texts; pictures never
inline constexpr size_t kHeadBytes = 2048;
inline constexpr uint32_t kReadChunk = 16 * 1024;  // one read of the pipe

// One message as it goes down the pipe: the header, the body, then the tail
// (texts or a path), in one write.
inline std::vector<uint8_t> FrameMessage(Op op, const void* body, size_t bodySize, const void* tail,
                                         size_t tailSize) {
  const Header header{static_cast<uint32_t>(op), static_cast<uint32_t>(bodySize + tailSize)};
  std::vector<uint8_t> message(sizeof header + bodySize + tailSize);
  std::memcpy(message.data(), &header, sizeof header);
  if (bodySize) std::memcpy(message.data() + sizeof header, body, bodySize);
  if (tailSize) std::memcpy(message.data() + sizeof header + bodySize, tail, tailSize);
  return message;
}

// A payload read field by field, never past its end: a record, a text of
// a stated length, or the rest. Once a read finds too few bytes the cursor
// is spent and every later read fails too.
class PayloadCursor {
 public:
  explicit PayloadCursor(const std::vector<uint8_t>& payload) : at_(payload.data()), left_(payload.size()) {}
  template <typename T>
  bool Take(T& record) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!ok_ || left_ < sizeof record) return ok_ = false;
    std::memcpy(&record, at_, sizeof record);
    Skip(sizeof record);
    return true;
  }
  bool TakeText(size_t bytes, std::string& text) {
    if (!ok_ || left_ < bytes) return ok_ = false;
    text.assign(reinterpret_cast<const char*>(at_), bytes);
    Skip(bytes);
    return true;
  }
  std::string Rest() {
    std::string text;
    TakeText(left_, text);
    return text;
  }
  const uint8_t* Here() const { return at_; }
  size_t Left() const { return left_; }
  bool Ok() const { return ok_; }

 private:
  void Skip(size_t bytes) {
    at_ += bytes;
    left_ -= bytes;
  }
  const uint8_t* at_;
  size_t left_;
  bool ok_ = true;
};

// The pipe's bytes in chunks of up to kReadChunk: whole messages usually
// come in one read, one call of the pipe each. fill reads what the pipe has
// into the buffer and returns how much; 0 means the pipe is gone (a side
// that treats that otherwise throws from fill instead).
class BufferedReader {
 public:
  using Fill = std::function<size_t(uint8_t* buffer, size_t capacity)>;
  explicit BufferedReader(Fill fill) : fill_(std::move(fill)) {}

  bool ReadExact(void* buffer, size_t size) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (size) {
      if (at_ == inbox_.size()) {
        inbox_.resize(kReadChunk);
        at_ = 0;
        const size_t got = fill_(inbox_.data(), inbox_.size());
        inbox_.resize(got);
        if (got == 0) return false;
      }
      const size_t n = std::min(size, inbox_.size() - at_);
      std::memcpy(p, inbox_.data() + at_, n);
      at_ += n;
      p += n;
      size -= n;
    }
    return true;
  }
  // Nothing read ahead is waiting.
  bool Drained() const { return at_ == inbox_.size(); }
  void Clear() {
    inbox_.clear();
    at_ = 0;
  }

 private:
  Fill fill_;
  std::vector<uint8_t> inbox_;
  size_t at_ = 0;
};

}  // namespace mirabo::spihost
