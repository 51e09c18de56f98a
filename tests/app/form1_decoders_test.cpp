// Our own decoder plug-ins in the program: today's formats as pictures.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/win/paths.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/plugin_test_support.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::IniWithSusiePath;
using testing::MainWindow;
using testing::PluginFolder;
using testing::WriteBytes;

std::filesystem::path Sample(const wchar_t* name) {
  return std::filesystem::path(win::FolderWithSlash(win::ExecutablePath())) / L"testdata" / L"decoders" / name;
}

// The samples' picture, 64 x 48: blue rises to the right, green downwards,
// red is 230 and 40 in blocks of 8.
COLORREF Drawn(int x, int y) {
  const int red = ((x / 8) + (y / 8)) % 2 == 0 ? 230 : 40;
  return RGB(red, y * 255 / 47, x * 255 / 63);
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

TEST(Form1Decoders, PngWebpHeicAndAvifArePictures) {
  PluginFolder plugins({L"mirabo_png", L"mirabo_webp", L"mirabo_heif", L"mirabo_avif"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ASSERT_EQ(w->SPIs1().Count(), 4);
  const struct {
    const wchar_t* file;
    int width, height;
    int tolerance;
    int orientation;  // 6: stored lying, shown standing
    int refills;      // the view's spare, a picture of this shape shown before: its bitmap is filled again
  } cases[] = {
      {L"sample.png", 64, 48, 1, 1, -1},
      {L"sample.webp", 64, 48, 40, 1, -1},  // the PNG is still shown while it loads
      {L"sample.heic", 48, 64, 40, 6, -1},
      {L"sample.avif", 64, 48, 40, 1, 1},
  };
  std::vector<HBITMAP> bitmaps;
  for (const auto& c : cases) {
    const auto path = w.dir() / c.file;
    std::filesystem::copy_file(Sample(c.file), path);
    w.Open(path.wstring());
    EXPECT_EQ(w->viewMode, ViewMode::Plugin) << path;
    const Picture& p = w->ImageJpg().picture();
    bitmaps.push_back(p.Handle());
    for (int i = 0; i + 1 < static_cast<int>(bitmaps.size()); ++i)
      EXPECT_EQ(bitmaps.back() == bitmaps[static_cast<size_t>(i)], i == c.refills) << path << " and case " << i;
    ASSERT_EQ(p.Width(), c.width) << path;
    ASSERT_EQ(p.Height(), c.height) << path;
    // The bottom rows: where the AVIF's alpha is all but opaque.
    for (const POINT at : {POINT{3, 45}, POINT{20, 46}, POINT{60, 47}, POINT{44, 40}}) {
      // Orientation 6 turns clockwise: shown (x, y) is stored (y, 47 - x).
      const POINT shown = c.orientation == 6 ? POINT{47 - at.y, at.x} : at;
      EXPECT_TRUE(Near(testing::PixelOf(p, shown.x, shown.y), Drawn(at.x, at.y), c.tolerance))
          << path << " at " << at.x << "," << at.y << ": " << std::hex << testing::PixelOf(p, shown.x, shown.y)
          << " for " << Drawn(at.x, at.y);
    }
  }
  // Behind a 128-byte header (a Mac's copy): the plug-in reads the file
  // from where the viewer's second try says the picture starts.
  const auto behind = w.dir() / L"header.png";
  WriteBytes(behind, std::string(128, '\0') + testing::ReadBytes(Sample(L"sample.png")));
  w.Open(behind.wstring());
  const Picture& p = w->ImageJpg().picture();
  ASSERT_EQ(p.Width(), 64);
  EXPECT_TRUE(Near(testing::PixelOf(p, 20, 46), Drawn(20, 46), 1)) << std::hex << testing::PixelOf(p, 20, 46);
}

TEST(Form1Decoders, AFolderOfMixedFormatsStepsAndADamagedFileCostsOnlyItself) {
  PluginFolder plugins({L"mirabo_png", L"mirabo_webp", L"mirabo_heif", L"mirabo_avif"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ErrorRecorder errors;
  for (const wchar_t* name : {L"sample.png", L"sample.webp", L"sample.heic", L"sample.avif"}) {
    const std::wstring ext = std::filesystem::path(name).extension().wstring();
    std::filesystem::copy_file(Sample(name), w.dir() / (L"a" + ext));
    // The same file cut short: its plug-in fails on it, nothing else does.
    const std::string bytes = testing::ReadBytes(Sample(name));
    WriteBytes(w.dir() / (L"b" + ext), bytes.substr(0, bytes.size() / 2));
    std::filesystem::copy_file(Sample(name), w.dir() / (L"c" + ext));
  }
  const std::vector<uint8_t> jpeg = testing::MakeJpeg(testing::JpegKind::Rgb, 32, 24);
  for (const wchar_t* name : {L"a.jpg", L"d.jpg"}) WriteBytes(w.dir() / name, std::string(jpeg.begin(), jpeg.end()));
  for (const wchar_t* ext : {L".png", L".webp", L".heic", L".avif"}) {
    w.Open((w.dir() / (std::wstring(L"a") + ext)).wstring());
    EXPECT_EQ(w->TextOf("PanelCou"), L"1/3") << ext;
    errors.messages.clear();
    w.PressKey(w->WindowOf("EditKey"), VK_SPACE);  // to the damaged one
    EXPECT_EQ(w->CurrentPath, (w.dir() / (std::wstring(L"b") + ext)).wstring());
    ASSERT_EQ(errors.messages.size(), 1u) << ext;
    EXPECT_EQ(errors.messages[0], "認識できない画像形式です") << ext;
    w.PressKey(w->WindowOf("EditKey"), VK_SPACE);  // and past it
    EXPECT_EQ(w->CurrentPath, (w.dir() / (std::wstring(L"c") + ext)).wstring());
    EXPECT_EQ(w->viewMode, ViewMode::Plugin) << ext;
    EXPECT_GT(w->ImageJpg().picture().Width(), 0) << ext;
    EXPECT_EQ(w->SPIs1().Count(), 4) << "no plug-in lost after " << ext;
  }
  // A HEIC whose pictures would decode far larger than its boxes say, over
  // a gigabyte: the plug-in refuses it, nothing else is lost.
  std::filesystem::copy_file(Sample(L"decoded-size-over-a-gigabyte"), w.dir() / L"huge.heic");
  EXPECT_THROW(w.Open((w.dir() / L"huge.heic").wstring()), std::exception);
  w.Open((w.dir() / L"a.heic").wstring());
  EXPECT_EQ(w->ImageJpg().picture().Width(), 48);
  EXPECT_EQ(w->SPIs1().Count(), 4);

  // The JPEGs among them are JPEGs still, stepped among themselves.
  w.Open((w.dir() / L"a.jpg").wstring());
  EXPECT_EQ(w->viewMode, ViewMode::Jpeg);
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/2");
  w.PressKey(w->WindowOf("EditKey"), VK_SPACE);
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"d.jpg").wstring());
  EXPECT_EQ(w->ImageJpg().picture().Width(), 32);
}

}  // namespace
}  // namespace mirabo
