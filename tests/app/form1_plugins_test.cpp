// Real plug-in libraries of our own, found through the settings' folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/paths.h"
#include "base/win/text.h"
#include "plugins/spi_abi.h"
#include "plugins/spi_bitmap.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/plugin_test_support.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::TempDir;
using testing::WriteBytes;

using testing::IniWithSusiePath;
using testing::PluginFolder;
using testing::TestPicture;
using testing::TestPlugin;

// A P6 picture: red on the top row, blue below.
std::string Ppm(int w, int h) {
  std::string p = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p += y == 0 ? std::string("\xC8\x10\x20", 3) : std::string("\x10\x20\xC8", 3);
  return p;
}

TEST(Form1Plugins, APluginInTheSettingsFolderClaimsItsExtensions) {
  TempDir plugins(L"-プラグイン");
  std::filesystem::copy_file(TestPlugin(L"ifppm"), plugins / (L"ifppm" + std::wstring(spi::kPluginMask).substr(1)));
  WriteBytes(plugins / (L"notalibrary" + std::wstring(spi::kPluginMask).substr(1)), "MZ but nothing more");
  MainWindow w({}, IniWithSusiePath(plugins.path()));
  ASSERT_EQ(w->SPIs1().Count(), 1);
  const TSPI& spi = w->SPIs1().Items(0);
  EXPECT_EQ(spi.APIVersion(), "00IN");
  EXPECT_EQ(spi.AboutText(), "PPM/PGM test plug-in");
  EXPECT_EQ(spi.Extensions(), std::vector<std::string>{"*.ppm;*.pgm"});
  EXPECT_EQ(spi.Descriptions(), std::vector<std::string>{"Portable pixmap"});
  EXPECT_EQ(_wcsicmp(win::Utf8ToWide(spi.FileName()).c_str(),
                     (plugins / (L"ifppm" + std::wstring(spi::kPluginMask).substr(1))).c_str()),
            0)
      << spi.FileName();

  for (const wchar_t* name : {L"a.ppm", L"b.ppm"}) WriteBytes(w.dir() / name, Ppm(4, 3));
  w->CurrentPath = (w.dir() / L"a.ppm").wstring();
  w->ClassifyFile(w->CurrentPath);
  EXPECT_EQ(w->viewMode, ViewMode::Plugin);
  EXPECT_EQ(w->FileListBox1Mask, L"*.ppm");
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/2");
  EXPECT_TRUE(w->IsEnabled("ToolButton30"));
  EXPECT_FALSE(w->IsEnabled("ToolButton1"));

  // Decoded through the plug-in, shown and stepped like any picture.
  w->ShowCurrentFile();
  const Picture& p = w->ImageJpg().picture();
  ASSERT_EQ(p.Width(), 4);
  ASSERT_EQ(p.Height(), 3);
  EXPECT_EQ(testing::PixelOf(p, 1, 0), RGB(0xC8, 0x10, 0x20));
  EXPECT_EQ(testing::PixelOf(p, 2, 2), RGB(0x10, 0x20, 0xC8));
  w.PressKey(w->WindowOf("EditKey"), VK_SPACE);
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"b.ppm").wstring());
  EXPECT_EQ(w->TextOf("PanelCou"), L"2/2");

  // A file no plug-in can read.
  WriteBytes(w.dir() / L"c.ppm", "P6\nnot a picture");
  try {
    w.Open((w.dir() / L"c.ppm").wstring());
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "認識できない画像形式です");
  }
}

TEST(Form1Plugins, ALibraryWithoutGetPluginInfoIsReportedOnceTheWindowIsUp) {
  TempDir plugins;
  const std::wstring ext = std::wstring(spi::kPluginMask).substr(1);
  std::filesystem::copy_file(TestPlugin(L"ifppm"), plugins / (L"a-ifppm" + ext));
  std::filesystem::copy_file(TestPlugin(L"noinfo"), plugins / (L"b-noinfo" + ext));
  ErrorRecorder errors;
  MainWindow w({}, IniWithSusiePath(plugins.path()));
  testing::PumpMessages();
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0].rfind("GetPluginInfoは[", 0), 0u) << errors.messages[0];
  EXPECT_NE(errors.messages[0].find("b-noinfo"), std::string::npos) << errors.messages[0];
  EXPECT_EQ(w->SPIs1().Count(), 1) << "the plug-in found before it stays";
  EXPECT_TRUE(::IsWindowVisible(w->Handle()));
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {


TEST(Form1Plugins, OnlyPicturePluginsStayLoaded) {
  PluginFolder plugins({L"v_bottomup", L"v_archive", L"v_xn"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ASSERT_EQ(w->SPIs1().Count(), 1);
  EXPECT_EQ(w->SPIs1().Items(0).APIVersion(), "00IN");
  EXPECT_EQ(w->SPIs1().Items(0).FileName(), win::WideToUtf8(plugins.Path(L"v_bottomup").wstring()));
  // The libraries are loaded in a helper process in the 64-bit program;
  // the 32-bit one holds them itself, the picture plug-in only.
#if !defined(_WIN64)
  EXPECT_EQ(::GetModuleHandleW(plugins.Path(L"v_archive").c_str()), nullptr) << "the archive plug-in was unloaded";
  EXPECT_EQ(::GetModuleHandleW(plugins.Path(L"v_xn").c_str()), nullptr);
  EXPECT_NE(::GetModuleHandleW(plugins.Path(L"v_bottomup").c_str()), nullptr);
#else
  EXPECT_EQ(::GetModuleHandleW(plugins.Path(L"v_bottomup").c_str()), nullptr) << "not in the program's own process";
#endif
}

TEST(Form1Plugins, EveryResultLayoutShowsItsPixels) {
  struct Row {
    const wchar_t* plugin;
    std::string file;
  };
  const Row rows[] = {
      {L"v_bottomup", TestPicture()},   {L"v_topdown", TestPicture()},   {L"v_4bit", TestPicture()},
      {L"v_16bf", TestPicture()},       {L"v_32noalpha", TestPicture()}, {L"v_infofails", TestPicture()},
      {L"v_padding", TestPicture(0, 100)},  // IsSupported reads 2 KB of a 100-byte file
      {L"v_bottomup", TestPicture(128, 400)},  // accepted once the first 128 bytes are skipped
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(win::WideToUtf8(r.plugin) + " " + std::to_string(r.file.size()));
    PluginFolder plugins({r.plugin});
    MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
    const auto path = w.dir() / L"p.tst";
    WriteBytes(path, r.file);
    w.Open(path.wstring());
    ASSERT_EQ(w->viewMode, ViewMode::Plugin);
    const Picture& p = w->ImageJpg().picture();
    ASSERT_EQ(p.Width(), 2);
    ASSERT_EQ(p.Height(), 2);
    EXPECT_EQ(testing::PixelOf(p, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(testing::PixelOf(p, 1, 1), RGB(0, 0, 255));
  }
}

TEST(Form1Plugins, PatternsLeaveJpegToTheViewer) {
  // The picture format table lives as long as the process, so the refusing
  // line comes first, before anything has registered "jpe".
  {
    PluginFolder plugins({L"v_jpejpg"});
    MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
    WriteBytes(w.dir() / L"x.jpe", TestPicture());
    // The line's first pattern claims the file, but "jpg" was refused first
    // and "jpe" after it was never registered.
    try {
      w.Open((w.dir() / L"x.jpe").wstring());
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), "拡張子 .jpe の画像形式は処理できません");
    }
  }
  PluginFolder plugins({L"v_jpgjpe"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  WriteBytes(w.dir() / L"x.jpe", TestPicture());
  w.Open((w.dir() / L"x.jpe").wstring());
  EXPECT_EQ(w->viewMode, ViewMode::Plugin);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 2) << "jpe registered and read by the plug-in";
  EXPECT_EQ(ClassifyPath(L"y.jpg", {}, {}), ViewMode::Jpeg);
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

TEST(Form1Plugins, ABitmapNameIsReadNativelyFirst) {
  PluginFolder plugins({L"v_bmp"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  const auto real = w.dir() / L"real.bmp";
  WriteBytes(real, testing::MakeBmp(8, 4, 24, false));
  w.Open(real.wstring());
  EXPECT_EQ(w->viewMode, ViewMode::Plugin) << "the plug-in claims .bmp";
  EXPECT_EQ(w->ImageJpg().picture().Width(), 8) << "but a real bitmap is read natively";
  const auto fake = w.dir() / L"fake.bmp";
  WriteBytes(fake, TestPicture());
  w.Open(fake.wstring());
  EXPECT_EQ(w->ImageJpg().picture().Width(), 2) << "what the native reader refuses goes to the plug-in";
}

TEST(Form1Plugins, ProgressRunsFromOneToNinetyNineAndCanStopThePlugin) {
  PluginFolder plugins({L"v_bottomup"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  const auto path = w.dir() / L"p.tst";
  WriteBytes(path, TestPicture());
  TInSPIAble loader;
  std::vector<std::pair<int, int>> seen;
  loader.OnProgress = [&](int stage, int percent) {
    seen.emplace_back(stage, percent);
    return true;
  };
  EXPECT_EQ(loader.LoadFromFile(path.wstring()).Width(), 2);
  // Starting, then (0 of 0), (1 of 2), (1 of 1) twice, then ending.
  const std::vector<std::pair<int, int>> expected{{0, 0}, {1, 1}, {1, 50}, {1, 99}, {1, 99}, {2, 100}};
  EXPECT_EQ(seen, expected);

  loader.OnProgress = [](int stage, int) { return stage != 1; };
  try {
    loader.LoadFromFile(path.wstring());
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "認識できない画像形式です") << "the stopped plug-in failed, and nothing else could read it";
  }
}

TEST(Form1Plugins, TheOutsideHostsFolderIsSearchedAtStart) {
  PluginFolder plugins({L"ifppm"});
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Velkoran\\Susie\\Plug-in", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring folder = plugins.dir.path().wstring();
  ::RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  {
    MainWindow w;
    ASSERT_EQ(w->SPIs1().Count(), 1);
    EXPECT_EQ(w->SPIs1().Items(0).AboutText(), "PPM/PGM test plug-in");
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Velkoran");
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

TEST(Form1Plugins, EveryPatternOfALineAndNoneForStarDotStar) {
  PluginFolder plugins({L"v_abc", L"v_star"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ASSERT_EQ(w->SPIs1().Count(), 2);
  for (const wchar_t* name : {L"x.a", L"x.b", L"x.c"}) {
    SCOPED_TRACE(win::WideToUtf8(name));
    WriteBytes(w.dir() / name, TestPicture());
    EXPECT_EQ(LoadPictureFile((w.dir() / name).wstring()).Width(), 2);
  }
  try {
    LoadPictureFile((w.dir() / L"x.*").wstring());
    ADD_FAILURE() << "\"*\" was registered";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "拡張子 .* の画像形式は処理できません");
  }
}

TEST(Form1Plugins, ASettingWithoutATrailingBackslashJoinsItsLastName) {
  TempDir folder;
  const std::wstring ext = std::wstring(spi::kPluginMask).substr(1);
  std::filesystem::copy_file(TestPlugin(L"ifppm"), folder / (L"plugifppm" + ext));
  std::filesystem::create_directory(folder / L"plug");
  std::filesystem::copy_file(TestPlugin(L"v_bottomup"), folder / L"plug" / (L"v_bottomup" + ext));
  // Path=...\plug gives the mask ...\plug*.sph: the folder's files whose
  // names begin with "plug", not the files inside plug\.
  const std::string ini = "[Susie]\r\nPath=" + win::WideToCp932((folder / L"plug").wstring()) + "\r\n";
  MainWindow w({}, ini);
  ASSERT_EQ(w->SPIs1().Count(), 1);
  EXPECT_EQ(w->SPIs1().Items(0).AboutText(), "PPM/PGM test plug-in");
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

TEST(Form1Plugins, PluginsGetANameTheirCodePageCanHold) {
  PluginFolder plugins({L"v_name"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  // The second name has characters CP932 cannot hold: the short name goes instead.
  for (const wchar_t* name : {L"写真.tst", L"café-\U0001F600.tst"}) {
    SCOPED_TRACE(win::WideToUtf8(name));
    WriteBytes(w.dir() / name, TestPicture());
    w.Open((w.dir() / name).wstring());
    EXPECT_EQ(w->ImageJpg().picture().Width(), 2);
  }
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

TEST(Form1Plugins, NamelessDataAndAFixedPlugin) {
  PluginFolder plugins({L"v_bottomup", L"v_topdown"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  const std::string picture = TestPicture(128, 300);
  const auto* bytes = reinterpret_cast<const uint8_t*>(picture.data());
  TSPIBitmap bitmap;
  EXPECT_EQ(bitmap.LoadFromStream(bytes, picture.size()).Width(), 2) << "every plug-in is tried for nameless data";
  bitmap.SkipHeaderRetry = false;
  EXPECT_THROW(bitmap.LoadFromStream(bytes, picture.size()), EMirabo) << "without the retry the header stops them";
  bitmap.SkipHeaderRetry = true;
  bitmap.FixedPlugin = &w->SPIs1().Items(1);
  EXPECT_EQ(bitmap.LoadFromStreamWithName(bytes, picture.size(), L"a.zzz").Width(), 2);
  const std::string bmp = testing::MakeBmp(5, 3, 24, true);
  EXPECT_EQ(bitmap.LoadFromStream(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()).Width(), 5)
      << "nameless data is read natively first";
}

}  // namespace
}  // namespace mirabo
