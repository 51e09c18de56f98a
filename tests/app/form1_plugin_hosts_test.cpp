// The 64-bit program's plug-ins in helper processes: a plug-in that
// crashes, ends its process, damages its memory, hangs or will not stop
// costs only its file; the error names the plug-in and the file, the
// window stays, and the next file shows through a fresh host.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "plugins/remote_spi_host.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/plugin_test_support.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::IniWithSusiePath;
using testing::MainWindow;
using testing::PluginFolder;
using testing::TestPicture;
using testing::WriteBytes;

#if defined(_WIN64)

RemoteSpiHost& Hosts(MainWindow& w) { return dynamic_cast<RemoteSpiHost&>(w->SpiHost()); }

TEST(Form1PluginHosts, AMisbehavingPluginCostsOnlyItsFile) {
  struct Row {
    const wchar_t* plugin;
    const char* message;  // the start of the error
  } rows[] = {
      {L"v_crash", "プラグイン v_crash.sph が bad.tst の読み込み中に異常終了しました"},
      {L"v_exit", "プラグイン v_exit.sph が bad.tst の読み込み中に異常終了しました"},
      {L"v_overrun", "プラグイン v_overrun.sph が bad.tst の読み込み中に異常終了しました"},
      {L"v_hang", "プラグイン v_hang.sph が bad.tst の読み込みで応答しないため中止しました"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(win::WideToUtf8(r.plugin));
    PluginFolder plugins({r.plugin});
    MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
    Hosts(w).SetTimeout(1500);
    ErrorRecorder errors;
    WriteBytes(w.dir() / L"bad.tst", TestPicture(0, 200, true));
    WriteBytes(w.dir() / L"good.tst", TestPicture());
    const unsigned starts = Hosts(w).Starts();
    w.Drop({(w.dir() / L"bad.tst").wstring()});
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], r.message);
    EXPECT_FALSE(w.destroyed());
    w.Drop({(w.dir() / L"good.tst").wstring()});
    EXPECT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(w->ImageJpg().picture().Width(), 2) << "the next file shows";
    EXPECT_EQ(Hosts(w).Starts(), starts + 1) << "through a fresh host";
  }
}

TEST(Form1PluginHosts, APluginThatCrashesWhenProbedIsLeftOutAtStart) {
  // Both are loaded by the host while the window is made; the crash takes
  // the other's loaded library with it, and the search loads it again.
  PluginFolder plugins({L"v_infocrash", L"ifppm"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ASSERT_EQ(w->SPIs1().Count(), 1);
  EXPECT_NE(w->SPIs1().Items(0).FileName().find("ifppm.sph"), std::string::npos) << w->SPIs1().Items(0).FileName();
  const std::wstring ppm = (w.dir() / L"a.ppm").wstring();
  WriteBytes(ppm, std::string("P6\n1 1\n255\n\x10\x20\x30", 14));
  w.Open(ppm);
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 0, 0), RGB(0x10, 0x20, 0x30));
}

TEST(Form1PluginHosts, EscStopsAPluginThatWillNotFinish) {
  PluginFolder plugins({L"v_busy"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ErrorRecorder errors;
  WriteBytes(w.dir() / L"bad.tst", TestPicture(0, 200, true));
  // The key is waiting in the queue while the plug-in works.
  ::PostMessageW(w->WindowOf("EditKey"), WM_KEYDOWN, VK_ESCAPE, 1);
  w.Drop({(w.dir() / L"bad.tst").wstring()});
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], "プラグイン v_busy.sph による bad.tst の読み込みを中止しました");
  testing::PumpMessages();
  EXPECT_FALSE(w.destroyed()) << "the Esc that stopped the plug-in does not also close the window";
}

TEST(Form1PluginHosts, PackedInfoRecordsAndRealAlphaAreHandled) {
  {
    PluginFolder plugins({L"v_packed"});
    MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
    WriteBytes(w.dir() / L"p.tst", TestPicture());
    for (int i = 0; i < 30; ++i) w.Open((w.dir() / L"p.tst").wstring());
    EXPECT_EQ(w->ImageJpg().picture().Width(), 2);
    EXPECT_EQ(Hosts(w).Starts(), 1u) << "the text block freed where the plug-in put it, thirty times";
  }
  PluginFolder plugins({L"v_alpha"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  WriteBytes(w.dir() / L"p.tst", TestPicture());
  w.Open((w.dir() / L"p.tst").wstring());
  const COLORREF back = ::GetSysColor(COLOR_BTNFACE);
  const auto over = [](int c, int b) { return (c * 128 + b * 127 + 127) / 255; };
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 0, 0),
            RGB(over(255, GetRValue(back)), over(0, GetGValue(back)), over(0, GetBValue(back))))
      << "half-covering red over the view's colour";
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 0, 1), RGB(0, 0, 255));
}

double CommitMegabytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  return static_cast<double>(std::max(pmc.PrivateUsage, pmc.PagefileUsage)) / (1 << 20);
}

TEST(Form1PluginHosts, NothingLeaksOverAHundredCrashes) {
  PluginFolder plugins({L"v_crash"});
  MainWindow w({}, IniWithSusiePath(plugins.dir.path()));
  ErrorRecorder errors;
  WriteBytes(w.dir() / L"bad.tst", TestPicture(0, 200, true));
  WriteBytes(w.dir() / L"good.tst", TestPicture());
  const auto cycle = [&] {
    w.Drop({(w.dir() / L"bad.tst").wstring()});
    w.Drop({(w.dir() / L"good.tst").wstring()});
  };
  for (int i = 0; i < 5; ++i) cycle();  // what the first few set up for good
  DWORD handlesBefore = 0, handlesAfter = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &handlesBefore);
  const double memoryBefore = CommitMegabytes();
  for (int i = 0; i < 100; ++i) cycle();
  ::GetProcessHandleCount(::GetCurrentProcess(), &handlesAfter);
  const double memoryAfter = CommitMegabytes();
  EXPECT_EQ(errors.messages.size(), 105u);
  EXPECT_LE(handlesAfter, handlesBefore + 10) << handlesBefore << " -> " << handlesAfter;
  EXPECT_LT(memoryAfter - memoryBefore, 8.0) << memoryBefore << " MB -> " << memoryAfter << " MB";
  EXPECT_EQ(w->ImageJpg().picture().Width(), 2);
}

#endif

}  // namespace
}  // namespace mirabo
