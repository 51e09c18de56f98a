// Stepping through a folder with the buttons, the keys, the jump menu, the
// wheel and drops.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/paths.h"
#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::WriteBytes;

std::string Jpeg(int w = 40, int h = 30) {
  const auto v = testing::MakeJpeg(testing::JpegKind::Rgb, w, h);
  return std::string(v.begin(), v.end());
}

// a.jpg (a system file), B.jpeg, b.JPG, c.jpg (hidden), a text file and a
// folder named like a picture, neither of which belongs in the list.
struct Folder {
  explicit Folder(MainWindow& w) : w(w) {
    for (const wchar_t* name : {L"c.jpg", L"b.JPG", L"a.jpg", L"B.jpeg"}) WriteBytes(w.dir() / name, Jpeg());
    WriteBytes(w.dir() / L"notes.txt", "x");
    std::filesystem::create_directory(w.dir() / L"folder.jpg");
    ::SetFileAttributesW((w.dir() / L"c.jpg").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((w.dir() / L"a.jpg").c_str(), FILE_ATTRIBUTE_SYSTEM);
  }
  std::wstring operator/(const wchar_t* name) const { return (w.dir() / name).wstring(); }
  MainWindow& w;
};

TEST(Form1Navigation, ButtonsAndKeysStepAndStopAtBothEnds) {
  MainWindow w;
  Folder f(w);
  w.Open(f / L"b.JPG");
  EXPECT_EQ(w->FileListBox1.Items(), (std::vector<std::wstring>{L"a.jpg", L"B.jpeg", L"b.JPG", L"c.jpg"}));
  EXPECT_EQ(w->TextOf("PanelCou"), L"3/4");
  const HWND key = w->WindowOf("EditKey");
  EXPECT_EQ(::GetFocus(), key);
  struct Step {
    const char* what;
    WORD key;  // 0: the forward button
    const wchar_t* file;
    const wchar_t* counter;
  };
  const Step steps[] = {
      {"forward button", 0, L"c.jpg", L"4/4"},
      {"Space at the end", VK_SPACE, L"c.jpg", L"4/4"},
      {"Page Down at the end", VK_NEXT, L"c.jpg", L"4/4"},
      {"Backspace", VK_BACK, L"b.JPG", L"3/4"},
      {"Home", VK_HOME, L"a.jpg", L"1/4"},
      {"Page Up at the start", VK_PRIOR, L"a.jpg", L"1/4"},
      {"Space", VK_SPACE, L"B.jpeg", L"2/4"},
      {"End", VK_END, L"c.jpg", L"4/4"},
      {"Page Up", VK_PRIOR, L"b.JPG", L"3/4"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.key) w.PressKey(key, s.key);
    else w->RunCommand(Cmd::ToolButton18);
    EXPECT_EQ(w->CurrentPath, f / s.file);
    EXPECT_EQ(w->TextOf("PanelCou"), s.counter);
    EXPECT_EQ(w->viewMode, ViewMode::Jpeg);
    EXPECT_EQ(w->TextOf("LabelPath"), f / s.file);
  }
  // The second bar's buttons are the same moves.
  w->RunCommand(Cmd::ToolButton27);
  EXPECT_EQ(w->CurrentPath, f / L"B.jpeg");
  w->RunCommand(Cmd::ToolButton28);
  EXPECT_EQ(w->CurrentPath, f / L"b.JPG");
}

TEST(Form1Navigation, KeysAreSwallowedInPictureModesAndPassedOnOtherwise) {
  MainWindow w;
  Folder f(w);
  w.Open(f / L"a.jpg");
  struct Row {
    WORD key;
    bool consumed;
  };
  const Row rows[] = {{'A', true}, {VK_F5, true}, {VK_DOWN, true}, {VK_INSERT, true},
                      {VK_HOME, false} /* already on the first file */};
  for (const Row& r : rows) {
    ::SetFocus(w->ScrollBox1().Handle());
    EXPECT_EQ(w->EditKeyKeyDown(r.key), r.consumed) << r.key;
    if (r.consumed) {
      EXPECT_EQ(::GetFocus(), w->WindowOf("EditKey")) << r.key;
    }
  }
  w.Open(f / L"notes.txt");
  EXPECT_FALSE(w->EditKeyKeyDown('A'));
  EXPECT_FALSE(w->EditKeyKeyDown(VK_SPACE));
  EXPECT_EQ(w->CurrentPath, f / L"notes.txt") << "no stepping in the text view";
}

TEST(Form1Navigation, ArrowsAndTheWheelScrollByEightPixels) {
  MainWindow w;
  WriteBytes(w.dir() / L"big.jpg", Jpeg(1500, 1200));
  w.Open((w.dir() / L"big.jpg").wstring());
  auto& box = w->ScrollBox1();
  const HWND key = w->WindowOf("EditKey");
  w.PressKey(key, VK_DOWN);
  w.PressKey(key, VK_DOWN);
  w.PressKey(key, VK_RIGHT);
  EXPECT_EQ(box.VertPosition(), 16);
  EXPECT_EQ(box.HorzPosition(), 8);
  w.PressKey(key, VK_UP);
  w.PressKey(key, VK_LEFT);
  w.PressKey(key, VK_LEFT);  // not below 0
  EXPECT_EQ(box.VertPosition(), 8);
  EXPECT_EQ(box.HorzPosition(), 0);
  ::SendMessageW(w->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  ::SendMessageW(w->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(box.VertPosition(), 24);
  ::SendMessageW(w->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(box.VertPosition(), 16);
  // The picture's window moves with the bars.
  RECT r{};
  ::GetWindowRect(w->ImageJpg().Handle(), &r);
  RECT b{};
  ::GetWindowRect(box.Handle(), &b);
  EXPECT_EQ(r.top - b.top, -16);
}

TEST(Form1Navigation, TheJumpMenuListsTheFolderWithTheCurrentFileChecked) {
  MainWindow w;
  Folder f(w);
  WriteBytes(w.dir() / L"R&D.jpg", Jpeg());
  w.Open(f / L"b.JPG");
  w->PopupMenuListPopup();
  const auto& items = w->PopupMenuList().items;
  const std::vector<std::wstring> expected{L"1.a.jpg", L"2.B.jpeg", L"3.b.JPG", L"4.c.jpg", L"5.R&&D.jpg"};
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].caption, expected[i]) << i;
    EXPECT_EQ(items[i].checked, i == 2) << i;
  }
  w->PopupMenuListClick(4);
  EXPECT_EQ(w->CurrentPath, f / L"R&D.jpg");
  EXPECT_EQ(w->TextOf("PanelCou"), L"5/5");
  w->PopupMenuListPopup();
  EXPECT_TRUE(w->PopupMenuList().items[4].checked);
}

TEST(Form1Navigation, AFileThatCannotBeShownReportsAndTheWindowStillSteps) {
  MainWindow w;
  WriteBytes(w.dir() / L"1.jpg", Jpeg());
  WriteBytes(w.dir() / L"2.jpg", "this is no picture");
  {
    auto whole = testing::MakeJpeg(testing::JpegKind::Rgb, 200, 160);
    whole.resize(whole.size() / 2);
    WriteBytes(w.dir() / L"3.jpg", std::string(whole.begin(), whole.end()));
  }
  w.Open((w.dir() / L"1.jpg").wstring());
  const HWND key = w->WindowOf("EditKey");
  {
    ErrorRecorder errors;
    w.PressKey(key, VK_SPACE);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0].rfind("Not a JPEG file", 0), 0u) << errors.messages[0];
  }
  EXPECT_EQ(w->TextOf("PanelCou"), L"2/3");
  w.PressKey(key, VK_SPACE);  // the truncated one shows what it has, without an error
  EXPECT_EQ(w->TextOf("PanelCou"), L"3/3");
  EXPECT_EQ(w->ImageJpg().picture().Width(), 200);
  EXPECT_EQ(w->ImageJpg().picture().Height(), 160);
}

TEST(Form1Navigation, ADropOpensTheFirstFileAndAFolderChangesNothing) {
  MainWindow w;
  Folder f(w);
  WriteBytes(w.dir() / L"pic.bmp", testing::MakeBmp(8, 8, 24, false));
  w.Drop({f / L"pic.bmp", f / L"a.jpg", f / L"notes.txt"});
  EXPECT_EQ(w->CurrentPath, f / L"pic.bmp");
  EXPECT_EQ(w->viewMode, ViewMode::Picture);
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/1");

  w.Drop({w.dir().path().wstring()});
  EXPECT_EQ(w->CurrentPath, f / L"pic.bmp");
  EXPECT_EQ(w->viewMode, ViewMode::Picture);
  w.Drop({f / L"missing.jpg"});
  EXPECT_EQ(w->CurrentPath, f / L"pic.bmp");
}

TEST(Form1Navigation, EscClosesTheWindowFromEveryFocusHolder) {
  struct Row {
    const char* holder;
    const wchar_t* file;
  };
  const Row rows[] = {{"EditKey", L"a.jpg"}, {"RichEdit1", L"notes.txt"}, {"ImgEdit1", L"scan.tif"},
                      {"EditKey", L"notes.txt"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.holder);
    MainWindow w;
    Folder f(w);
    WriteBytes(w.dir() / L"scan.tif", testing::SmallTiff());
    w.Open(f / r.file);
    const HWND holder = w->WindowOf(r.holder);
    if (std::string_view(r.holder) == "RichEdit1") {
      ::SendMessageW(holder, WM_CHAR, 27, 1);
    } else {
      ::SendMessageW(holder, WM_KEYDOWN, VK_ESCAPE, 1);
    }
    testing::PumpMessages();
    EXPECT_TRUE(w.destroyed());
    EXPECT_NE(testing::ReadBytes(w.dir() / L"mirabo.INI"), "<missing>") << "closing saves the settings";
  }
}

TEST(Form1Navigation, LongAndUnicodePathsOpenAndStep) {
  MainWindow w;
  std::filesystem::path deep = w.dir().path() / L"写真-ёжик-\U0001F4F7";
  for (int i = 0; deep.wstring().size() < 280; ++i) deep /= L"folder-with-a-long-name-" + std::to_wstring(i);
  std::filesystem::create_directories(win::ExtendedPath(deep.wstring()));
  for (const wchar_t* name : {L"1-ё.jpg", L"2-\U0001F600.jpg"})
    WriteBytes(win::ExtendedPath((deep / name).wstring()), Jpeg());
  const std::wstring first = (deep / L"1-ё.jpg").wstring();
  ASSERT_GT(first.size(), 260u);
  w.Open(first);
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/2");
  EXPECT_EQ(w->ImageJpg().picture().Width(), 40);
  w.PressKey(w->WindowOf("EditKey"), VK_SPACE);
  EXPECT_EQ(w->CurrentPath, (deep / L"2-\U0001F600.jpg").wstring());
  EXPECT_EQ(w->TextOf("PanelCou"), L"2/2");
}

}  // namespace
}  // namespace mirabo
