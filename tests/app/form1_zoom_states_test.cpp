// Zoom, fit, drag, the double-click action, window states with the tray,
// the slide show and closing.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::PumpMessages;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Jpeg(int w, int h) {
  const auto v = testing::MakeJpeg(testing::JpegKind::Rgb, w, h);
  return std::string(v.begin(), v.end());
}

SIZE ControlSize(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

TEST(Form1Zoom, ABigJpegIsDecodedAgainAtEachLevel) {
  MainWindow w;
  const auto path = w.dir() / L"big.jpg";
  WriteBytes(path, Jpeg(4000, 3000));
  w.Open(path.wstring());
  struct Step {
    Cmd command;
    int level, width, height;
    const wchar_t* label;
  };
  const Step steps[] = {
      {Cmd::ToolButton1, 0, 4000, 3000, L"100%"},  // nothing above full size
      {Cmd::ToolButton2, 1, 2000, 1500, L"50%"},   {Cmd::ToolButton2, 2, 1000, 750, L"25%"},
      {Cmd::ToolButton2, 3, 500, 375, L"12.5%"},   {Cmd::ToolButton2, 3, 500, 375, L"12.5%"},
      {Cmd::ToolButton1, 2, 1000, 750, L"25%"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(CommandName(s.command)) + " to " + std::to_string(s.level));
    w->RunCommand(s.command);
    EXPECT_EQ(w->ZoomLevel(), s.level);
    EXPECT_EQ(w->ImageJpg().picture().Width(), s.width);
    EXPECT_EQ(w->ImageJpg().picture().Height(), s.height);
    const SIZE shown = ControlSize(w->ImageJpg().Handle());
    EXPECT_EQ(shown.cx, s.width);
    EXPECT_EQ(shown.cy, s.height);
    EXPECT_EQ(w->TextOf("Panel1"), s.label);
  }
}

TEST(Form1Zoom, ScrollPositionsDoubleAndHalveWithTheZoom) {
  MainWindow w;
  const auto path = w.dir() / L"big.jpg";
  WriteBytes(path, Jpeg(4000, 3000));
  w->settings().Zoom = 1;
  w.Open(path.wstring());
  auto& box = w->ScrollBox1();
  box.SetHorzPosition(100);
  box.SetVertPosition(60);
  w->RunCommand(Cmd::ToolButton1);
  EXPECT_EQ(box.HorzPosition(), 200);
  EXPECT_EQ(box.VertPosition(), 120);
  w->RunCommand(Cmd::ToolButton2);
  EXPECT_EQ(box.HorzPosition(), 100);
  EXPECT_EQ(box.VertPosition(), 60);
  w->RunCommand(Cmd::ToolButton2);
  EXPECT_EQ(box.HorzPosition(), 50);
  EXPECT_EQ(box.VertPosition(), 30);
}

TEST(Form1Zoom, FittingInScrollBoxesOfKnownSizes) {
  MainWindow w;
  struct Row {
    const char* what;
    int pictureW, pictureH, zoom;
    bool fitWin, fitOver;
    int boxW, boxH;
    bool stretched;
    int width, height;
  };
  const Row rows[] = {
      {"height limits", 1600, 1200, 0, true, false, 804, 404, true, 533, 400},
      {"4000 x 3000 at 25% fits with FitOver", 4000, 3000, 2, true, true, 1024, 800, false, 1000, 750},
      {"small picture enlarged", 100, 50, 0, true, false, 504, 304, true, 500, 250},
      {"fit off", 1600, 1200, 0, false, false, 804, 404, false, 1600, 1200},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const auto path = w.dir() / (std::to_wstring(r.pictureW) + L".jpg");
    WriteBytes(path, Jpeg(r.pictureW, r.pictureH));
    w->settings().Zoom = r.zoom;
    w->settings().FitWin = r.fitWin;
    w->settings().FitOver = r.fitOver;
    w.Open(path.wstring());
    ::MoveWindow(w->ScrollBox1().Handle(), 0, 27, r.boxW, r.boxH, TRUE);
    w->FitPicture();
    EXPECT_EQ(w->ImageJpg().stretch, r.stretched);
    const SIZE shown = ControlSize(w->ImageJpg().Handle());
    EXPECT_EQ(shown.cx, r.width);
    EXPECT_EQ(shown.cy, r.height);
  }
}

TEST(Form1Zoom, TheFitButtonSetsTheSettingAndRefits) {
  MainWindow w;
  const auto path = w.dir() / L"p.jpg";
  WriteBytes(path, Jpeg(3000, 2000));
  w.Open(path.wstring());
  const HWND toolbar = ::GetParent(w->WindowOf("PanelCou"));
  ::SendMessageW(toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(CommandId(Cmd::ToolButton30)), TRUE);
  w->RunCommand(Cmd::ToolButton30);
  EXPECT_EQ(w->settings().FitWin, 1);
  EXPECT_TRUE(w->ImageJpg().stretch);
  RECT box{};
  ::GetWindowRect(w->ScrollBox1().Handle(), &box);
  EXPECT_LE(ControlSize(w->ImageJpg().Handle()).cx, box.right - box.left - 4);
  ::SendMessageW(toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(CommandId(Cmd::ToolButton30)), FALSE);
  w->RunCommand(Cmd::ToolButton30);
  EXPECT_EQ(w->settings().FitWin, 0);
  EXPECT_EQ(ControlSize(w->ImageJpg().Handle()).cx, 3000);
}

TEST(Form1Zoom, DraggingMovesThePictureWithThePointer) {
  MainWindow w;
  const auto path = w.dir() / L"wide.jpg";
  WriteBytes(path, Jpeg(2000, 1600));
  w.Open(path.wstring());
  const HWND picture = w->ImageJpg().Handle();
  auto& box = w->ScrollBox1();
  ::SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 100));
  EXPECT_TRUE(w->DragScrolling());
  // 30 pixels to the left and 20 up: the picture follows, the view moves on.
  ::SendMessageW(picture, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(170, 80));
  EXPECT_EQ(box.HorzPosition(), 30);
  EXPECT_EQ(box.VertPosition(), 20);
  // The pointer has not moved since; on the moved picture it is back at the origin.
  ::SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(200, 100));
  EXPECT_FALSE(w->DragScrolling());
  EXPECT_EQ(box.HorzPosition(), 30);
  EXPECT_EQ(box.VertPosition(), 20);
  // Moves without a press do nothing; a drag past the edge stops there.
  ::SendMessageW(picture, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
  EXPECT_EQ(box.HorzPosition(), 30);
  ::SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ::SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(500, 500));
  EXPECT_EQ(box.HorzPosition(), 0);
  EXPECT_EQ(box.VertPosition(), 0);
}

TEST(Form1States, DoubleClickTogglesMaximisedAndNormal) {
  MainWindow w;
  const auto path = w.dir() / L"p.jpg";
  WriteBytes(path, Jpeg(64, 48));
  w.Open(path.wstring());
  w->settings().DblCK = 1;
  ::SendMessageW(w->ImageJpg().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(::IsZoomed(w->Handle()));
  EXPECT_FALSE(w->IsEnabled("mnuMax"));
  EXPECT_TRUE(w->IsEnabled("mnuNom"));
  w.PressKey(w->WindowOf("EditKey"), VK_MULTIPLY);  // the key does the same
  EXPECT_FALSE(::IsZoomed(w->Handle()));
  EXPECT_TRUE(w->IsEnabled("mnuMax"));
  EXPECT_FALSE(w->IsEnabled("mnuNom"));
  w->settings().DblCK = 7;  // any other value: nothing
  ::SendMessageW(w->ImageJpg().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_FALSE(::IsZoomed(w->Handle()));
}

TEST(Form1States, MinimisingGoesIntoTheTrayOnlyWhenTrayIsOn) {
  for (const char* how : {"title bar", "menu"}) {
    SCOPED_TRACE(how);
    MainWindow w;
    const auto path = w.dir() / L"p.jpg";
    WriteBytes(path, Jpeg(64, 48));
    w.Open(path.wstring());
    if (std::string_view(how) == "menu") w->RunCommand(Cmd::mnuMin);
    else ::SendMessageW(w->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PumpMessages();
    EXPECT_FALSE(::IsWindowVisible(w->Handle()));
    ASSERT_EQ(w.tray().Count(NIM_ADD), 1);
    EXPECT_EQ(w.tray().calls.back().flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(w.tray().calls.back().tip, L"TipHelp");
    EXPECT_TRUE(w->TrayIcon1().Registered());

    // Explorer restarts: the icon is added to the new taskbar.
    ::SendMessageW(w->Handle(), TTrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_EQ(w.tray().Count(NIM_ADD), 2);

    // A double click on the icon brings the window back.
    ::SendMessageW(TTrayIcon::CallbackWindow(), TTrayIcon::kCallbackMessage,
                   static_cast<WPARAM>(w->TrayIcon1().Number()), WM_LBUTTONDBLCLK);
    PumpMessages();
    EXPECT_TRUE(::IsWindowVisible(w->Handle()));
    EXPECT_FALSE(::IsIconic(w->Handle()));
    EXPECT_EQ(w.tray().Count(NIM_DELETE), 1);
    EXPECT_FALSE(w->TrayIcon1().Registered());
  }
  MainWindow w;
  w->settings().Tray = 0;
  ::SendMessageW(w->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  PumpMessages();
  EXPECT_TRUE(::IsIconic(w->Handle()));
  EXPECT_TRUE(::IsWindowVisible(w->Handle()));
  EXPECT_EQ(w.tray().Count(NIM_ADD), 0);
}

TEST(Form1States, SlideShowTicksStepStopAndLoop) {
  MainWindow w;
  for (const wchar_t* name : {L"1.jpg", L"2.jpg", L"3.jpg"}) WriteBytes(w.dir() / name, Jpeg(32, 24));
  w.Open((w.dir() / L"1.jpg").wstring());
  const auto tick = [&] { ::SendMessageW(w->Handle(), WM_TIMER, TForm1::kTimer1, 0); };
  tick();
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/3") << "off: nothing";
  const HWND toolbar = ::GetParent(w->WindowOf("PanelCou"));
  ::SendMessageW(toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(CommandId(Cmd::ToolButton31)), TRUE);
  w->RunCommand(Cmd::ToolButton31);
  EXPECT_EQ(w->settings().ViewSlide, 1);
  const wchar_t* expected[] = {L"2/3", L"3/3", L"3/3"};
  for (const wchar_t* counter : expected) {
    tick();
    EXPECT_EQ(w->TextOf("PanelCou"), counter);
  }
  EXPECT_TRUE(w->IsChecked("ToolButton31")) << "the show stays on, on the last file";
  w->settings().Loop = 1;
  tick();
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/3");
  EXPECT_EQ(w->TimerInterval(), 3000);

  // One file of the kind never changes.
  WriteBytes(w.dir() / L"only.bmp", testing::MakeBmp(4, 4, 24, false));
  w.Open((w.dir() / L"only.bmp").wstring());
  tick();
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"only.bmp").wstring());
}

TEST(Form1States, TimeZeroStopsTheTicks) {
  MainWindow w;
  w->settings().Time = 0;
  WriteBytes(w.dir() / L"1.jpg", Jpeg(8, 8));
  w.Open((w.dir() / L"1.jpg").wstring());
  EXPECT_EQ(w->TimerInterval(), 0);
}

TEST(Form1States, ClosingStoresTheRenameBarAndTheFont) {
  MainWindow w;
  ::SetWindowTextW(w->WindowOf("EditFix"), L"旅行");
  ::SendMessageW(w->WindowOf("CheckBoxDate"), BM_SETCHECK, BST_UNCHECKED, 0);
  ::SetWindowTextW(w->WindowOf("EditDegit"), L"4");
  ::SetWindowTextW(w->WindowOf("EditCou"), L"12");
  w->RichEdit1().SetFont(L"ＭＳ ゴシック", 12, 96);
  w->settings().Zoom = 2;
  ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(w.destroyed());
  const IniDocument ini = IniDocument::Parse(ReadBytes(w.dir() / L"mirabo.INI"));
  EXPECT_EQ(ini.Get("Rename", "Fix"), win::WideToCp932(L"旅行"));
  EXPECT_EQ(ini.Get("Rename", "Date"), "0");
  EXPECT_EQ(ini.Get("Rename", "Degit"), "4");
  EXPECT_EQ(ini.Get("Rename", "Count"), "12");
  EXPECT_EQ(ini.Get("Font", "Name"), win::WideToCp932(L"ＭＳ ゴシック"));
  EXPECT_EQ(ini.Get("Font", "Size"), "12");
  EXPECT_EQ(ini.Get("View", "Zoom"), "2");
}

TEST(Form1States, ANonIntegerInTheRenameBarKeepsTheWindowOpenAndSavesNothing) {
  for (const char* box : {"EditDegit", "EditCou"}) {
    SCOPED_TRACE(box);
    MainWindow w;
    {
      // The name preview reports it as it is typed.
      ErrorRecorder typing;
      ::SetWindowTextW(w->WindowOf(box), L"3a");
      EXPECT_EQ(typing.messages.size(), 1u);
    }
    {
      ErrorRecorder errors;
      ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
      EXPECT_EQ(errors.messages, std::vector<std::string>{"'3a' は整数ではありません"});
    }
    EXPECT_FALSE(w.destroyed());
    EXPECT_EQ(ReadBytes(w.dir() / L"mirabo.INI"), "<missing>");
    ::SetWindowTextW(w->WindowOf(box), L"3");
    ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(w.destroyed());
  }
}

}  // namespace
}  // namespace mirabo
