#pragma once
// The decoder plug-in registry: finds Susie-interface libraries in a set of
// folders, loads each, reads its identity and the file patterns it claims,
// chooses its class by its API version, and keeps the ones its owner
// accepts. Loading, export lookup and folder listing are behind interfaces,
// so the registry's rules run the same over the Windows loader and over a
// test's fake one.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "plugins/spi_exports.h"

namespace mirabo {

class ESPIInvalidSPI : public EMirabo {
 public:
  using EMirabo::EMirabo;
};
class ESPIInvalidAPI : public EMirabo {
 public:
  using EMirabo::EMirabo;
};
class ESPIFOpenErrorSPI : public EMirabo {
 public:
  using EMirabo::EMirabo;
};
class ESPIDupCreateSPIs : public EMirabo {
 public:
  using EMirabo::EMirabo;
};


// A picture a plug-in decoded: its information block (header, masks,
// colour table) and its pixel rows, each exactly as long as the plug-in
// made it, held until the picture is dropped.
class ISpiPicture {
 public:
  virtual ~ISpiPicture() = default;
  virtual std::span<const uint8_t> Info() const = 0;
  virtual std::span<const uint8_t> Bits() const = 0;
};

// The bytes a plug-in is to decode. When they are a file's (from offset on),
// its path lets a loader in another process read the file itself instead of
// being sent a copy. name is the file's name for messages.
struct SpiSource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::string filePath;  // UTF-8; empty for bytes of no file
  uint64_t fileOffset = 0;
  std::string name;      // UTF-8
  // Someone watches the progress and may stop the plug-in at any call: a
  // loader in another process then waits for the word at every call.
  bool answerEachProgress = false;
};

// Progress of a decode: true to go on, false to ask the plug-in to stop.
using SpiProgress = std::function<bool(int num, int denom)>;

// One loaded library. Texts are in the ANSI code page as the plug-in writes them.
class ISpiLibrary {
 public:
  virtual ~ISpiLibrary() = default;  // unloads
  // The module's full path as the loader reports it; empty when it cannot.
  virtual std::string ModuleFileName() const = 0;
  virtual bool HasExport(SpiExport e) const = 0;
  // GetPluginInfo with a 256-byte buffer of length 255; the text up to its
  // first NUL is put in text. Returns the plug-in's result.
  virtual int GetPluginInfo(int number, std::string& text) const = 0;
  // The picture calls, in the order a plug-in expects them on one thread:
  // IsSupported with the name in the ANSI code page and the file's first
  // 2 KB; then GetPictureInfo (its text block freed) and GetPicture on the
  // bytes in memory. Returns the plug-in's result; picture is set on 0.
  // A loader may raise EMirabo when the plug-in cannot be called (a helper
  // process that died); libraries without these exports return -1.
  virtual int IsSupported(const std::string& ansiName, const uint8_t* head2048) {
    (void)ansiName;
    (void)head2048;
    return -1;
  }
  virtual int GetPicture(const SpiSource& source, const SpiProgress& progress, std::unique_ptr<ISpiPicture>& picture) {
    (void)source;
    (void)progress;
    picture.reset();
    return -1;
  }
};

// Paths are UTF-8 here (the Windows side converts); folders end in "\".
class ISpiHost {
 public:
  virtual ~ISpiHost() = default;
  // nullptr when the library cannot be loaded.
  virtual std::unique_ptr<ISpiLibrary> Load(const std::string& path) = 0;
  // Names in folder matching pattern: ordinary, read-only, system and archive
  // files; no hidden files, no folders; in the system's order.
  virtual std::vector<std::string> List(const std::string& folder, const std::string& pattern) = 0;
  // The outside host's folder from the registry key, or empty.
  virtual std::string SusieFolder() = 0;
  virtual std::string AppFolder() = 0;
  virtual std::string CurrentFolder() = 0;
  virtual std::string SystemFolder() = 0;
  virtual std::string WindowsFolder() = 0;
};

// A picture class in the picture format table, as a token (the decoder
// module gives its own, the table maps it to a loader).
struct GraphicClass {
  const char* name;
};
extern const GraphicClass* DefaultGraphicClass;

class TSPI;

// A plug-in class as the registry handles it: the virtual constructor that
// makes an instance, and the instance test (subclasses count).
struct SpiClass {
  const char* name;
  std::unique_ptr<TSPI> (*make)();
  bool (*isInstance)(const TSPI&);
};

// Any plug-in: what every library says of itself. Chosen for an API version
// no other class claims.
class TSPI {
 public:
  static const SpiClass Class;
  virtual ~TSPI();
  // The virtual constructor: an instance of cls for the library at path.
  // Loads it and reads what it says of itself; raises ESPIFOpenErrorSPI,
  // ESPIInvalidAPI or what the plug-in's calls raise.
  static std::unique_ptr<TSPI> Create(ISpiHost& host, const std::string& path, const SpiClass& cls = Class);

  const std::string& FileName() const { return fileName_; }
  const std::string& APIVersion() const { return apiVersion_; }
  const std::string& AboutText() const { return aboutText_; }
  const std::vector<std::string>& Extensions() const { return extensions_; }
  const std::vector<std::string>& Descriptions() const { return descriptions_; }
  bool HandledKind() const { return handledKind_; }
  bool IsA(const SpiClass& cls) const { return cls.isInstance(*this); }
  template <typename T>
  bool Is() const {
    return dynamic_cast<const T*>(this) != nullptr;
  }
  int GetPluginInfo(int number, std::string& text) const;
  const ISpiLibrary& Library() const { return *library_; }

 protected:
  TSPI() = default;
  // The entry points the class cannot do without, in checking order.
  virtual std::vector<SpiExport> RequiredExports() const;
  virtual bool IsHandledKind() const { return false; }

 private:
  void CheckAPI() const;
  std::unique_ptr<ISpiLibrary> library_;
  std::string fileName_, apiVersion_, aboutText_;
  std::vector<std::string> extensions_, descriptions_;
  bool handledKind_ = false;
};

// A plug-in that answers which files it reads; never chosen by itself.
class TLoaderSPI : public TSPI {
 public:
  static const SpiClass Class;

 protected:
  TLoaderSPI() = default;
  std::vector<SpiExport> RequiredExports() const override;
};

// A picture input plug-in ("00IN").
class TInSPI : public TLoaderSPI {
 public:
  static const SpiClass Class;

 protected:
  TInSPI() = default;
  std::vector<SpiExport> RequiredExports() const override;
  bool IsHandledKind() const override { return true; }
};

// An archive plug-in ("00AM").
class TAmSPI : public TLoaderSPI {
 public:
  static const SpiClass Class;

 protected:
  TAmSPI() = default;
  std::vector<SpiExport> RequiredExports() const override;
  bool IsHandledKind() const override { return true; }
};

// An export plug-in ("00XN").
class TXnSPI : public TSPI {
 public:
  static const SpiClass Class;

 protected:
  TXnSPI() = default;
};

enum class TSPISearchOption { spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir };

class TSPIs {
 public:
  // Raises ESPIDupCreateSPIs when a registry exists already.
  explicit TSPIs(ISpiHost& host);
  TSPIs(const TSPIs&) = delete;
  TSPIs& operator=(const TSPIs&) = delete;
  ~TSPIs();

  std::vector<TSPISearchOption> SearchOptions{TSPISearchOption::spsSusieDir, TSPISearchOption::spsAppDir};
  bool AutoSearch = true;
  // The plug-in file mask: "*.spi", or "*.sph" for the 64-bit convention.
  std::string Mask = "*.spi";
  std::function<void(TSPIs&, const std::string& fileName, bool& accept)> OnSearching;
  std::function<void(TSPIs&, TSPI& plugin, bool& accept)> OnSearch;
  std::function<void(TSPIs&, TSPI& plugin, const std::string& extension, const std::string& description,
                     const GraphicClass*& graphicClass)>
      OnPictureRegister;
  // Where accepted patterns go: the picture format table.
  std::function<void(const std::string& extension, const std::string& description, const GraphicClass*)> RegisterFormat;

  // The after-load hook: Search(Mask) when AutoSearch is on.
  void Loaded();
  void Search(const std::string& mask);
  // The files Search(mask) would try, in its order, none of them loaded.
  std::vector<std::string> Candidates(const std::string& mask) const;
  int Count() const { return static_cast<int>(plugins_.size()); }
  TSPI& Items(int index) const;  // raises EMirabo for an index out of range
  int IndexOf(const std::string& fileName) const;
  void Add(std::unique_ptr<TSPI> plugin) { Insert(Count(), std::move(plugin)); }
  void Insert(int index, std::unique_ptr<TSPI> plugin);
  void Delete(int index);
  void Clear();
  // Plug-ins of the given classes, those claiming fileName's extension first
  // (in reverse registry order), then the others in registry order.
  void CollectPlugins(const std::vector<const SpiClass*>& classes, std::vector<TSPI*>& list,
                      const std::string& fileName) const;

  static TSPIs* Instance();

 private:
  // The folders (with their "\") and patterns Search(mask) goes through.
  std::vector<std::pair<std::string, std::string>> SearchPlaces(const std::string& mask) const;
  void SearchFolder(const std::string& folder, const std::string& pattern);
  std::unique_ptr<TSPI> CreatePlugin(const std::string& path);

  ISpiHost& host_;
  std::vector<std::unique_ptr<TSPI>> plugins_;
};

// The viewer's own rule for offered patterns: "jpg" and "jpeg" (any case)
// stay with the built-in JPEG decoder, and "*" (from "*.*") is no extension.
bool ViewerRefusesPattern(std::string_view extension);

// A folder with its trailing "\" (empty stays empty).
std::string WithBackslash(const std::string& folder);

}  // namespace mirabo
