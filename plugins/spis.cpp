#include "plugins/spis.h"

#include <algorithm>

#include "base/paths.h"
#include "text/cp932.h"

namespace mirabo {
namespace {

TSPIs* g_instance = nullptr;

const GraphicClass kNoDefault{"none"};


// The class each API version chooses; any other version gives TSPI.
struct VersionClass {
  std::string_view version;
  const SpiClass* cls;
};
const VersionClass kVersionClasses[] = {
    {"00IN", &TInSPI::Class},
    {"00AM", &TAmSPI::Class},
    {"00XN", &TXnSPI::Class},
};

template <typename T>
SpiClass MakeClass(const char* name, std::unique_ptr<TSPI> (*make)()) {
  return {name, make, [](const TSPI& spi) { return spi.Is<T>(); }};
}

}  // namespace

const GraphicClass* DefaultGraphicClass = &kNoDefault;

bool ViewerRefusesPattern(std::string_view extension) {
  // The patterns are the plug-in's own Shift-JIS text.
  return cp932::EqualsNoCase(extension, "jpg") || cp932::EqualsNoCase(extension, "jpeg") || extension == "*";
}

std::string WithBackslash(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\') return folder;
  return folder + "\\";
}

// ---- TSPI

// The constructors are the classes' own: each class makes its instances.
const SpiClass TSPI::Class = MakeClass<TSPI>("TSPI", [] { return std::unique_ptr<TSPI>(new TSPI); });
const SpiClass TLoaderSPI::Class =
    MakeClass<TLoaderSPI>("TLoaderSPI", [] { return std::unique_ptr<TSPI>(new TLoaderSPI); });
const SpiClass TInSPI::Class = MakeClass<TInSPI>("TInSPI", [] { return std::unique_ptr<TSPI>(new TInSPI); });
const SpiClass TAmSPI::Class = MakeClass<TAmSPI>("TAmSPI", [] { return std::unique_ptr<TSPI>(new TAmSPI); });
const SpiClass TXnSPI::Class = MakeClass<TXnSPI>("TXnSPI", [] { return std::unique_ptr<TSPI>(new TXnSPI); });

TSPI::~TSPI() = default;

std::vector<SpiExport> TSPI::RequiredExports() const { return {SpiExport::GetPluginInfo}; }

std::vector<SpiExport> TLoaderSPI::RequiredExports() const {
  return {SpiExport::GetPluginInfo, SpiExport::IsSupported};
}

std::vector<SpiExport> TInSPI::RequiredExports() const {
  return {SpiExport::GetPluginInfo, SpiExport::IsSupported, SpiExport::GetPictureInfo, SpiExport::GetPicture};
}

std::vector<SpiExport> TAmSPI::RequiredExports() const {
  return {SpiExport::GetPluginInfo, SpiExport::IsSupported, SpiExport::GetArchiveInfo, SpiExport::GetFileInfo,
          SpiExport::GetFile};
}

void TSPI::CheckAPI() const {
  for (const SpiExport e : RequiredExports())
    if (!library_->HasExport(e))
      throw ESPIInvalidAPI(FormatMessageText("%sは[%s]では使えないSusie Plugin APIです", SpiExportName(e), fileName_));
}

int TSPI::GetPluginInfo(int number, std::string& text) const {
  if (!library_->HasExport(SpiExport::GetPluginInfo))
    throw ESPIInvalidAPI(
        FormatMessageText("%sは[%s]では使えないSusie Plugin APIです", SpiExportName(SpiExport::GetPluginInfo), fileName_));
  return library_->GetPluginInfo(number, text);
}

std::unique_ptr<TSPI> TSPI::Create(ISpiHost& host, const std::string& path, const SpiClass& cls) {
  std::unique_ptr<TSPI> spi = cls.make();
  spi->library_ = host.Load(path);
  if (!spi->library_) throw ESPIFOpenErrorSPI(FormatMessageText("%s:Susie Pluginがロードできませんでした", path));
  spi->fileName_ = spi->library_->ModuleFileName();
  if (spi->fileName_.empty()) spi->fileName_ = path;
  spi->CheckAPI();
  std::string text;
  if (spi->GetPluginInfo(0, text) > 0) spi->apiVersion_ = text;
  if (spi->GetPluginInfo(1, text) > 0) spi->aboutText_ = text;
  for (int n = 2;; n += 2) {
    std::string pattern, description;
    if (spi->GetPluginInfo(n, pattern) <= 0) break;
    if (spi->GetPluginInfo(n + 1, description) <= 0) break;
    spi->extensions_.push_back(pattern);
    spi->descriptions_.push_back(description);
  }
  spi->handledKind_ = spi->IsHandledKind();
  return spi;
}

// ---- TSPIs

TSPIs* TSPIs::Instance() { return g_instance; }

TSPIs::TSPIs(ISpiHost& host) : host_(host) {
  if (g_instance) throw ESPIDupCreateSPIs("TSPIs は複数生成できません");
  g_instance = this;
}

TSPIs::~TSPIs() {
  if (g_instance == this) g_instance = nullptr;
  Clear();
}

void TSPIs::Loaded() {
  if (AutoSearch) Search(Mask);
}

TSPI& TSPIs::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EMirabo("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
  return *plugins_[static_cast<size_t>(index)];
}

int TSPIs::IndexOf(const std::string& fileName) const {
  for (int i = 0; i < Count(); ++i)
    if (EqualsAsciiNoCase(plugins_[static_cast<size_t>(i)]->FileName(), fileName)) return i;
  return -1;
}

void TSPIs::Delete(int index) {
  Items(index);  // the index error for an index out of range
  plugins_.erase(plugins_.begin() + index);
}

void TSPIs::Clear() {
  while (!plugins_.empty()) Delete(0);
}

void TSPIs::Insert(int index, std::unique_ptr<TSPI> plugin) {
  TSPI& spi = *plugin;
  plugins_.insert(plugins_.begin() + std::clamp(index, 0, Count()), std::move(plugin));
  if (!spi.Is<TInSPI>()) return;
  for (size_t line = 0; line < spi.Extensions().size(); ++line) {
    const GraphicClass* cls = DefaultGraphicClass;  // reset once per line only
    const std::string& description = spi.Descriptions()[line];
    std::vector<std::string> patterns;
    const std::string& text = spi.Extensions()[line];
    for (size_t start = 0;;) {
      const size_t semi = text.find(';', start);
      patterns.push_back(text.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
      if (semi == std::string::npos) break;
      start = semi + 1;
    }
    for (auto it = patterns.rbegin(); it != patterns.rend(); ++it) {
      const size_t dot = it->find('.');
      const std::string ext = dot == std::string::npos ? *it : it->substr(dot + 1);
      if (OnPictureRegister) OnPictureRegister(*this, spi, ext, description, cls);
      if (cls && RegisterFormat) RegisterFormat(ext, description, cls);
    }
  }
}

std::unique_ptr<TSPI> TSPIs::CreatePlugin(const std::string& path) {
  try {
    const std::unique_ptr<TSPI> probe = TSPI::Create(host_, path, TSPI::Class);
    const SpiClass* cls = &TSPI::Class;
    for (const VersionClass& v : kVersionClasses)
      if (probe->APIVersion() == v.version) cls = v.cls;  // exact, with case
    // Loaded a second time while the probe still holds the library.
    return TSPI::Create(host_, path, *cls);
  } catch (const ESPIFOpenErrorSPI&) {
    return nullptr;
  } catch (const ESPIInvalidSPI&) {
    return nullptr;
  }
}

void TSPIs::SearchFolder(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> candidates;
  for (const std::string& name : host_.List(folder, pattern))
    if (IndexOf(folder + name) < 0) candidates.push_back(folder + name);
  for (const std::string& path : candidates) {
    bool accept = true;
    if (OnSearching) OnSearching(*this, path, accept);
    if (!accept) continue;
    std::unique_ptr<TSPI> plugin = CreatePlugin(path);
    if (!plugin) continue;
    accept = true;
    if (OnSearch) OnSearch(*this, *plugin, accept);
    if (accept) Add(std::move(plugin));
  }
}

std::vector<std::pair<std::string, std::string>> TSPIs::SearchPlaces(const std::string& mask) const {
  const size_t sep = mask.find_last_of("\\:");
  if (sep != std::string::npos) return {{WithBackslash(mask.substr(0, sep + 1)), mask.substr(sep + 1)}};
  std::vector<std::pair<std::string, std::string>> places;
  for (const TSPISearchOption option :
       {TSPISearchOption::spsSusieDir, TSPISearchOption::spsAppDir, TSPISearchOption::spsCurrentDir,
        TSPISearchOption::spsSystemDir, TSPISearchOption::spsWindowsDir}) {
    if (std::find(SearchOptions.begin(), SearchOptions.end(), option) == SearchOptions.end()) continue;
    std::string folder;
    switch (option) {
      case TSPISearchOption::spsSusieDir: folder = host_.SusieFolder(); break;
      case TSPISearchOption::spsAppDir: folder = host_.AppFolder(); break;
      case TSPISearchOption::spsCurrentDir: folder = host_.CurrentFolder(); break;
      case TSPISearchOption::spsSystemDir: folder = host_.SystemFolder(); break;
      case TSPISearchOption::spsWindowsDir: folder = host_.WindowsFolder(); break;
    }
    if (!folder.empty()) places.emplace_back(WithBackslash(folder), mask);
  }
  return places;
}

void TSPIs::Search(const std::string& mask) {
  for (const auto& [folder, pattern] : SearchPlaces(mask)) SearchFolder(folder, pattern);
}

std::vector<std::string> TSPIs::Candidates(const std::string& mask) const {
  std::vector<std::string> paths;
  for (const auto& [folder, pattern] : SearchPlaces(mask))
    for (const std::string& name : host_.List(folder, pattern))
      if (IndexOf(folder + name) < 0) paths.push_back(folder + name);
  return paths;
}

void TSPIs::CollectPlugins(const std::vector<const SpiClass*>& classes, std::vector<TSPI*>& list,
                           const std::string& fileName) const {
  const std::string_view ext = ExtensionOf(fileName);
  for (const auto& plugin : plugins_) {
    const bool wanted =
        std::any_of(classes.begin(), classes.end(), [&](const SpiClass* c) { return plugin->IsA(*c); });
    if (!wanted) continue;
    const bool claims = std::any_of(plugin->Extensions().begin(), plugin->Extensions().end(),
                                    [&](const std::string& line) { return cp932::EqualsNoCase(ExtensionOf(std::string_view(line)), ext); });
    if (claims) list.insert(list.begin(), plugin.get());
    else list.push_back(plugin.get());
  }
}

}  // namespace mirabo
