// The plug-in host: a helper process that loads decoder plug-ins for the
// 64-bit program and calls them on its behalf, so that a plug-in that
// crashes, hangs or damages its memory costs one file, not the program's
// window. Built by both tool chains from this one source: "mirabo_sph_host"
// (64-bit, ".sph") and "mirabo_spi_host" (32-bit, ".spi").
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "plugins/spi_abi.h"
#include "plugins/spi_calls.h"
#include "plugins/spi_exports.h"
#include "plugins/spi_host_protocol.h"

namespace {

using namespace mirabo;
using namespace mirabo::spihost;

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<size_t>(
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), static_cast<int>(out.size()))));
  return out;
}

std::string Utf8(const std::wstring& wide) {
  std::string out(wide.size() * 3, '\0');
  out.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                                       static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

struct Library {
  HMODULE module;
  std::array<FARPROC, kSpiExportCount> exports;
  FARPROC operator[](SpiExport e) const { return exports[static_cast<size_t>(e)]; }
};

class Host {
 public:
  Host(HANDLE pipe, Control* control)
      : pipe_(pipe), control_(control), reader_([pipe](uint8_t* buffer, size_t capacity) -> size_t {
          DWORD got = 0;
          return ::ReadFile(pipe, buffer, static_cast<DWORD>(capacity), &got, nullptr) ? got : 0;
        }) {}

  void Run() {
    Header header{};
    std::vector<uint8_t> payload;
    for (;;) {
      PreloadWhileIdle();
      if (!Read(&header, sizeof header)) return;
      if (header.size > kMaxPayload + kHeadBytes + 1024) return;
      payload.resize(header.size);
      if (header.size && !Read(payload.data(), header.size)) return;
      switch (static_cast<Op>(header.op)) {
        case Op::Load: Load(PayloadCursor(payload).Rest()); break;
        case Op::Preload: Preload(payload); break;
        case Op::Unload: Unload(payload); break;
        case Op::PluginInfo: PluginInfo(payload); break;
        case Op::IsSupported:
          DropUnclaimed();
          IsSupported(payload);
          break;
        case Op::Decode:
          DropUnclaimed();
          Decode(payload);
          break;
        default: return;
      }
    }
  }

 private:
  bool Read(void* buffer, size_t size) { return reader_.ReadExact(buffer, size); }

  void Send(Op op, const void* body, size_t bodySize, const void* tail = nullptr, size_t tailSize = 0) {
    const std::vector<uint8_t> message = FrameMessage(op, body, bodySize, tail, tailSize);
    DWORD written = 0;
    if (!::WriteFile(pipe_, message.data(), static_cast<DWORD>(message.size()), &written, nullptr)) ::ExitProcess(2);
  }

  Library* Find(uint32_t id) {
    const auto it = libraries_.find(id);
    return it == libraries_.end() ? nullptr : &it->second;
  }

  // A library loaded, with what its Load answer says (library 0 in it).
  struct Loaded {
    Library library{};
    LoadAnswer answer{};
    std::string tail;
  };

  static Loaded LoadOne(const std::string& path) {
    Loaded loaded;
    std::string moduleName;
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    const HMODULE module = ::LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ::SetErrorMode(oldMode);
    if (module) {
      loaded.library.module = module;
      for (size_t i = 0; i < kSpiExportNames.size(); ++i) {
        loaded.library.exports[i] = ::GetProcAddress(module, std::string(kSpiExportNames[i]).c_str());
        if (loaded.library.exports[i]) loaded.answer.exportMask |= 1u << i;
      }
      std::wstring name(MAX_PATH, L'\0');
      for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
        if (n < name.size()) {
          name.resize(n);
          break;
        }
        name.resize(name.size() * 2);
      }
      moduleName = Utf8(name);
    }
    loaded.answer.nameBytes = static_cast<uint32_t>(moduleName.size());
    loaded.tail = moduleName;
    if (module && loaded.library[SpiExport::GetPluginInfo]) AppendInfoTexts(loaded.library, loaded.answer, loaded.tail);
    return loaded;
  }

  void Load(const std::string& path) {
    Loaded loaded;
    if (const auto it = preloaded_.find(path); it != preloaded_.end()) {
      loaded = std::move(it->second);
      preloaded_.erase(it);
    } else {
      std::erase(queue_, path);
      loaded = LoadOne(path);
    }
    if (loaded.library.module) {
      loaded.answer.library = ++lastId_;
      libraries_[loaded.answer.library] = loaded.library;
    }
    Send(Op::Load, &loaded.answer, sizeof loaded.answer, loaded.tail.data(), loaded.tail.size());
  }

  // The libraries the program is about to load at its start, loaded while
  // it is still making its window; each first Load of one takes it.
  void Preload(const std::vector<uint8_t>& payload) {
    PayloadCursor cursor(payload);
    PreloadRequest request{};
    cursor.Take(request);
    uint32_t bytes = 0;
    std::string path;
    for (uint32_t i = 0; i < request.count && cursor.Take(bytes) && cursor.TakeText(bytes, path); ++i)
      queue_.push_back(path);
  }

  // Between requests: the next library of the queue, while nothing waits.
  void PreloadWhileIdle() {
    while (!queue_.empty() && reader_.Drained()) {
      DWORD waiting = 0;
      if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &waiting, nullptr) || waiting) return;
      const std::string path = queue_.front();
      queue_.erase(queue_.begin());
      if (preloaded_.count(path)) continue;
      Loaded loaded = LoadOne(path);
      if (loaded.library.module) preloaded_.emplace(path, std::move(loaded));
    }
  }

  // Once the program works with pictures its start-up search is over: what
  // it did not take (plug-ins it turned down) is unloaded, as it would be.
  void DropUnclaimed() {
    queue_.clear();
    for (auto& [path, loaded] : preloaded_) ::FreeLibrary(loaded.library.module);
    preloaded_.clear();
  }

  static std::pair<int32_t, std::string> InfoText(const Library& library, int number) {
    std::array<char, 256> buffer{};
    const auto fn = reinterpret_cast<spi::GetPluginInfoFn>(reinterpret_cast<void*>(library[SpiExport::GetPluginInfo]));
    const int32_t result = fn(number, buffer.data(), 255);
    buffer[255] = '\0';  // some plug-ins leave a full buffer unterminated
    return {result, std::string(buffer.data())};
  }

  // The texts the program asks for when it loads a library: 0 and 1, then
  // on until the first answer that is not positive.
  static void AppendInfoTexts(const Library& library, LoadAnswer& answer, std::string& tail) {
    for (int number = 0; number < static_cast<int>(kMaxInfoTexts); ++number) {
      const auto [result, text] = InfoText(library, number);
      const spihost::InfoText record{result, static_cast<uint32_t>(text.size())};
      tail.append(reinterpret_cast<const char*>(&record), sizeof record);
      tail += text;
      ++answer.infoCount;
      if (number >= 2 && result <= 0) break;
    }
  }

  void Unload(const std::vector<uint8_t>& payload) {
    LibraryRequest request{};
    if (!PayloadCursor(payload).Take(request)) return;
    if (Library* library = Find(request.library)) {
      ::FreeLibrary(library->module);
      libraries_.erase(request.library);
    }
  }

  void PluginInfo(const std::vector<uint8_t>& payload) {
    PluginInfoRequest request{};
    Answer answer{0};
    std::string text;
    PayloadCursor(payload).Take(request);
    if (Library* library = Find(request.library); library && (*library)[SpiExport::GetPluginInfo])
      std::tie(answer.result, text) = InfoText(*library, request.number);
    Send(Op::PluginInfo, &answer, sizeof answer, text.data(), text.size());
  }

  void IsSupported(const std::vector<uint8_t>& payload) {
    IsSupportedRequest request{};
    Answer answer{0};
    PayloadCursor cursor(payload);
    std::string name;
    if (cursor.Take(request) && cursor.TakeText(request.nameBytes, name) && cursor.Left() == kHeadBytes) {
      // Some plug-ins read a little beyond the 2 KB they are promised.
      std::vector<uint8_t> head(kHeadBytes + 64, 0);
      std::memcpy(head.data(), cursor.Here(), kHeadBytes);
      if (Library* library = Find(request.library); library && (*library)[SpiExport::IsSupported])
        answer.result = spi::CallIsSupported((*library)[SpiExport::IsSupported], name.c_str(), head.data());
    }
    Send(Op::IsSupported, &answer, sizeof answer);
  }

  // The bytes to decode, mapped where they are: the file itself, or the
  // program's section.
  struct Source {
    HANDLE file = INVALID_HANDLE_VALUE, section = nullptr;
    const uint8_t* view = nullptr;
    const uint8_t* data = nullptr;
    ~Source() {
      if (view) ::UnmapViewOfFile(view);
      if (section) ::CloseHandle(section);
      if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    }
  };

  bool Map(const DecodeRequest& request, const std::string& name, Source& source) {
    if (static_cast<SourceKind>(request.sourceKind) == SourceKind::File) {
      source.file = ::CreateFileW(Wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
      if (source.file == INVALID_HANDLE_VALUE) return false;
      source.section = ::CreateFileMappingW(source.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    } else {
      source.section = ::OpenFileMappingW(FILE_MAP_READ, FALSE, Wide(name).c_str());
    }
    if (!source.section) return false;
    source.view = static_cast<const uint8_t*>(::MapViewOfFile(source.section, FILE_MAP_READ, 0, 0, 0));
    if (!source.view) return false;
    source.data = source.view + request.offset;
    return true;
  }

  void Decode(const std::vector<uint8_t>& payload) {
    DecodeRequest request{};
    DecodeAnswer answer{};
    answer.result = -1;
    PayloadCursor cursor(payload);
    cursor.Take(request);
    const std::string name = cursor.Rest();
    Library* library = Find(request.library);
    Source source;
    std::string blocksName;
    if (library && (*library)[SpiExport::GetPictureInfo] && (*library)[SpiExport::GetPicture] && Map(request, name, source)) {
      // Short files come zero-padded to 2 KB, as plug-ins may read that far.
      std::vector<uint8_t> padded;
      const uint8_t* data = source.data;
      if (request.size < kHeadBytes) {
        padded.assign(kHeadBytes + 64, 0);
        std::memcpy(padded.data(), data, static_cast<size_t>(request.size));
        data = padded.data();
      }
      control_->stop = 0;
      ULONGLONG lastNote = 0;
      const std::function<bool(int, int)> progress = [&](int num, int denom) {
        control_->progressCalls = control_->progressCalls + 1;
        if (control_->stop) return false;
        const ProgressNote note{num, denom};
        if (request.answerEachProgress) {
          Send(Op::Progress, &note, sizeof note);
          Header header{};
          Answer answer{};
          if (!Read(&header, sizeof header) || header.size != sizeof answer || !Read(&answer, sizeof answer))
            ::ExitProcess(2);  // the program is gone
          return answer.result == 0;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (lastNote == 0 || now - lastNote >= 30) {
          lastNote = now ? now : 1;
          Send(Op::Progress, &note, sizeof note);
        }
        return true;
      };
      HLOCAL info = nullptr, bits = nullptr;
      answer.result = spi::CallGetPicture((*library)[SpiExport::GetPictureInfo], (*library)[SpiExport::GetPicture], data,
                                          static_cast<size_t>(request.size), progress, info, bits);
      // A plug-in that wrote past its blocks has damaged this process: the
      // answer says so and the process ends after giving it.
      if (!::HeapValidate(::GetProcessHeap(), 0, nullptr)) answer.outcome = static_cast<int32_t>(Outcome::HeapDamaged);
      if (answer.result == 0 && info && bits && answer.outcome == 0) {
        answer.infoBytes = ::LocalSize(info);
        answer.bitsBytes = ::LocalSize(bits);
        blocksName = Publish(info, bits, answer.infoBytes, answer.bitsBytes, request.blocksFree != 0);
        if (blocksName.empty()) answer.result = 4;  // out of memory
      }
      if (info) ::LocalFree(info);
      if (bits) ::LocalFree(bits);
    }
    Send(Op::Decode, &answer, sizeof answer, blocksName.data(), blocksName.size());
    if (answer.outcome != 0) ::ExitProcess(3);
  }

  // The blocks copied once into a section the program maps. The section is
  // kept and filled again by the next picture when the program says it
  // holds none of the last one and it is big enough (and not much too big):
  // fresh pages cost far more to fill than reused ones.
  std::string Publish(HLOCAL info, HLOCAL bits, uint64_t infoBytes, uint64_t bitsBytes, bool reuse) {
    const uint64_t total = infoBytes + bitsBytes;
    if (!reuse || total > blocksBytes_ || total < blocksBytes_ / 4) {
      DropBlocks();
      wchar_t name[96];
      std::swprintf(name, 96, L"Local\\mirabo-spi-blocks-%lu-%lu", ::GetCurrentProcessId(), ++lastBlocksId_);
      blocks_ = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(total >> 32),
                                     static_cast<DWORD>(total), name);
      if (!blocks_) return {};
      blocksView_ = static_cast<uint8_t*>(::MapViewOfFile(blocks_, FILE_MAP_WRITE, 0, 0, 0));
      if (!blocksView_) {
        DropBlocks();
        return {};
      }
      blocksBytes_ = total;
      blocksName_ = Utf8(name);
    }
    const void* infoData = ::LocalLock(info);
    const void* bitsData = ::LocalLock(bits);
    if (infoData) std::memcpy(blocksView_, infoData, static_cast<size_t>(infoBytes));
    if (bitsData) std::memcpy(blocksView_ + infoBytes, bitsData, static_cast<size_t>(bitsBytes));
    ::LocalUnlock(info);
    ::LocalUnlock(bits);
    return blocksName_;
  }

  void DropBlocks() {
    if (blocksView_) ::UnmapViewOfFile(blocksView_);
    if (blocks_) ::CloseHandle(blocks_);
    blocksView_ = nullptr;
    blocks_ = nullptr;
    blocksBytes_ = 0;
    blocksName_.clear();
  }

  HANDLE pipe_;
  Control* control_;
  std::map<uint32_t, Library> libraries_;
  std::vector<std::string> queue_;          // to preload
  std::map<std::string, Loaded> preloaded_;  // preloaded, not yet taken
  BufferedReader reader_;
  uint32_t lastId_ = 0;
  unsigned long lastBlocksId_ = 0;
  HANDLE blocks_ = nullptr;
  uint8_t* blocksView_ = nullptr;
  uint64_t blocksBytes_ = 0;
  std::string blocksName_;
};

// A plug-in's crash ends the process at once: no debugger, no error box.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) {
  ::TerminateProcess(::GetCurrentProcess(), 4);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(&EndOnCrash);
  // The command line is the quoted program path, the pipe's name and the
  // control block's name; the names hold no spaces. (No shell32 or user32
  // here: each costs the start of every host noticeably.)
  std::vector<std::wstring> args;
  const wchar_t* p = ::GetCommandLineW();
  while (*p) {
    while (*p == L' ') ++p;
    if (!*p) break;
    std::wstring arg;
    const bool quoted = *p == L'"';
    if (quoted) ++p;
    while (*p && (quoted ? *p != L'"' : *p != L' ')) arg += *p++;
    if (quoted && *p) ++p;
    args.push_back(arg);
  }
  if (args.size() < 3) return 1;
  const HANDLE pipe = ::CreateFileW(args[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const HANDLE controlSection = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, args[2].c_str());
  if (pipe == INVALID_HANDLE_VALUE || !controlSection) return 1;
  auto* control = static_cast<Control*>(::MapViewOfFile(controlSection, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Control)));
  if (!control) return 1;
  Host(pipe, control).Run();
  return 0;
}
