#include "plugins/spis.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace mirabo {
namespace {

using E = SpiExport;

// A plug-in as the fake loader knows it: its GetPluginInfo texts by number
// (missing numbers return 0) and its exports.
struct FakePlugin {
  std::map<int, std::string> info;
  std::set<SpiExport> exports{E::GetPluginInfo, E::IsSupported, E::GetPictureInfo, E::GetPicture};
  std::string moduleName;  // empty: the loader cannot tell
};

FakePlugin PictureIn(std::vector<std::pair<std::string, std::string>> patterns) {
  FakePlugin p;
  p.info[0] = "00IN";
  p.info[1] = "test plug-in";
  int n = 2;
  for (const auto& [pattern, description] : patterns) {
    p.info[n++] = pattern;
    p.info[n++] = description;
  }
  return p;
}

class FakeHost : public ISpiHost {
 public:
  std::map<std::string, FakePlugin> libraries;                    // by path; absent: not a library
  std::map<std::string, std::vector<std::string>> folders;       // folder -> names in listing order
  std::string susie, app = "C:\\app\\", current = "C:\\cwd\\";
  int live = 0, loads = 0;
  std::vector<std::string> listed;

  class Library : public ISpiLibrary {
   public:
    Library(FakeHost& host, const FakePlugin& plugin) : host_(host), plugin_(plugin) {
      ++host_.live;
      ++host_.loads;
    }
    ~Library() override { --host_.live; }
    std::string ModuleFileName() const override { return plugin_.moduleName; }
    bool HasExport(SpiExport e) const override { return plugin_.exports.count(e) != 0; }
    int GetPluginInfo(int number, std::string& text) const override {
      const auto it = plugin_.info.find(number);
      if (it == plugin_.info.end()) return 0;
      text = it->second;
      return static_cast<int>(text.size());
    }

   private:
    FakeHost& host_;
    FakePlugin plugin_;
  };

  std::unique_ptr<ISpiLibrary> Load(const std::string& path) override {
    const auto it = libraries.find(path);
    if (it == libraries.end()) return nullptr;
    return std::make_unique<Library>(*this, it->second);
  }
  std::vector<std::string> List(const std::string& folder, const std::string& pattern) override {
    listed.push_back(folder + pattern);
    std::vector<std::string> names;
    // Only the patterns the tests use: "*.spi" and "spi*.spi".
    for (const auto& name : folders[folder]) {
      const bool spi = name.size() > 4 && name.substr(name.size() - 4) == ".spi";
      if (pattern == "*.spi" ? spi : (spi && name.rfind("spi", 0) == 0)) names.push_back(name);
    }
    return names;
  }
  std::string SusieFolder() override { return susie; }
  std::string AppFolder() override { return app; }
  std::string CurrentFolder() override { return current; }
  std::string SystemFolder() override { return "C:\\windows\\system32"; }
  std::string WindowsFolder() override { return "C:\\windows"; }
};

// The registry as the main window sets it up: picture plug-ins only, and
// the viewer's rule for patterns; registrations are recorded.
struct Registry {
  explicit Registry(FakeHost& host) : spis(host) {
    spis.OnSearch = [](TSPIs&, TSPI& plugin, bool& accept) { accept = plugin.Is<TInSPI>(); };
    spis.OnPictureRegister = [this](TSPIs&, TSPI&, const std::string& ext, const std::string&,
                                    const GraphicClass*& cls) {
      offered.push_back(ext);
      if (ViewerRefusesPattern(ext)) cls = nullptr;
    };
    spis.RegisterFormat = [this](const std::string& ext, const std::string&, const GraphicClass*) {
      registered.push_back(ext);
    };
  }
  TSPIs spis;
  std::vector<std::string> offered, registered;
};

TEST(SPIs, OnlyPicturePluginsStayAndArchivesAreUnloadedAgain) {
  FakeHost host;
  host.folders["C:\\app\\"] = {"ifpic.spi", "axzip.spi", "xn.spi"};
  host.libraries["C:\\app\\ifpic.spi"] = PictureIn({{"*.pic", "PIC"}});
  FakePlugin archive;
  archive.info[0] = "00AM";
  archive.exports = {E::GetPluginInfo, E::IsSupported, E::GetArchiveInfo, E::GetFileInfo, E::GetFile};
  host.libraries["C:\\app\\axzip.spi"] = archive;
  FakePlugin xn;
  xn.info[0] = "00XN";
  xn.exports = {E::GetPluginInfo};
  host.libraries["C:\\app\\xn.spi"] = xn;
  Registry r(host);
  r.spis.Loaded();
  ASSERT_EQ(r.spis.Count(), 1);
  EXPECT_EQ(r.spis.Items(0).FileName(), "C:\\app\\ifpic.spi");
  EXPECT_EQ(r.spis.Items(0).APIVersion(), "00IN");
  EXPECT_EQ(r.spis.Items(0).AboutText(), "test plug-in");
  EXPECT_TRUE(r.spis.Items(0).HandledKind());
  EXPECT_EQ(host.live, 1) << "the archive and the other kind were unloaded";
  EXPECT_EQ(host.loads, 6) << "each library is loaded twice: a probe, then its class";
  EXPECT_EQ(r.registered, std::vector<std::string>{"pic"});
}

TEST(SPIs, TheAPIVersionChoosesTheClassAndItsRequiredEntries) {
  struct Row {
    const char* version;
    std::vector<SpiExport> exports;
    const char* className;  // nullptr: refused for a missing entry
    bool loader, handled;
  };
  const Row rows[] = {
      {"00IN", {E::GetPluginInfo, E::IsSupported, E::GetPictureInfo, E::GetPicture}, "TInSPI", true, true},
      {"00AM", {E::GetPluginInfo, E::IsSupported, E::GetArchiveInfo, E::GetFileInfo, E::GetFile}, "TAmSPI", true, true},
      {"00AM", {E::GetPluginInfo, E::IsSupported, E::GetArchiveInfo, E::GetFileInfo}, nullptr, false, false},
      {"00XN", {E::GetPluginInfo}, "TXnSPI", false, false},
      {"00in", {E::GetPluginInfo}, "TSPI", false, false},  // the version is compared with case
      {"", {E::GetPluginInfo}, "TSPI", false, false},
  };
  const SpiClass* classes[] = {&TInSPI::Class, &TAmSPI::Class, &TXnSPI::Class, &TSPI::Class};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.version) + " " + std::to_string(row.exports.size()));
    FakeHost host;
    host.folders["C:\\app\\"] = {"x.spi"};
    FakePlugin plugin;
    plugin.info[0] = row.version;
    plugin.exports = {row.exports.begin(), row.exports.end()};
    host.libraries["C:\\app\\x.spi"] = plugin;
    TSPIs spis(host);
    spis.OnSearch = [](TSPIs&, TSPI&, bool& accept) { accept = true; };
    if (!row.className) {
      EXPECT_THROW(spis.Loaded(), ESPIInvalidAPI);
      continue;
    }
    spis.Loaded();
    ASSERT_EQ(spis.Count(), 1);
    const TSPI& spi = spis.Items(0);
    const auto cls = std::find_if(std::begin(classes), std::end(classes), [&](const SpiClass* c) { return spi.IsA(*c); });
    EXPECT_STREQ((*cls)->name, row.className);  // the most derived class comes first in the list
    EXPECT_EQ(spi.IsA(TLoaderSPI::Class), row.loader);
    EXPECT_TRUE(spi.IsA(TSPI::Class));
    EXPECT_EQ(spi.HandledKind(), row.handled);
  }
}

TEST(SPIs, PatternsAreOfferedLastFirstAndARefusalEndsTheLine) {
  struct Row {
    const char* line;
    std::vector<std::string> offered, registered;
  };
  const Row rows[] = {
      {"*.jpg;*.jpe", {"jpe", "jpg"}, {"jpe"}},
      {"*.jpe;*.jpg", {"jpg", "jpe"}, {}},
      {"*.a;*.b;*.c", {"c", "b", "a"}, {"c", "b", "a"}},
      {"*.*", {"*"}, {}},
      {"*.JPEG;*.x", {"x", "JPEG"}, {"x"}},
      {"noext", {"noext"}, {"noext"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FakeHost host;
    host.folders["C:\\p\\"] = {"a.spi"};
    host.libraries["C:\\p\\a.spi"] = PictureIn({{row.line, "desc"}});
    Registry r(host);
    r.spis.Search("C:\\p\\*.spi");
    EXPECT_EQ(r.offered, row.offered);
    EXPECT_EQ(r.registered, row.registered);
  }
}

TEST(SPIs, PatternEntriesNeedTheirDescription) {
  FakeHost host;
  FakePlugin p = PictureIn({});
  p.info[2] = "*.pic";  // no description at 3
  host.folders["C:\\p\\"] = {"a.spi"};
  host.libraries["C:\\p\\a.spi"] = p;
  Registry r(host);
  r.spis.Search("C:\\p\\*.spi");
  ASSERT_EQ(r.spis.Count(), 1);
  EXPECT_TRUE(r.spis.Items(0).Extensions().empty());
  EXPECT_TRUE(r.spis.Items(0).Descriptions().empty());
}

TEST(SPIs, NonLibrariesAreSkippedAndAMissingExportStopsTheSearch) {
  FakeHost host;
  host.folders["C:\\app\\"] = {"text.spi", "good.spi", "noinfo.spi", "later.spi"};
  host.libraries["C:\\app\\good.spi"] = PictureIn({{"*.g", "G"}});
  FakePlugin noInfo;
  noInfo.exports = {E::IsSupported};
  host.libraries["C:\\app\\noinfo.spi"] = noInfo;
  host.libraries["C:\\app\\later.spi"] = PictureIn({{"*.l", "L"}});
  Registry r(host);
  try {
    r.spis.Search("C:\\app\\*.spi");
    ADD_FAILURE() << "no error";
  } catch (const ESPIInvalidAPI& e) {
    EXPECT_STREQ(e.what(), "GetPluginInfoは[C:\\app\\noinfo.spi]では使えないSusie Plugin APIです");
  }
  ASSERT_EQ(r.spis.Count(), 1) << "the plug-ins already added stay, the later ones are not examined";
  EXPECT_EQ(r.spis.Items(0).FileName(), "C:\\app\\good.spi");
  EXPECT_EQ(host.live, 1);
}

TEST(SPIs, APictureClassNeedsAllFourEntries) {
  FakeHost host;
  FakePlugin p = PictureIn({{"*.x", "X"}});
  p.exports.erase(E::GetPicture);
  p.moduleName = "C:\\REAL\\X.SPI";
  host.folders["C:\\p\\"] = {"x.spi"};
  host.libraries["C:\\p\\x.spi"] = p;
  Registry r(host);
  try {
    r.spis.Search("C:\\p\\*.spi");
    ADD_FAILURE() << "no error";
  } catch (const ESPIInvalidAPI& e) {
    // The name is the one the loader reports.
    EXPECT_STREQ(e.what(), "GetPictureは[C:\\REAL\\X.SPI]では使えないSusie Plugin APIです");
  }
  EXPECT_EQ(host.live, 0);
}

TEST(SPIs, ASecondSearchAddsNothingAndFolderJoinsAreTakenLiterally) {
  FakeHost host;
  host.folders["C:\\p\\"] = {"a.spi"};
  host.libraries["C:\\p\\a.spi"] = PictureIn({{"*.a", "A"}});
  Registry r(host);
  r.spis.Search("C:\\p\\*.spi");
  r.spis.Search("c:\\P\\*.spi");  // same folder, other case: the library is loaded but already there
  r.spis.Search("C:\\p\\*.spi");
  EXPECT_EQ(r.spis.Count(), 1);
  EXPECT_EQ(r.spis.IndexOf("c:\\P\\A.SPI"), 0);

  // The setting C:\spi without a trailing "\" searches C:\ for spi*.spi.
  host.listed.clear();
  r.spis.Search("C:\\spi" + std::string("*.spi"));
  EXPECT_EQ(host.listed, std::vector<std::string>{"C:\\spi*.spi"});
}

TEST(SPIs, TheOptionsAreSearchedInTheirOrder) {
  FakeHost host;
  host.susie = "D:\\susie";
  Registry r(host);
  r.spis.Search("*.spi");
  EXPECT_EQ(host.listed, (std::vector<std::string>{"D:\\susie\\*.spi", "C:\\app\\*.spi"}));
  host.listed.clear();
  host.susie.clear();  // no key, or an empty value: skipped
  r.spis.SearchOptions = {TSPISearchOption::spsWindowsDir, TSPISearchOption::spsCurrentDir,
                          TSPISearchOption::spsSusieDir, TSPISearchOption::spsSystemDir};
  r.spis.Search("*.spi");
  EXPECT_EQ(host.listed, (std::vector<std::string>{"C:\\cwd\\*.spi", "C:\\windows\\system32\\*.spi",
                                                   "C:\\windows\\*.spi"}));
}

TEST(SPIs, CollectPuttsClaimingPluginsFirst) {
  FakeHost host;
  host.folders["C:\\p\\"] = {"1.spi", "2.spi", "3.spi"};
  host.libraries["C:\\p\\1.spi"] = PictureIn({{"*.bmp;*.dib", "B"}});
  host.libraries["C:\\p\\2.spi"] = PictureIn({{"*.pic", "P"}, {"*.BMP", "B2"}});
  host.libraries["C:\\p\\3.spi"] = PictureIn({{"*.bmp", "B3"}});
  Registry r(host);
  r.spis.Search("C:\\p\\*.spi");
  std::vector<TSPI*> list;
  r.spis.CollectPlugins({&TInSPI::Class}, list, "photo.bmp");
  ASSERT_EQ(list.size(), 3u);
  // 3 and 2 claim .bmp (reverse order); 1's line ends in .dib, so it follows.
  EXPECT_EQ(list[0]->FileName(), "C:\\p\\3.spi");
  EXPECT_EQ(list[1]->FileName(), "C:\\p\\2.spi");
  EXPECT_EQ(list[2]->FileName(), "C:\\p\\1.spi");
  std::vector<TSPI*> none;
  r.spis.CollectPlugins({&TAmSPI::Class}, none, "photo.bmp");
  EXPECT_TRUE(none.empty());
}

TEST(SPIs, OneRegistryPerProcessAndAnEmptyOne) {
  FakeHost host;
  {
    TSPIs spis(host);
    EXPECT_EQ(TSPIs::Instance(), &spis);
    EXPECT_THROW(TSPIs second(host), ESPIDupCreateSPIs);
    EXPECT_EQ(spis.IndexOf("C:\\x.spi"), -1);
    std::vector<TSPI*> list;
    spis.CollectPlugins({&TSPI::Class}, list, "a.bmp");
    EXPECT_TRUE(list.empty());
    EXPECT_THROW(spis.Items(0), EMirabo);
  }
  EXPECT_EQ(TSPIs::Instance(), nullptr);
  TSPIs again(host);  // the instance was cleared with the first
}

TEST(SPIs, RefusedBySearchingIsNotLoaded) {
  FakeHost host;
  host.folders["C:\\p\\"] = {"a.spi", "b.spi"};
  host.libraries["C:\\p\\a.spi"] = PictureIn({{"*.a", "A"}});
  host.libraries["C:\\p\\b.spi"] = PictureIn({{"*.b", "B"}});
  Registry r(host);
  r.spis.OnSearching = [](TSPIs&, const std::string& path, bool& accept) { accept = path != "C:\\p\\a.spi"; };
  r.spis.Search("C:\\p\\*.spi");
  EXPECT_EQ(host.loads, 2) << "only b was loaded (probe and class)";
  EXPECT_EQ(r.spis.Count(), 1);
  r.spis.Clear();
  EXPECT_EQ(host.live, 0);
}

}  // namespace
}  // namespace mirabo
