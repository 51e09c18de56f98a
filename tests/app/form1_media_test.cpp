// View modes 5 and 6 with the real controls: the media player on MCI (sound
// into the harness's null sink, in real time), its position bar and its part
// in the slide show; the browser control embedded and asked to navigate.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/media_fixtures.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::WriteBytes;

// Polls (pumping messages) until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int milliseconds = 8000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    testing::PumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The devices this process has open (the count comes back as a number in
// the return buffer).
int OpenMciDevices() {
  DWORD count[8] = {};
  MCI_SYSINFO_PARMSW info{};
  info.lpstrReturn = reinterpret_cast<LPWSTR>(count);
  info.dwRetSize = static_cast<DWORD>(sizeof(count) / (sizeof(wchar_t)));
  info.wDeviceType = MCI_ALL_DEVICE_ID;
  mciSendCommandW(MCI_ALL_DEVICE_ID, MCI_SYSINFO, MCI_SYSINFO_QUANTITY | MCI_SYSINFO_OPEN, reinterpret_cast<DWORD_PTR>(&info));
  return static_cast<int>(count[0]);
}

int Track(MainWindow& w) { return static_cast<int>(::SendMessageW(w->WindowOf("TrackBarMedia"), TBM_GETPOS, 0, 0)); }
void DragTrack(MainWindow& w, int to) { ::SendMessageW(w->WindowOf("TrackBarMedia"), TBM_SETPOS, TRUE, to); }

// A click on button i of the player's row, as the mouse makes it.
void ClickButton(MainWindow& w, MediaButton button) {
  RECT r{};
  const HWND row = w->MediaPlayer1.Handle();
  ::GetClientRect(row, &r);
  const LPARAM at = MAKELPARAM(static_cast<int>(button) * r.bottom + r.bottom / 2, r.bottom / 2);
  ::SendMessageW(row, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(row, WM_LBUTTONUP, 0, at);
}

TEST(Form1Media, SoundAndVideoOpenPlayAndAdvance) {
  MainWindow w;
  const auto wav = w.dir() / L"tone.wav";
  WriteBytes(wav, testing::MakeWav(2000));
  w.Open(wav.wstring());
  ASSERT_EQ(w->viewMode, ViewMode::Media);
  ASSERT_TRUE(w->MediaPlayer1.IsOpen());
  EXPECT_EQ(::SendMessageW(w->WindowOf("TrackBarMedia"), TBM_GETRANGEMAX, 0, 0), 2000);
  EXPECT_EQ(w->TextOf("PanelM_Pos"), L"0/2000");
  EXPECT_EQ(w->TimerInterval(), 250);
  EXPECT_EQ(w->MediaPlayer1.Mode(), static_cast<DWORD>(MCI_MODE_PLAY));
  EXPECT_TRUE(WaitFor([&] {
    w->Timer1Timer();
    return Track(w) > 200;
  })) << "position " << Track(w);
  const std::wstring label = w->TextOf("PanelM_Pos");
  EXPECT_EQ(label, std::to_wstring(Track(w)) + L"/2000");
  EXPECT_FALSE(w->MediaPlayer1.HasVideo());

  const auto avi = w.dir() / L"clip.avi";
  WriteBytes(avi, testing::MakeAvi(64, 48, 15, 10));
  w.Open(avi.wstring());
  ASSERT_TRUE(w->MediaPlayer1.IsOpen());
  EXPECT_EQ(::SendMessageW(w->WindowOf("TrackBarMedia"), TBM_GETRANGEMAX, 0, 0), 1500);
  EXPECT_TRUE(w->MediaPlayer1.HasVideo());
  EXPECT_TRUE(WaitFor([&] {
    w->Timer1Timer();
    return Track(w) > 200;
  })) << "position " << Track(w);
  EXPECT_EQ(OpenMciDevices(), 1) << "the sound's device was closed when the video opened";
}

TEST(Form1Media, TheBarSeeksOnlyWhenMovedMoreThanHalfASecond) {
  MainWindow w;
  const auto wav = w.dir() / L"long.wav";
  WriteBytes(wav, testing::MakeWav(4000));
  w.Open(wav.wstring());
  ClickButton(w, MediaButton::Pause);
  ASSERT_EQ(w->MediaPlayer1.Mode(), static_cast<DWORD>(MCI_MODE_PAUSE));
  w->Timer1Timer();
  const int held = Track(w);
  DragTrack(w, held + 500);
  w->Timer1Timer();
  EXPECT_EQ(Track(w), held) << "500 ms away: no seek";
  EXPECT_EQ(w->MediaPlayer1.Mode(), static_cast<DWORD>(MCI_MODE_PAUSE));
  DragTrack(w, held + 1501);
  w->Timer1Timer();
  EXPECT_GE(Track(w), held + 1501);
  EXPECT_EQ(w->MediaPlayer1.Mode(), static_cast<DWORD>(MCI_MODE_PLAY));
}

TEST(Form1Media, TheButtonRowDrivesTheDevice) {
  MainWindow w;
  const auto wav = w.dir() / L"tone.wav";
  WriteBytes(wav, testing::MakeWav(3000));
  w.Open(wav.wstring());
  auto& player = w->MediaPlayer1;
  ClickButton(w, MediaButton::Pause);
  EXPECT_EQ(player.Mode(), static_cast<DWORD>(MCI_MODE_PAUSE));
  ClickButton(w, MediaButton::Pause);  // again: go on
  EXPECT_EQ(player.Mode(), static_cast<DWORD>(MCI_MODE_PLAY));
  ClickButton(w, MediaButton::Stop);
  EXPECT_EQ(player.Mode(), static_cast<DWORD>(MCI_MODE_STOP));
  ClickButton(w, MediaButton::Previous);
  EXPECT_EQ(player.Position(), 0);
  ClickButton(w, MediaButton::Step);
  EXPECT_EQ(player.Position(), 300);  // a tenth of the length: sound has no frames
  ClickButton(w, MediaButton::Back);
  EXPECT_EQ(player.Position(), 0);
  ClickButton(w, MediaButton::Next);
  EXPECT_EQ(player.Position(), 3000);
  ClickButton(w, MediaButton::Play);  // from the end: from the start again
  EXPECT_EQ(player.Mode(), static_cast<DWORD>(MCI_MODE_PLAY));
  EXPECT_LT(player.Position(), 3000);
}

TEST(Form1Media, TheEndOfMediaStepsTheSlideShowAsSet) {
  // Long enough that a sound started again is still playing when it is
  // looked at, however busy the machine.
  constexpr int kLength = 3000;
  struct Row {
    const char* name;
    int slide, loop;
    const wchar_t* start;
    const wchar_t* expected;  // shown after the tick at the end
  } rows[] = {
      {"slide show on: the next file", 1, 0, L"a.wav", L"b.wav"},
      {"last file, no loop: stays", 1, 0, L"b.wav", L"b.wav"},
      {"last file, loop: the first", 1, 1, L"b.wav", L"a.wav"},
      {"slide show off: stays at its end", 0, 1, L"a.wav", L"a.wav"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    MainWindow w;
    for (const wchar_t* name : {L"a.wav", L"b.wav"}) WriteBytes(w.dir() / name, testing::MakeWav(kLength));
    w->settings().ViewSlide = r.slide;
    w->settings().Loop = r.loop;
    w.Open((w.dir() / r.start).wstring());
    // At its end as playing would leave it, without waiting for the sound.
    ClickButton(w, MediaButton::Next);
    ASSERT_EQ(w->MediaPlayer1.Position(), kLength);
    w->Timer1Timer();
    EXPECT_EQ(w->CurrentPath, (w.dir() / r.expected).wstring());
    if (std::wstring(r.expected) == r.start) EXPECT_EQ(w->TextOf("PanelM_Pos"), L"3000/3000");
    else EXPECT_LT(w->MediaPlayer1.Position(), kLength);
    EXPECT_EQ(OpenMciDevices(), 1);
  }

  // Alone in its folder with the show looping, a file plays again and again.
  MainWindow w;
  WriteBytes(w.dir() / L"only.wav", testing::MakeWav(kLength));
  w->settings().ViewSlide = 1;
  w->settings().Loop = 1;
  w.Open((w.dir() / L"only.wav").wstring());
  for (int round = 0; round < 2; ++round) {
    ClickButton(w, MediaButton::Next);
    w->Timer1Timer();
    EXPECT_LT(w->MediaPlayer1.Position(), kLength) << "round " << round;
    EXPECT_EQ(w->MediaPlayer1.Mode(), static_cast<DWORD>(MCI_MODE_PLAY));
  }
}

TEST(Form1Media, AVideoThatPlayedOutIsAtItsEndWhereverItsDriverPutsTheLastPosition) {
  // Video drivers report the last frame's start as the last position: a
  // second of ten frames ends at 900 of 1000 ms.
  MainWindow w;
  for (const wchar_t* name : {L"a.avi", L"b.avi"}) WriteBytes(w.dir() / name, testing::MakeAvi(32, 24, 10, 10));
  w->settings().ViewSlide = 1;
  w.Open((w.dir() / L"a.avi").wstring());
  ASSERT_TRUE(WaitFor([&] { return w->MediaPlayer1.AtEnd(); }))
      << "position " << w->MediaPlayer1.Position() << " of " << w->MediaPlayer1.Length();
  // Play starts it again from the start.
  ClickButton(w, MediaButton::Play);
  EXPECT_FALSE(w->MediaPlayer1.AtEnd());
  EXPECT_EQ(w->MediaPlayer1.Mode(), static_cast<DWORD>(MCI_MODE_PLAY));
  ASSERT_TRUE(WaitFor([&] { return w->MediaPlayer1.AtEnd(); }));
  // The slide show goes on to the next file.
  w->Timer1Timer();
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"b.avi").wstring());
  EXPECT_FALSE(w->MediaPlayer1.AtEnd());
}

TEST(Form1Media, DevicesCloseOnStepsAndCloseAndRefusalsAreShownOnce) {
  ErrorRecorder errors;
  {
    MainWindow w;
    for (const wchar_t* name : {L"a.wav", L"b.wav"}) WriteBytes(w.dir() / name, testing::MakeWav(2000));
    w.Open((w.dir() / L"a.wav").wstring());
    EXPECT_EQ(OpenMciDevices(), 1);
    w.Click("ToolButton18");
    EXPECT_EQ(w->CurrentPath, (w.dir() / L"b.wav").wstring());
    EXPECT_EQ(OpenMciDevices(), 1);
    ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(w.destroyed());
    EXPECT_EQ(OpenMciDevices(), 0) << "closing the window closes the device";
  }
  MainWindow w;
  const auto bad = w.dir() / L"broken.wav";
  WriteBytes(bad, "RIFF\x10\0\0\0WAVEjunkjunkjunk");
  // The system's own text for the refusal, asked the same way.
  MCI_OPEN_PARMSW open{};
  const std::wstring path = bad.wstring();
  open.lpstrElementName = path.c_str();
  const MCIERROR refused = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
  ASSERT_NE(refused, 0u);
  wchar_t text[MAXERRORLENGTH] = L"";
  mciGetErrorStringW(refused, text, MAXERRORLENGTH);
  w.Drop({path});
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], win::WideToUtf8(text));
  EXPECT_EQ(w->viewMode, ViewMode::Media);
  EXPECT_FALSE(w->MediaPlayer1.IsOpen());
  for (int tick = 0; tick < 3; ++tick) w->Timer1Timer();
  EXPECT_EQ(errors.messages.size(), 1u) << "the ticks after a refusal are silent";
  try {
    w->MediaPlayer1.Position();
    ADD_FAILURE() << "a query without a device answered";
  } catch (const EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), "MCI デバイスがありません");
  }
}

TEST(Form1Media, TheBackgroundPictureIsCentredWithItsCornerColourTransparent) {
  testing::TempDir pictures;
  const auto back = pictures / L"back.bmp";
  WriteBytes(back, testing::MakeBmp(20, 10, 24, false));
  MainWindow w({}, "[Media]\r\nBack=" + win::WideToCp932(back.wstring()) + "\r\n");
  WriteBytes(w.dir() / L"tone.wav", testing::MakeWav(1000));
  w.Open((w.dir() / L"tone.wav").wstring());
  const HWND image = w->WindowOf("ImageMediaBack");
  RECT panel{}, area{};
  ::GetClientRect(w->WindowOf("PanelMedia"), &panel);
  ::GetClientRect(image, &area);
  ASSERT_EQ(area.right, panel.right) << "the picture control fills the panel";
  ASSERT_EQ(area.bottom, panel.bottom);
  const HDC screen = ::GetDC(nullptr);
  const HDC dc = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, area.right, area.bottom);
  ::ReleaseDC(nullptr, screen);
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageW(image, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const int x0 = (area.right - 20) / 2, y0 = (area.bottom - 10) / 2;
  EXPECT_EQ(::GetPixel(dc, x0 + 5, y0 + 3), testing::BmpColour(5, 3));
  EXPECT_EQ(::GetPixel(dc, x0 + 19, y0), testing::BmpColour(19, 0));
  EXPECT_EQ(::GetPixel(dc, x0, y0 + 9), RGB(0, 0, 0)) << "the bottom-left colour lets the panel show";
  EXPECT_EQ(::GetPixel(dc, 0, 0), RGB(0, 0, 0));
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
}

TEST(Form1Web, TheBrowserIsInPlaceNavigatesAndCollapses) {
  MainWindow w;
  ASSERT_TRUE(w->WebBrowser1.Embedded());
  std::vector<NavigationRequest> requests;
  w->WebBrowser1.OnBeforeNavigate = [&](const NavigationRequest& r) { requests.push_back(r); };
  const auto page = w.dir() / L"ページ.htm";
  WriteBytes(page, "<html><body><script>alert(1)</script>x</body></html>");
  w.Open(page.wstring());
  ASSERT_EQ(w->viewMode, ViewMode::Web);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].url, page.wstring()) << "the path unchanged";
  EXPECT_EQ(requests[0].flags, 0);
  EXPECT_EQ(requests[0].targetFrame, L"");
  EXPECT_EQ(requests[0].headers, L"");
  EXPECT_TRUE(requests[0].allowed);
  EXPECT_TRUE(w->IsShown("PanelDrop"));
  EXPECT_EQ(w->TextOf("PanelDrop"), L"ここにＤｒｏｐしてください");
  RECT browser{}, box{}, drop{};
  ::GetWindowRect(w->WindowOf("WebBrowser1"), &browser);
  ::GetClientRect(w->ScrollBox1().Handle(), &box);
  ::GetWindowRect(w->WindowOf("PanelDrop"), &drop);
  EXPECT_EQ(browser.right - browser.left, box.right);
  EXPECT_EQ(browser.top, drop.bottom) << "under the drop strip";
  EXPECT_TRUE(::IsWindowVisible(w->WindowOf("WebBrowser1")));
  // The control's own window lies in ours, in place.
  EXPECT_NE(::GetWindow(w->WindowOf("WebBrowser1"), GW_CHILD), nullptr);

  // Nothing from the network: a navigation away from local files is cancelled.
  BSTR remote = ::SysAllocString(L"http://example.invalid/");
  const HRESULT hr = w->WebBrowser1.Automation()->Navigate(remote, nullptr, nullptr, nullptr, nullptr);
  ::SysFreeString(remote);
  EXPECT_EQ(hr, S_OK);
  testing::PumpMessages();  // the event comes once the request is under way
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[1].allowed);

  // The keys go to the browser only while it has the focus.
  ::SetFocus(w->WindowOf("EditKey"));
  MSG key{w->WindowOf("EditKey"), WM_KEYDOWN, VK_NEXT, 1};
  EXPECT_FALSE(w->PreTranslateMessage(key));

  // A picture collapses the browser to one pixel; a page spreads it again.
  WriteBytes(w.dir() / L"pic.bmp", testing::MakeBmp(8, 8, 24, false));
  w.Open((w.dir() / L"pic.bmp").wstring());
  ::GetWindowRect(w->WindowOf("WebBrowser1"), &browser);
  EXPECT_EQ(browser.right - browser.left, 1);
  EXPECT_EQ(browser.bottom - browser.top, 1);
  EXPECT_FALSE(w->IsShown("WebBrowser1")) << "collapsed, it shows nothing over the picture";
  w.Open(page.wstring());
  ::GetWindowRect(w->WindowOf("WebBrowser1"), &browser);
  EXPECT_EQ(browser.right - browser.left, box.right);
}

TEST(Form1Web, APageTheControlCannotShowSaysSoAndOffersToLaunchIt) {
  // Under Wine the control has no engine to draw with: every page is one it
  // cannot show.
  MainWindow w;
  const auto page = w.dir() / L"page.htm";
  WriteBytes(page, "<html><body>x</body></html>");
  w.Open(page.wstring());
  ASSERT_TRUE(WaitFor([&] { return w->WebBrowser1.NoticeShown(); }));
  EXPECT_EQ(w->WebBrowser1.NoticeText(),
            L"このページはここでは表示できません。関連付けられたプログラムで開くには「ラウンチ」を押してください。");
  RECT notice{}, host{};
  ::GetWindowRect(w->WebBrowser1.NoticeButton(), &notice);
  ::GetWindowRect(w->WindowOf("WebBrowser1"), &host);
  EXPECT_TRUE(notice.left >= host.left && notice.bottom <= host.bottom && notice.right <= host.right)
      << "the button lies in the view";
  EXPECT_TRUE(::IsWindowVisible(w->WebBrowser1.NoticeButton()));
  ASSERT_TRUE(w->WebBrowser1.OnLaunch) << "the window launches the page";
  int launched = 0;
  w->WebBrowser1.OnLaunch = [&] { ++launched; };
  ::SendMessageW(w->WebBrowser1.NoticeButton(), BM_CLICK, 0, 0);
  EXPECT_EQ(launched, 1);
  // Another file takes the notice away with the view.
  WriteBytes(w.dir() / L"pic.bmp", testing::MakeBmp(8, 8, 24, false));
  w.Open((w.dir() / L"pic.bmp").wstring());
  EXPECT_FALSE(w->WebBrowser1.NoticeShown() && w->IsShown("WebBrowser1"));
}

}  // namespace
}  // namespace mirabo
