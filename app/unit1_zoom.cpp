// Zoom, fit to window, drag scrolling and the double-click action.
#include <windows.h>
#include <icm.h>
#include <shellapi.h>

#include <vector>

#include "app/unit1.h"
#include "app/view_table.h"
#include "app/zoom_fit.h"
#include "base/win/file_ops.h"
#include "plugins/spi_bitmap.h"

namespace mirabo {

void TForm1::ShowZoomLabel() {
  const int level = settings().Zoom;
  if (level >= 0 && level <= 3) panel1_.SetCaption(ZoomLabel(level));
}

void TForm1::ApplyJpegScale() {
  const int level = settings().Zoom;
  // A picture turned on screen is a bitmap now, which has no scale to set.
  if (level < 0 || level > 3 || CurrentPath.empty() || imageJpg_.picture().Kind() != PictureKind::Jpeg) return;
  // Decoded again at the new scale, never shrunk from a full-size bitmap.
  imageJpg_.SetPicture(LoadJpegFile(CurrentPath, ZoomScaleDenominator(level), imageJpg_.Spare(), Viewing()));
}

JpegViewing TForm1::Viewing() {
  const Settings& s = settings();
  if (s.ColorManage) {
    // The profile of the display the view is on; none is sRGB.
    win::WindowDC dc(imageJpg_.Handle());
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    const std::wstring now = ::GetICMProfileW(dc.Get(), &size, path) ? path : L"";
    if (now != displayProfile_) {
      displayProfile_ = now;
      std::vector<uint8_t> bytes;
      if (const win::UniqueFile file = win::OpenForSharedReading(now)) {
        LARGE_INTEGER length{};
        DWORD got = 0;
        if (::GetFileSizeEx(file.Get(), &length) && length.QuadPart > 0 && length.QuadPart < (16 << 20)) {
          bytes.resize(static_cast<size_t>(length.QuadPart));
          if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
          bytes.resize(got);
        }
      }
      colours_.SetDisplayProfile(bytes);
    }
  }
  return {s.Orientation != 0, s.ColorManage ? &colours_ : nullptr};
}

PictureReadAhead::Key TForm1::JpegReadAheadKey(const std::wstring& path) {
  // Whatever changes the pixels: the zoom level's scale, the orientation
  // and colour settings and the display's profile.
  const Settings& s = settings();
  const int zoom = s.Zoom;
  return {path, std::to_wstring(ZoomScaleDenominator(zoom)) + L"/" + std::to_wstring(s.Orientation) + L"/" +
                    std::to_wstring(s.ColorManage) + L"/" + displayProfile_};
}

PictureReadAhead::Key TForm1::PluginReadAheadKey(const std::wstring& path) {
  // Plug-in pictures have no scale; the plug-ins found may change.
  return {path, L"plug-in/" + std::to_wstring(pluginGeneration_)};
}

void TForm1::ScheduleReadAhead() {
  if (settings().ReadAhead) ::SetTimer(Handle(), kReadAheadTimer, 1, nullptr);
}

void TForm1::StartReadAhead() {
  ::KillTimer(Handle(), kReadAheadTimer);
  // Plug-ins run in helper processes in the 64-bit program: calling them
  // from another thread is safe there. Loaded in the process, a plug-in
  // expects every call on the thread that loaded it.
  const bool plugin = viewMode == ViewMode::Plugin && kPluginsInHelpers;
  // A modal dialog (the settings, a message) has the window disabled.
  if (!settings().ReadAhead || busy_ || !::IsWindowEnabled(Handle()) || (viewMode != ViewMode::Jpeg && !plugin) ||
      CurrentPath.empty()) {
    readAhead_.Discard();
    return;
  }
  // Only when nothing waits: a held key's next step comes first.
  if (HIWORD(::GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE))) {
    ::SetTimer(Handle(), kReadAheadTimer, 20, nullptr);
    return;
  }
  const int count = FileListBox1.Count();
  int next = stepDirection_ < 0 ? BackIndex(CurrentIndex, count) : ForwardIndex(CurrentIndex, count);
  if (next < 0 && stepDirection_ > 0 && settings().ViewSlide && settings().Loop && count > 1) next = 0;  // the slide show goes round
  if (next < 0 || next == CurrentIndex) return;
  const std::wstring path = std::wstring(FolderOf(CurrentPath)) + FileListBox1.Items()[static_cast<size_t>(next)];
  if (plugin) {
    PictureReadAhead::Key key = PluginReadAheadKey(path);
    if (readAhead_.Holds(key)) return;
    // The shown picture's spare is filled again, as for a JPEG.
    auto spare = std::make_shared<Picture>(imageJpg_.TakeSpare());
    readAhead_.Start(std::move(key), [path, spare](std::span<const uint8_t> bytes, const std::atomic<bool>& stop) {
      TSPIBitmap bitmap;
      bitmap.Loader().ShouldStop = [&stop] { return stop.load(); };
      bitmap.Loader().Recycle = spare.get();
      return bitmap.LoadFromStreamWithName(bytes.data(), bytes.size(), path);
    });
    return;
  }
  const JpegViewing viewing = Viewing();
  PictureReadAhead::Key key = JpegReadAheadKey(path);
  if (readAhead_.Holds(key)) return;
  const int scale = ZoomScaleDenominator(settings().Zoom);
  // The shown picture's spare (the previous one) is filled again: a step
  // then neither allocates nor frees the memory of a picture.
  auto spare = std::make_shared<Picture>(imageJpg_.TakeSpare());
  readAhead_.Start(std::move(key), [scale, viewing, spare](std::span<const uint8_t> bytes, const std::atomic<bool>& stop) {
    return LoadJpegMemory(bytes, scale, viewing, &stop, spare.get());
  });
}

void TForm1::ToolButton1Click() {
  Settings& s = settings();
  if (s.Zoom == 0) return;
  s.Zoom = ZoomedIn(s.Zoom);
  ShowZoomLabel();
  if (viewMode == ViewMode::Jpeg) ApplyJpegScale();
  if (viewMode == ViewMode::Document) ApplyDocumentZoom();
  FitPicture();
  scrollBox_.SetHorzPosition(scrollBox_.HorzPosition() * 2);
  scrollBox_.SetVertPosition(scrollBox_.VertPosition() * 2);
  FocusEditKey();
}

void TForm1::ToolButton2Click() {
  Settings& s = settings();
  if (s.Zoom == 3) return;
  s.Zoom = ZoomedOut(s.Zoom);
  ShowZoomLabel();
  if (viewMode == ViewMode::Jpeg) ApplyJpegScale();
  if (viewMode == ViewMode::Document) ApplyDocumentZoom();
  scrollBox_.SetHorzPosition(scrollBox_.HorzPosition() / 2);
  scrollBox_.SetVertPosition(scrollBox_.VertPosition() / 2);
  FitPicture();
  FocusEditKey();
}

void TForm1::ToolButton30Click() {
  settings().FitWin = IsChecked("ToolButton30") ? 1 : 0;
  FitPicture();
}

void TForm1::ShowNaturalSize() {
  imageJpg_.stretch = false;
  imageJpg_.autoSize = true;
  scrollBox_.SetChildContent(imageJpg_.Handle(), 0, 0, imageJpg_.picture().Width(), imageJpg_.picture().Height());
  ::ShowWindow(imageJpg_.Handle(), SW_SHOWNA);
  scrollBox_.Realign();
  ::InvalidateRect(imageJpg_.Handle(), nullptr, FALSE);
}

void TForm1::StretchToWindow() {
  RECT outer{};
  ::GetWindowRect(scrollBox_.Handle(), &outer);
  const Picture& p = imageJpg_.picture();
  const FitResult fit = ComputeFit(p.Width(), p.Height(), outer.right - outer.left, outer.bottom - outer.top, true, false);
  if (!fit.stretched) {
    ShowNaturalSize();
    return;
  }
  imageJpg_.stretch = true;
  imageJpg_.autoSize = false;
  scrollBox_.SetChildContent(imageJpg_.Handle(), 0, 0, fit.width, fit.height);
  ::ShowWindow(imageJpg_.Handle(), SW_SHOWNA);
  scrollBox_.Realign();
  ::InvalidateRect(imageJpg_.Handle(), nullptr, FALSE);
}

void TForm1::FitPicture() {
  if (viewMode != ViewMode::Jpeg && viewMode != ViewMode::Picture && viewMode != ViewMode::Plugin) return;
  const Settings& s = settings();
  RECT outer{};
  ::GetWindowRect(scrollBox_.Handle(), &outer);
  const Picture& p = imageJpg_.picture();
  const FitResult fit = ComputeFit(p.Width(), p.Height(), outer.right - outer.left, outer.bottom - outer.top,
                                   s.FitWin != 0, s.FitOver != 0);
  if (fit.stretched) StretchToWindow();
  else ShowNaturalSize();
}

void TForm1::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void TForm1::ImageJpgMouseDown(UINT, int x, int y) {
  dragScrolling_ = true;
  dragOrigin_ = {x, y};
  ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
  ::SetCapture(imageJpg_.Handle());
  ProcessMessages();
}

void TForm1::DragTo(int x, int y) {
  // The picture moves with the scroll, so the origin stays where it was
  // grabbed and the picture follows the pointer like a sheet of paper.
  scrollBox_.SetHorzPosition(scrollBox_.HorzPosition() + dragOrigin_.x - x);
  scrollBox_.SetVertPosition(scrollBox_.VertPosition() + dragOrigin_.y - y);
}

void TForm1::ImageJpgMouseMove(int x, int y) {
  if (!dragScrolling_) return;
  DragTo(x, y);
  ProcessMessages();
}

void TForm1::ImageJpgMouseUp(UINT, int x, int y) {
  if (!dragScrolling_) return;
  DragTo(x, y);
  dragScrolling_ = false;
  if (::GetCapture()) ::ReleaseCapture();
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  ProcessMessages();
}

void TForm1::ImgEdit1MouseDown(UINT button, int x, int y) {
  const HWND imgEdit = WindowOf("ImgEdit1");
  if (button == WM_LBUTTONDOWN) {
    dragScrolling_ = true;
    RECT r{};
    ::GetWindowRect(imgEdit, &r);
    scrollBox_.MoveChild(imgEdit, 0, 0, r.right - r.left, r.bottom - r.top);
    dragOrigin_ = {x, y};
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    ::SetCapture(imgEdit);
    ProcessMessages();
  } else if (button == WM_RBUTTONDOWN) {
    RECT w{};
    ::GetWindowRect(Handle(), &w);
    ShowPopup(menus_[Surface::PopupMenu2], {w.left + x, w.top + Scaled(27) + y});
  }
}

void TForm1::ImageJpgDblClick() {
  switch (settings().DblCK) {
    case 0:
      ::ShellExecuteW(Handle(), nullptr, CurrentPath.c_str(), L"", std::wstring(FolderOf(CurrentPath)).c_str(), SW_SHOW);
      break;
    case 1:
      if (::IsIconic(Handle())) break;
      ::ShowWindow(Handle(), ::IsZoomed(Handle()) ? SW_RESTORE : SW_MAXIMIZE);
      SyncWindowStateItems();
      break;
    default:
      break;
  }
}

}  // namespace mirabo
