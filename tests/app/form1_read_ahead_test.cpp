// Read-ahead end to end: the neighbour in the direction of travel decoded
// while the window is idle, shown from memory by the next step; never a
// stale or wrong picture, never a file held against the user.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>

#include "tests/app/form1_test_support.h"
#include "tests/app/plugin_test_support.h"
#include "plugins/remote_spi_host.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::MainWindow;
using testing::WriteBytes;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A JPEG of one colour.
std::string Solid(int width, int height, COLORREF c) {
  return Bytes(testing::MakeRgbJpeg(width, height, 95, [&](int, uint8_t* rgb) {
    for (int x = 0; x < width; ++x) rgb[3 * x] = GetRValue(c), rgb[3 * x + 1] = GetGValue(c), rgb[3 * x + 2] = GetBValue(c);
  }));
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 4 && std::abs(GetGValue(a) - GetGValue(b)) <= 4 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 4;
}

// The window's messages until it has started its read-ahead number n (the
// idle timer fires within milliseconds; the bound only ends a broken run).
void UntilReadAheadStarts(MainWindow& w, int n) {
  for (int i = 0; i < 400 && w->ReadAhead().Started() < n; ++i) {
    testing::PumpMessages();
    ::Sleep(5);
  }
  ASSERT_GE(w->ReadAhead().Started(), n) << "no read-ahead";
}

constexpr COLORREF kRed = RGB(220, 30, 30), kGreen = RGB(30, 200, 40), kBlue = RGB(30, 40, 210), kGrey = RGB(128, 128, 128);

struct Folder {
  std::wstring a, b, c;
};
Folder ThreePictures(MainWindow& w) {
  Folder f{(w.dir() / L"a.jpg").wstring(), (w.dir() / L"b.jpg").wstring(), (w.dir() / L"c.jpg").wstring()};
  WriteBytes(f.a, Solid(64, 48, kRed));
  WriteBytes(f.b, Solid(64, 48, kGreen));
  WriteBytes(f.c, Solid(64, 48, kBlue));
  return f;
}

COLORREF Shown(MainWindow& w) { return testing::PixelOf(w->ImageJpg().picture(), 10, 10); }

TEST(Form1ReadAhead, TheNextPictureIsShownFromMemoryUnlessItsFileChanged) {
  MainWindow w;
  const Folder f = ThreePictures(w);
  w.Open(f.a);
  UntilReadAheadStarts(w, 1);
  w.Click("ToolButton18");
  EXPECT_TRUE(Near(Shown(w), kGreen)) << std::hex << Shown(w);
  EXPECT_EQ(w->ReadAhead().Used(), 1) << "the step decoded the picture again";

  // c is read ahead, then replaced under the same name with a new time.
  UntilReadAheadStarts(w, 2);
  WriteBytes(f.c, Solid(64, 48, kGrey));
  const win::UniqueFile c = win::OpenForSharedReading(f.c);
  FILETIME later{};
  ::GetFileTime(c.Get(), nullptr, nullptr, &later);
  ULARGE_INTEGER t{};
  t.LowPart = later.dwLowDateTime, t.HighPart = later.dwHighDateTime;
  t.QuadPart += 10'000'000;  // a second on
  later.dwLowDateTime = t.LowPart, later.dwHighDateTime = t.HighPart;
  {
    const HANDLE h = ::CreateFileW(f.c.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    ::SetFileTime(h, nullptr, nullptr, &later);
    ::CloseHandle(h);
  }
  w.Click("ToolButton18");
  EXPECT_TRUE(Near(Shown(w), kGrey)) << std::hex << Shown(w);
}

TEST(Form1ReadAhead, ABackStepOrAZoomChangeNeverShowsThePictureReadAhead) {
  MainWindow w;
  const Folder f = ThreePictures(w);
  w.Open(f.b);
  UntilReadAheadStarts(w, 1);  // c, the way of a start
  w.Click("ToolButton17");
  EXPECT_TRUE(Near(Shown(w), kRed)) << std::hex << Shown(w);
  EXPECT_EQ(w->ReadAhead().Used(), 0);

  w.Click("ToolButton18");
  UntilReadAheadStarts(w, 2);  // c again
  w.Click("ToolButton2");      // 50 %
  w.Click("ToolButton18");
  EXPECT_EQ(w->ImageJpg().picture().Width(), 32) << "decoded at the new scale";
  EXPECT_TRUE(Near(Shown(w), kBlue)) << std::hex << Shown(w);
  EXPECT_EQ(w->ReadAhead().Used(), 0);
}

TEST(Form1ReadAhead, TheFileCanBeRenamedAndDeletedWhileItIsRead) {
  MainWindow w;
  const Folder f = ThreePictures(w);
  const std::wstring moved = (w.dir() / L"moved.jpg").wstring();
  std::atomic<bool> renamed{false}, deleted{false};
  w->ReadAhead().whileOpen = [&] {
    renamed = ::MoveFileW(f.b.c_str(), moved.c_str()) != FALSE;
    deleted = ::DeleteFileW(moved.c_str()) != FALSE;
  };
  w.Open(f.a);
  UntilReadAheadStarts(w, 1);
  w->ReadAhead().Discard();  // waits for the thread
  EXPECT_TRUE(renamed);
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(win::PathExists(moved));
}

TEST(Form1ReadAhead, MemoryStaysFlatOverTwoHundredSteps) {
  MainWindow w;
  std::vector<std::wstring> files;
  for (int i = 0; i < 4; ++i) {
    files.push_back((w.dir() / (L"p" + std::to_wstring(i) + L".jpg")).wstring());
    WriteBytes(files.back(), Solid(1200, 800, RGB(40 * i, 90, 200 - 40 * i)));
  }
  w.Open(files[0]);
  // Read-ahead waits for a quiet queue; on a loaded machine the steps below
  // may never leave it one, so the first is waited for.
  UntilReadAheadStarts(w, 1);
  const auto privateBytes = [] {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    return static_cast<double>(pmc.PrivateUsage) / (1 << 20);
  };
  double after20 = 0;
  for (int step = 0; step < 200; ++step) {
    w.Click(step % 8 < 3 || step % 8 == 7 ? "ToolButton18" : "ToolButton17");
    testing::PumpMessages();
    ::Sleep(2);
    testing::PumpMessages();
    if (step == 19) after20 = privateBytes();
  }
  const double after200 = privateBytes();
  EXPECT_LT(after200 - after20, 16.0) << after20 << " MB after 20 steps, " << after200 << " MB after 200";
  EXPECT_GT(w->ReadAhead().Started(), 0);
}

#if defined(_WIN64)
// Through the plug-in host, as the 64-bit program runs plug-ins.
TEST(Form1ReadAhead, PlugInPicturesAreReadAheadThroughTheHost) {
  testing::PluginFolder plugins({L"ifppm"});
  MainWindow w({}, testing::IniWithSusiePath(plugins.dir.path()));
  const COLORREF colours[] = {kRed, kGreen, kBlue};
  std::vector<std::wstring> files;
  for (int i = 0; i < 3; ++i) {
    files.push_back((w.dir() / (L"p" + std::to_wstring(i) + L".ppm")).wstring());
    std::string ppm = "P6\n8 8\n255\n";
    for (int k = 0; k < 64; ++k) ppm += {static_cast<char>(GetRValue(colours[i])), static_cast<char>(GetGValue(colours[i])),
                                         static_cast<char>(GetBValue(colours[i]))};
    WriteBytes(files.back(), ppm);
  }
  w.Open(files[0]);
  ASSERT_EQ(w->viewMode, ViewMode::Plugin);
  UntilReadAheadStarts(w, 1);
  w.Click("ToolButton18");
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 3, 3), kGreen);
  EXPECT_EQ(w->ReadAhead().Used(), 1);
  UntilReadAheadStarts(w, 2);
  w.Click("ToolButton17");
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 3, 3), kRed);
  EXPECT_EQ(w->ReadAhead().Used(), 1);
}

TEST(Form1ReadAhead, AStepElsewhereStopsAPlugInReadingAhead) {
  // c.tst keeps its plug-in busy until it is told to stop.
  testing::PluginFolder plugins({L"v_busy"});
  MainWindow w({}, testing::IniWithSusiePath(plugins.dir.path()));
  auto& host = dynamic_cast<RemoteSpiHost&>(w->SpiHost());
  host.SetTimeout(5000);
  WriteBytes(w.dir() / L"a.tst", testing::TestPicture());
  WriteBytes(w.dir() / L"b.tst", testing::TestPicture());
  WriteBytes(w.dir() / L"c.tst", testing::TestPicture(0, 200, true));
  testing::ErrorRecorder errors;
  w.Open((w.dir() / L"b.tst").wstring());
  const unsigned starts = host.Starts();
  UntilReadAheadStarts(w, 1);
  w.Click("ToolButton17");
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"a.tst").wstring());
  EXPECT_EQ(w->ImageJpg().picture().Width(), 2);
  EXPECT_TRUE(errors.messages.empty());
  EXPECT_EQ(host.Starts(), starts) << "the busy plug-in was not stopped: its host timed out";
}
#endif

TEST(Form1ReadAhead, ReadAheadZeroDecodesOnTheStepAsBefore) {
  MainWindow w({}, "[View]\r\nReadAhead=0\r\n");
  const Folder f = ThreePictures(w);
  w.Open(f.a);
  for (int i = 0; i < 20; ++i) {
    testing::PumpMessages();
    ::Sleep(5);
  }
  w.Click("ToolButton18");
  EXPECT_TRUE(Near(Shown(w), kGreen));
  EXPECT_EQ(w->ReadAhead().Started(), 0);
}

}  // namespace
}  // namespace mirabo
