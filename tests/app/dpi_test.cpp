// The main window and the settings dialog at 96, 144 and 192 DPI. A process
// reads the system's DPI when it starts, so each DPI runs in a process of its
// own: the first sets the user's LogPixels, starts itself for that DPI and
// puts the value back at the end.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/application.h"
#include "base/win/dpi.h"
#include "base/win/error_handler.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "settings/unit2.h"
#include "tests/app/form1_test_support.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

int g_dpi = 0;  // the DPI this process runs at

RECT ClientRectIn(HWND control, HWND window) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The rows of the control's own drawing that hold ink: how tall its text
// is on the screen.
int InkHeight(HWND control) {
  RECT r{};
  ::GetClientRect(control, &r);
  win::WindowDC screen(nullptr);
  win::MemoryDC dc(screen.Get());
  win::UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), r.right, r.bottom));
  win::SelectedObject selected(dc.Get(), bitmap.Get());
  ::FillRect(dc.Get(), &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ::SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT | PRF_ERASEBKGND | PRF_NONCLIENT);
  int top = -1, bottom = -1;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) {
      const COLORREF p = ::GetPixel(dc.Get(), x, y);
      if (GetRValue(p) < 110 && GetGValue(p) < 110 && GetBValue(p) < 110) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  return top < 0 ? 0 : bottom - top + 1;
}

// Every button of the toolbar lies inside the window's client area.
void ExpectButtonsInside(HWND toolbar, HWND window, const char* name) {
  RECT client{};
  ::GetClientRect(window, &client);
  const auto count = ::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    TBBUTTON b{};
    ::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
    if (b.fsState & TBSTATE_HIDDEN) continue;
    RECT r{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
    ::MapWindowPoints(toolbar, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_LE(r.right, client.right) << name << " button " << i << " at " << g_dpi << " DPI";
  }
}

void ExpectTextScaled(HWND control, const char* name) {
  const int ink = InkHeight(control);
  EXPECT_GE(ink, win::Scaled(7, g_dpi)) << name << " at " << g_dpi << " DPI";
  EXPECT_LE(ink, win::Scaled(16, g_dpi)) << name << " at " << g_dpi << " DPI";
}

TEST(Dpi, TheMainWindowScalesItsSizeBarsAndTexts) {
  testing::MainWindow w;  // no settings file: the first start's size
  ASSERT_EQ(win::DpiOf(w->Handle()), g_dpi) << "the system did not take the DPI";
  RECT window{};
  ::GetWindowRect(w->Handle(), &window);
  EXPECT_EQ(window.right - window.left, win::Scaled(640, g_dpi));
  EXPECT_EQ(window.bottom - window.top, win::Scaled(480, g_dpi));
  // A picture: the rename bar is up.
  const auto picture = w.dir() / L"a.jpg";
  const auto jpeg = testing::MakeJpeg(testing::JpegKind::Rgb, 32, 24);
  testing::WriteBytes(picture, std::string(jpeg.begin(), jpeg.end()));
  w.Open(picture.wstring());
  ASSERT_TRUE(w->IsShown("ToolBar5"));
  for (const char* bar : {"ToolBar1", "ToolBar5"}) ExpectButtonsInside(w->WindowOf(bar), w->Handle(), bar);
  RECT client{};
  ::GetClientRect(w->Handle(), &client);
  for (const char* control : {"EditKey", "PanelCou", "Panel1", "EditFix", "CheckBoxDate", "EditDegit", "EditCou",
                              "UpDown2", "Label1", "LabelPath", "ProgressBar1"}) {
    const RECT r = ClientRectIn(w->WindowOf(control), w->Handle());
    EXPECT_TRUE(r.left >= 0 && r.right <= client.right && r.top >= 0 && r.bottom <= client.bottom)
        << control << " outside the window at " << g_dpi << " DPI";
  }
  ExpectTextScaled(w->WindowOf("Label1"), "the status strip's label");
  ExpectTextScaled(w->WindowOf("Label4"), "the rename bar's label");
}

TEST(Dpi, AMoveToAnotherDpiLaysTheWindowOutAgain) {
  testing::MainWindow w;
  // Up from 96, down from the others; the rectangle the system would
  // suggest for the first start's size.
  const int to = g_dpi == 96 ? 144 : 96;
  RECT suggested{10, 20, 10 + win::Scaled(640, to), 20 + win::Scaled(480, to)};
  ::SendMessageW(w->Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
  RECT window{};
  ::GetWindowRect(w->Handle(), &window);
  EXPECT_EQ(window.right - window.left, suggested.right - suggested.left);
  EXPECT_EQ(window.bottom - window.top, suggested.bottom - suggested.top);
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(w->WindowOf("Label1"), WM_GETFONT, 0, 0)), win::InterfaceFont(to));
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(w->WindowOf("EditFix"), WM_GETFONT, 0, 0)), win::InterfaceFont(to));
  const HWND bar = w->WindowOf("ToolBar1");
  RECT button{};
  ::SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
  EXPECT_EQ(button.right - button.left, win::Scaled(16, to) + win::Scaled(7, to));
  int cx = 0, cy = 0;
  ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(::SendMessageW(bar, TB_GETIMAGELIST, 0, 0)), &cx, &cy);
  EXPECT_EQ(cx, win::Scaled(16, to)) << "the pictures drawn again at the new size";
  RECT tool{};
  ::GetWindowRect(bar, &tool);
  EXPECT_EQ(tool.bottom - tool.top, win::Scaled(27, to));
  ExpectButtonsInside(bar, w->Handle(), "ToolBar1");
}

TEST(Dpi, EverySettingsCaptionFitsItsControl) {
  testing::MainWindow w;
  TForm2 dialog(w.form());
  dialog.Create();
  RECT client{};
  ::GetClientRect(dialog.Handle(), &client);
  EXPECT_EQ(client.right, win::Scaled(259, g_dpi));
  EXPECT_EQ(client.bottom, win::Scaled(154, g_dpi));
  struct Seen {
    HWND dialog;
    int checked = 0;
  } seen{dialog.Handle()};
  ::EnumChildWindows(
      dialog.Handle(),
      [](HWND control, LPARAM lp) -> BOOL {
        auto& s = *reinterpret_cast<Seen*>(lp);
        wchar_t cls[32] = L"", text[256] = L"";
        ::GetClassNameW(control, cls, 32);
        ::GetWindowTextW(control, text, 256);
        const HWND page = ::GetParent(control);
        if (page == s.dialog || !*text || std::wcschr(text, L'\n')) return TRUE;  // the pages themselves
        const LONG style = ::GetWindowLongW(control, GWL_STYLE);
        const bool box = _wcsicmp(cls, L"Button") == 0 && (style & 0xF) == BS_AUTOCHECKBOX;
        if (_wcsicmp(cls, L"Static") != 0 && !box) return TRUE;
        RECT r{};
        ::GetClientRect(control, &r);
        const SIZE needed = win::TextExtent(control, text);
        const int extra = box ? win::Scaled(16, g_dpi) : 0;
        EXPECT_LE(needed.cx + extra, r.right) << win::WideToUtf8(text) << " at " << g_dpi << " DPI";
        const RECT in = ClientRectIn(control, page);
        RECT pageRect{};
        ::GetClientRect(page, &pageRect);
        EXPECT_LE(in.right, pageRect.right) << win::WideToUtf8(text) << " leaves its page";
        ++s.checked;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen));
  EXPECT_GE(seen.checked, 20) << "captions looked at";
}

// Starts this program for one DPI; its exit code.
DWORD RunAt(int dpi, const std::wstring& extra) {
  const DWORD value = static_cast<DWORD>(dpi);
  ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &value, sizeof value);
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --dpi=" + std::to_wstring(dpi) + extra;
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 99;
  ::CloseHandle(pi.hThread);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 99;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  return code;
}

int RunEveryDpi(int argc, char** argv) {
  std::wstring extra;
  for (int i = 1; i < argc; ++i) extra += L" " + win::Utf8ToWide(argv[i]);
  DWORD saved = 0, size = sizeof saved;
  const bool had = ::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD,
                                  nullptr, &saved, &size) == ERROR_SUCCESS;
  int failures = 0;
  for (const int dpi : {96, 144, 192}) {
    const DWORD code = RunAt(dpi, extra);
    std::printf("dpi %d: %s\n", dpi, code == 0 ? "passed" : "FAILED");
    failures += code != 0;
  }
  if (had) ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &saved, sizeof saved);
  else ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace mirabo

int main(int argc, char** argv) {
  int dpi = 0;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--dpi=", 6) == 0) dpi = std::atoi(argv[i] + 6);
  if (!dpi) return mirabo::RunEveryDpi(argc, argv);
  mirabo::g_dpi = dpi;
  // The program declares itself aware of every monitor's DPI in its
  // manifest; this test program says so here.
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const auto setContext = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) ::SetProcessDPIAware();
  ::testing::InitGoogleTest(&argc, argv);
  mirabo::TApplication::Initialize();
  mirabo::SetDefaultErrorHandler([](HWND, const std::exception& e) {
    ADD_FAILURE() << "unexpected error shown to the user: " << e.what();
  });
  return RUN_ALL_TESTS();
}
