#include "settings/rw_ini.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/errors.h"
#include "tests/settings/memory_file_store.h"

namespace mirabo {
namespace {

using testing::MemoryFileStore;

const std::filesystem::path kIni = "/apps/view.INI";
constexpr std::string_view kExeFolder = "C:\\Apps\\";

struct Loaded {
  Settings settings;
  std::vector<std::string> list;
};

Loaded Load(MemoryFileStore& store) {
  Loaded l;
  LoadSettingsFile(store, kIni, kExeFolder, l.settings, l.list);
  return l;
}

Loaded LoadText(std::string_view ini) {
  MemoryFileStore store;
  store.files[kIni] = std::string(ini);
  return Load(store);
}

TEST(Settings, WithoutAFileEverySettingHasItsDefault) {
  MemoryFileStore store;
  const Loaded l = Load(store);
  const Settings& s = l.settings;
  struct Row {
    const char* name;
    int actual, expected;
  };
  const Row ints[] = {
      {"Top", s.Top, 0},       {"Left", s.Left, 0},       {"Width", s.Width, 640},
      {"Height", s.Height, 480}, {"Zoom", s.Zoom, 0},     {"FitWin", s.FitWin, 0},
      {"FitOver", s.FitOver, 0}, {"View/Slide", s.ViewSlide, 0}, {"Orientation", s.Orientation, 1},
      {"ColorManage", s.ColorManage, 1}, {"ReadAhead", s.ReadAhead, 1}, {"Loop", s.Loop, 0},
      {"Time", s.Time, 3},     {"Comp", s.Comp, 66},      {"Date", s.Date, 1},
      {"Degit", s.Degit, 3},   {"Count", s.Count, 0},     {"Init", s.Init, 1},
      {"Font/Size", s.FontSize, 10}, {"DblCK", s.DblCK, 1}, {"Tray", s.Tray, 1},
      {"RenBar", s.RenBar, 0},
  };
  for (const Row& r : ints) EXPECT_EQ(r.actual, r.expected) << r.name;
  EXPECT_EQ(s.SavePath, kExeFolder);
  EXPECT_EQ(s.Fix, "\x96\xB3\x91\xE8");  // 無題 in CP932
  EXPECT_EQ(s.FontName, "Terminal");
  for (const auto* text : {&s.SendTo, &s.MediaBack, &s.MailPath, &s.BndOp, &s.SusiePath})
    EXPECT_EQ(*text, "");
  EXPECT_EQ(l.list, (std::vector<std::string>{"doc", "xls", "ppt", "mdb", "pdf"}));
  EXPECT_EQ(store.writes, 0);
}

TEST(Settings, IntegersAcceptHexSignsAndFallBackOnAnythingElse) {
  struct Row {
    std::string_view text;
    int expected;
  };
  const Row rows[] = {
      {"0x20", 32},       {"0X1f", 31},         {"$20", 32},       {"-$10", -16},
      {"-5", -5},         {"+7", 7},            {"42", 42},        {" 12", 12},
      {"0x", 99},         {"0xg", 99},          {"abc", 99},       {"", 99},
      {"12abc", 99},      {"1 2", 99},          {"-", 99},         {"$", 99},
      {"2147483647", 2147483647},               {"-2147483648", -2147483647 - 1},
      {"2147483648", 99}, {"0xFFFFFFFF", -1},   {"0x100000000", 99},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": '" + std::string(rows[i].text) + "'");
    EXPECT_EQ(ParseIniInteger(rows[i].text, 99), rows[i].expected);
  }
}

TEST(Settings, HandWrittenValuesAreTakenAsTheyAre) {
  const Loaded l = LoadText(
      "[Jpeg]\r\nComp=0x20\r\n"
      "[Slide]\r\nTime=abc\r\n"
      "[Rename]\r\nFix=\r\nDegit=\r\n"
      "[Pos]\r\nWidth=-300\r\n"
      "[view]\r\nzoom=7\r\n");
  EXPECT_EQ(l.settings.Comp, 32);
  EXPECT_EQ(l.settings.Time, 3);
  EXPECT_EQ(l.settings.Fix, "");  // present and empty: not the default title
  EXPECT_EQ(l.settings.Degit, 3);
  EXPECT_EQ(l.settings.Width, -300);  // nothing is clamped
  EXPECT_EQ(l.settings.Zoom, 7);
  EXPECT_TRUE(l.list.empty()) << "a file without IE keys gives an empty list";
}

TEST(Settings, TheRowsLeftAtTheirDefaultsAreNamed) {
  // The window's first size depends on whether the file gave one.
  MemoryFileStore store;
  store.files[kIni] = "[Pos]\r\nWidth=800\r\nHeight=abc\r\n[Mail]\r\nPath=\r\n";
  Loaded l;
  std::vector<const SettingRow*> defaulted;
  LoadSettingsFile(store, kIni, kExeFolder, l.settings, l.list, &defaulted);
  const auto named = [&](std::string_view section, std::string_view key) {
    return std::any_of(defaulted.begin(), defaulted.end(),
                       [&](const SettingRow* r) { return r->section == section && r->key == key; });
  };
  EXPECT_FALSE(named("Pos", "Width"));
  EXPECT_TRUE(named("Pos", "Height")) << "not a number";
  EXPECT_TRUE(named("Pos", "Top"));
  EXPECT_FALSE(named("Mail", "Path")) << "present and empty";
  EXPECT_TRUE(named("Font", "Name"));
  MemoryFileStore none;
  defaulted.clear();
  LoadSettingsFile(none, kIni, kExeFolder, l.settings, l.list, &defaulted);
  EXPECT_EQ(defaulted.size(), SettingsTable().size() - 1) << "every row but the list";
}

TEST(Settings, ListEntriesCloseUpAndRemovedOnesDoNotComeBack) {
  MemoryFileStore store;
  store.files[kIni] = "[IE]\r\nExt0=jpg\r\nExt1=\r\nExt2=png\r\n";
  Loaded l = Load(store);
  EXPECT_EQ(l.list, (std::vector<std::string>{"jpg", "png"}));

  SaveSettingsFile(store, kIni, l.settings, l.list);
  const IniDocument saved = IniDocument::Parse(store.files[kIni]);
  EXPECT_EQ(saved.Get("IE", "Ext0"), "jpg");
  EXPECT_EQ(saved.Get("IE", "Ext1"), "png");
  for (int n = 2; n < 64; ++n) EXPECT_EQ(saved.Get("IE", "Ext" + std::to_string(n)), "") << n;
  EXPECT_EQ(saved.Get("IE", "Ext64"), std::nullopt);
}

TEST(Settings, SeventyEntriesAreSavedAndTheFirstSixtyFourReadBack) {
  MemoryFileStore store;
  Loaded l = Load(store);
  l.list.clear();
  for (int i = 0; i < 70; ++i) l.list.push_back("e" + std::to_string(i));
  SaveSettingsFile(store, kIni, l.settings, l.list);
  const IniDocument saved = IniDocument::Parse(store.files[kIni]);
  EXPECT_EQ(saved.Get("IE", "Ext69"), "e69");

  const Loaded again = Load(store);
  ASSERT_EQ(again.list.size(), 64u);
  EXPECT_EQ(again.list.front(), "e0");
  EXPECT_EQ(again.list.back(), "e63");
}

TEST(Settings, EverySettingRoundTrips) {
  MemoryFileStore store;
  Loaded l = Load(store);
  Settings& s = l.settings;
  // Each integer row gets a value of its own, so a row that wrote or read
  // the wrong member would show.
  int next = -3;
  for (const SettingRow& row : SettingsTable()) {
    if (row.integer) s.*row.integer = next++ * 1000;
    if (row.text) s.*row.text = std::string(row.key) + " \x96\xB3\x91\xE8 " + std::string(row.section);
  }
  l.list = {"htm", "\x83\x41"};
  SaveSettingsFile(store, kIni, s, l.list);
  const Loaded again = Load(store);
  EXPECT_EQ(again.settings, s);
  EXPECT_EQ(again.list, l.list);

  // Saving what was loaded changes nothing.
  const std::string first = store.files[kIni];
  SaveSettingsFile(store, kIni, again.settings, again.list);
  EXPECT_EQ(store.files[kIni], first);
}

TEST(Settings, ANewFileHasItsSectionsInTableOrder) {
  MemoryFileStore store;
  const Loaded l = Load(store);
  SaveSettingsFile(store, kIni, l.settings, l.list);
  const std::string& text = store.files[kIni];
  std::vector<std::string> sections;
  const IniDocument doc = IniDocument::Parse(text);
  for (const auto& line : doc.Lines())
    if (!line.empty() && line.front() == '[') sections.push_back(line);
  EXPECT_EQ(sections, (std::vector<std::string>{"[Pos]", "[View]", "[Slide]", "[Jpeg]", "[Save]",
                                                "[Launch]", "[Media]", "[Mail]", "[Rename]",
                                                "[Font]", "[Mode]", "[IE]", "[Susie]"}));
  EXPECT_EQ(text.rfind("[Pos]\r\nTop=0\r\nLeft=0\r\nWidth=640\r\nHeight=480\r\n\r\n[View]\r\nZoom=0\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Save]\r\nPath=C:\\Apps\\\r\n"), std::string::npos);
  EXPECT_NE(text.find("[IE]\r\nExt0=doc\r\nExt1=xls\r\nExt2=ppt\r\nExt3=mdb\r\nExt4=pdf\r\nExt5=\r\n"),
            std::string::npos);
}

TEST(Settings, SavingKeepsCommentsUnknownKeysAndOrder) {
  MemoryFileStore store;
  store.files[kIni] =
      "; my viewer\n"
      "[Mode]\n"
      "Tray=0\n"
      "Extra=kept\n"
      "\n"
      "[Other]\n"
      "x=1\n";
  Loaded l = Load(store);
  EXPECT_EQ(l.settings.Tray, 0);
  l.settings.Tray = 1;
  SaveSettingsFile(store, kIni, l.settings, l.list);
  const std::string& text = store.files[kIni];
  EXPECT_EQ(text.rfind("; my viewer\r\n[Mode]\r\nTray=1\r\nExtra=kept\r\nDblCK=1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Other]\r\nx=1\r\n"), std::string::npos);
  EXPECT_LT(text.find("[Other]"), text.find("[Pos]")) << "new sections go after the old ones";
}

TEST(Settings, AFailedSaveReportsThePathAndLeavesTheFileAlone) {
  for (const bool readFails : {false, true}) {
    SCOPED_TRACE(readFails ? "file unreadable" : "file not replaceable");
    MemoryFileStore store;
    store.files[kIni] = "[Pos]\r\nTop=5\r\n";
    Loaded l = Load(store);
    l.settings.Top = 77;
    store.failReads = readFails;
    store.failWrites = !readFails;
    try {
      SaveSettingsFile(store, kIni, l.settings, l.list);
      ADD_FAILURE() << "no error raised";
    } catch (const EIniFileException& e) {
      const auto path = kIni.u8string();
      EXPECT_EQ(std::string(e.what()),
                std::string(path.begin(), path.end()) + " に書き込めません");
    }
    EXPECT_EQ(store.files[kIni], "[Pos]\r\nTop=5\r\n");
    EXPECT_EQ(store.writes, 0);
  }
}

TEST(Settings, AnUnreadableFileGivesDefaultsButNoDefaultList) {
  MemoryFileStore store;
  store.files[kIni] = "[Pos]\r\nWidth=800\r\n";
  store.failReads = true;
  const Loaded l = Load(store);
  EXPECT_EQ(l.settings.Width, 640);
  EXPECT_TRUE(l.list.empty());
}

TEST(Settings, TheIniFileIsTheExecutablesPathWithIniExtension) {
  struct Row {
    const char* exe;
    const char* ini;
  };
  const Row rows[] = {
      {"/apps/view.exe", "/apps/view.INI"},
      {"/apps/mirabo.EXE", "/apps/mirabo.INI"},
      {"/apps/noext", "/apps/noext.INI"},
      {"/a.b/viewer", "/a.b/viewer.INI"},
      {"/apps/two.dots.exe", "/apps/two.dots.INI"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IniPathForExecutable(r.exe), std::filesystem::path(r.ini)) << r.exe;
}

}  // namespace
}  // namespace mirabo
