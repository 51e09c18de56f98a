#include "viewers/media_player.h"

#include <digitalv.h>

#include <algorithm>
#include <array>

#include "base/win/text.h"
#include "base/win/unique_handle.h"

namespace mirabo {
namespace {

// The video window: the device draws into it; a repaint asks the device to
// draw its current frame again.
LRESULT CALLBACK VideoProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(hwnd, &ps);
    const auto device = static_cast<MCIDEVICEID>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    MCI_DGV_UPDATE_PARMS update{};
    update.hDC = dc;
    update.rc = ps.rcPaint;
    if (!device || mciSendCommandW(device, MCI_UPDATE, MCI_DGV_UPDATE_HDC | MCI_DGV_RECT | MCI_WAIT,
                                   reinterpret_cast<DWORD_PTR>(&update)))
      ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// Each button's picture in a 16 x 16 grid: filled shapes and bars.
void DrawButtonGlyph(HDC dc, MediaButton button, const RECT& r, COLORREF ink) {
  const int size = std::min(r.right - r.left, r.bottom - r.top) * 9 / 16;
  const int x0 = (r.left + r.right - size) / 2, y0 = (r.top + r.bottom - size) / 2;
  const auto at = [&](int gx, int gy) { return POINT{x0 + gx * size / 16, y0 + gy * size / 16}; };
  win::UniqueGdiObject brush(::CreateSolidBrush(ink));
  win::UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, ink));
  win::SelectedObject selectedBrush(dc, brush.Get()), selectedPen(dc, pen.Get());
  const auto triangle = [&](int left, int right, bool pointingRight) {
    const POINT pts[] = {at(pointingRight ? left : right, 1), at(pointingRight ? right : left, 8),
                         at(pointingRight ? left : right, 15)};
    ::Polygon(dc, pts, 3);
  };
  const auto bar = [&](int left, int right) {
    const POINT tl = at(left, 1), br = at(right, 15);
    ::Rectangle(dc, tl.x, tl.y, br.x, br.y);
  };
  switch (button) {
    case MediaButton::Play: triangle(3, 14, true); break;
    case MediaButton::Pause: bar(3, 7), bar(10, 14); break;
    case MediaButton::Stop: {
      const POINT tl = at(2, 2), br = at(14, 14);
      ::Rectangle(dc, tl.x, tl.y, br.x, br.y);
      break;
    }
    case MediaButton::Next: triangle(1, 8, true), triangle(7, 14, true), bar(14, 16); break;
    case MediaButton::Previous: bar(0, 2), triangle(2, 9, false), triangle(8, 15, false); break;
    case MediaButton::Step: triangle(2, 11, true), bar(12, 15); break;
    case MediaButton::Back: bar(1, 4), triangle(5, 14, false); break;
  }
}

constexpr std::array<MediaButton, kMediaButtonCount> kButtons = {
    MediaButton::Play, MediaButton::Pause, MediaButton::Stop, MediaButton::Next,
    MediaButton::Previous, MediaButton::Step, MediaButton::Back};

}  // namespace

TMediaPlayer::~TMediaPlayer() { Close(); }

void TMediaPlayer::Create(HWND parent, HWND display) {
  display_ = display;
  RegisterClassOnce(L"TMediaPlayer", 0, nullptr, nullptr);
  CreateFor(0, L"TMediaPlayer", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent);
  WNDCLASSEXW wc{};
  if (!::GetClassInfoExW(::GetModuleHandleW(nullptr), L"TMediaVideo", &wc)) {
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &VideoProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TMediaVideo";
    ::RegisterClassExW(&wc);
  }
  video_ = ::CreateWindowExW(0, L"TMediaVideo", L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, display, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

void TMediaPlayer::RequireOpen() const {
  if (!device_) throw EMCIDeviceError("MCI デバイスがありません");
}

void TMediaPlayer::Command(UINT message, DWORD_PTR flags, void* parameters) {
  RequireOpen();
  // Some devices refuse a command without a parameter block, even one that
  // asks for nothing.
  MCI_GENERIC_PARMS none{};
  const MCIERROR error =
      mciSendCommandW(device_, message, flags, reinterpret_cast<DWORD_PTR>(parameters ? parameters : &none));
  if (!error) return;
  wchar_t text[MAXERRORLENGTH] = L"";
  if (!mciGetErrorStringW(error, text, MAXERRORLENGTH)) ::swprintf(text, MAXERRORLENGTH, L"MCI error %lu", error);
  throw EMCIDeviceError(win::WideToUtf8(text));
}

DWORD TMediaPlayer::Status(DWORD item) {
  MCI_STATUS_PARMS status{};
  status.dwItem = item;
  Command(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status);
  return static_cast<DWORD>(status.dwReturn);
}

void TMediaPlayer::Open() {
  Close();
  MCI_OPEN_PARMSW open{};
  open.lpstrElementName = fileName_.c_str();
  const MCIERROR error = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
  if (error) {
    wchar_t text[MAXERRORLENGTH] = L"";
    if (!mciGetErrorStringW(error, text, MAXERRORLENGTH)) ::swprintf(text, MAXERRORLENGTH, L"MCI error %lu", error);
    throw EMCIDeviceError(win::WideToUtf8(text));
  }
  device_ = open.wDeviceID;
  playedToEnd_ = false;
  MCI_GETDEVCAPS_PARMS caps{};
  caps.dwItem = MCI_GETDEVCAPS_HAS_VIDEO;
  if (!mciSendCommandW(device_, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&caps)) &&
      caps.dwReturn)
    ShowVideo();
}

void TMediaPlayer::ShowVideo() {
  if (!video_) return;
  ::SetWindowLongPtrW(video_, GWLP_USERDATA, static_cast<LONG_PTR>(device_));
  MCI_DGV_WINDOW_PARMSW window{};
  window.hWnd = video_;
  if (mciSendCommandW(device_, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&window))) return;
  // The picture at its own size, centred in the display.
  MCI_DGV_RECT_PARMS source{};
  if (mciSendCommandW(device_, MCI_WHERE, MCI_DGV_WHERE_SOURCE | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&source))) return;
  const int width = source.rc.right - source.rc.left, height = source.rc.bottom - source.rc.top;
  RECT area{};
  ::GetClientRect(display_, &area);
  ::SetWindowPos(video_, HWND_TOP, (area.right - width) / 2, (area.bottom - height) / 2, width, height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
  MCI_DGV_PUT_PARMS put{};
  put.rc = {0, 0, width, height};
  mciSendCommandW(device_, MCI_PUT, MCI_DGV_PUT_DESTINATION | MCI_DGV_RECT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&put));
}

void TMediaPlayer::Close() {
  if (!device_) return;
  const MCIDEVICEID device = device_;
  device_ = 0;
  if (video_) {
    ::SetWindowLongPtrW(video_, GWLP_USERDATA, 0);
    ::ShowWindow(video_, SW_HIDE);
  }
  // A device closed while it plays first lets its queued sound run out
  // (under Wine for most of a second); paused, it closes at once.
  MCI_GENERIC_PARMS none{};
  mciSendCommandW(device, MCI_PAUSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&none));
  mciSendCommandW(device, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&none));
}

void TMediaPlayer::SetTimeFormatMilliseconds() {
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
  Command(MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set);
}

int TMediaPlayer::Length() { return static_cast<int>(Status(MCI_STATUS_LENGTH)); }
int TMediaPlayer::Position() { return static_cast<int>(Status(MCI_STATUS_POSITION)); }
DWORD TMediaPlayer::Mode() { return Status(MCI_STATUS_MODE); }

void TMediaPlayer::Seek(int to) {
  MCI_SEEK_PARMS seek{};
  seek.dwTo = static_cast<DWORD>(std::max(to, 0));
  Command(MCI_SEEK, MCI_TO | MCI_WAIT, &seek);
  playedToEnd_ = false;
}

bool TMediaPlayer::AtEnd() {
  // Video drivers may put their last position a frame before the length
  // (900 of 1000 ms): the end is what the device says it reached.
  return device_ && (playedToEnd_ || Position() >= Length());
}

void TMediaPlayer::Play() {
  RequireOpen();
  if (AtEnd()) Command(MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, nullptr);
  playedToEnd_ = false;
  // The device tells this window when the play reaches the end.
  MCI_PLAY_PARMS play{};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(Handle());
  Command(MCI_PLAY, MCI_NOTIFY, &play);
}

void TMediaPlayer::StepBy(int direction) {
  MCI_DGV_STEP_PARMS step{};
  step.dwFrames = 1;
  const DWORD_PTR flags = MCI_DGV_STEP_FRAMES | MCI_WAIT | (direction < 0 ? MCI_DGV_STEP_REVERSE : 0);
  if (!mciSendCommandW(device_, MCI_STEP, flags, reinterpret_cast<DWORD_PTR>(&step))) return;
  // Sound has no frames: a tenth of the length, as a player's step does.
  SetTimeFormatMilliseconds();
  const int length = Length();
  Seek(std::clamp(Position() + direction * std::max(length / 10, 1), 0, length));
}

void TMediaPlayer::Press(MediaButton button) {
  RequireOpen();
  switch (button) {
    case MediaButton::Play: Play(); break;
    case MediaButton::Pause:
      // Pressed again while paused, it goes on.
      if (Mode() == MCI_MODE_PAUSE) Command(MCI_RESUME, MCI_WAIT, nullptr);
      else Command(MCI_PAUSE, MCI_WAIT, nullptr);
      break;
    case MediaButton::Stop: Command(MCI_STOP, MCI_WAIT, nullptr); break;
    case MediaButton::Next:
      Command(MCI_SEEK, MCI_SEEK_TO_END | MCI_WAIT, nullptr);
      playedToEnd_ = true;
      break;
    case MediaButton::Previous:
      Command(MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, nullptr);
      playedToEnd_ = false;
      break;
    case MediaButton::Step:
    case MediaButton::Back:
      StepBy(button == MediaButton::Step ? 1 : -1);
      playedToEnd_ = false;
      break;
  }
}

int TMediaPlayer::ButtonAt(int x) const {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  const int width = std::max<int>(r.bottom, 1);
  return x >= 0 && x < width * kMediaButtonCount ? x / width : -1;
}

void TMediaPlayer::PaintRow(HDC dc) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  const int width = client.bottom;
  for (int i = 0; i < kMediaButtonCount; ++i) {
    RECT r{i * width, 0, (i + 1) * width, client.bottom};
    ::DrawEdge(dc, &r, i == pressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    if (i == pressed_) ::OffsetRect(&r, 1, 1);
    DrawButtonGlyph(dc, kButtons[static_cast<size_t>(i)], r, ::GetSysColor(COLOR_BTNTEXT));
  }
}

LRESULT TMediaPlayer::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (HandlePaint(msg, wp, [this](HDC dc, const RECT&) { PaintRow(dc); })) return 0;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case MM_MCINOTIFY:
      // Only a play that ran out counts: a stop, a pause or a later command
      // answers with another notice.
      if (wp == MCI_NOTIFY_SUCCESSFUL && device_ && static_cast<MCIDEVICEID>(lp) == device_) playedToEnd_ = true;
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = ButtonAt(static_cast<short>(LOWORD(lp)));
      ::SetCapture(Handle());
      ::InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      const int pressed = std::exchange(pressed_, -1);
      if (::GetCapture() == Handle()) ::ReleaseCapture();
      ::InvalidateRect(Handle(), nullptr, FALSE);
      // A button acts when released over itself, as push buttons do.
      if (pressed >= 0 && pressed == ButtonAt(static_cast<short>(LOWORD(lp))))
        Press(kButtons[static_cast<size_t>(pressed)]);
      return 0;
    }
    default:
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
