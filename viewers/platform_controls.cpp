#include "viewers/platform_controls.h"

namespace mirabo {

void RecordingDocumentImaging::SetImage(const std::wstring& path) { calls.push_back(L"SetImage " + path); }
void RecordingDocumentImaging::SetZoom(float percent) {
  calls.push_back(L"SetZoom " + std::to_wstring(percent));
}
void RecordingDocumentImaging::SetPage(int page) {
  page_ = page;
  calls.push_back(L"SetPage " + std::to_wstring(page));
}
void RecordingDocumentImaging::SetScrollBars(bool on) {
  calls.push_back(on ? L"SetScrollBars true" : L"SetScrollBars false");
}
void RecordingDocumentImaging::ShowPage() { calls.push_back(L"ShowPage"); }
void RecordingDocumentImaging::CopyAreaToClipboard(int left, int top, int width, int height) {
  calls.push_back(L"CopyAreaToClipboard " + std::to_wstring(left) + L" " + std::to_wstring(top) +
                  L" " + std::to_wstring(width) + L" " + std::to_wstring(height));
}
void RecordingDocumentImaging::TurnLeft(int amount) { calls.push_back(L"TurnLeft " + std::to_wstring(amount)); }
void RecordingDocumentImaging::TurnRight(int amount) { calls.push_back(L"TurnRight " + std::to_wstring(amount)); }
void RecordingDocumentImaging::PrintPages(int first, int last, int, bool, const std::wstring&,
                                          const std::wstring&, const std::wstring&) {
  calls.push_back(L"PrintPages " + std::to_wstring(first) + L" " + std::to_wstring(last));
}

void RecordingWebBrowser::Navigate(const std::wstring& path) { calls.push_back(L"Navigate " + path); }
void RecordingWebBrowser::ExecWB(int command) { calls.push_back(L"ExecWB " + std::to_wstring(command)); }

void RecordingMediaPlayer::RequireOpen() const {
  if (!open_) throw EMCIDeviceError("MCI デバイスがありません");
}
void RecordingMediaPlayer::SetFileName(const std::wstring& path) { calls.push_back(L"SetFileName " + path); }
void RecordingMediaPlayer::Open() {
  open_ = true;
  calls.push_back(L"Open");
}
void RecordingMediaPlayer::Close() {
  if (open_) calls.push_back(L"Close");
  open_ = false;
}
void RecordingMediaPlayer::SetTimeFormatMilliseconds() {
  RequireOpen();
  calls.push_back(L"SetTimeFormatMilliseconds");
}
int RecordingMediaPlayer::Length() {
  RequireOpen();
  return 0;
}
int RecordingMediaPlayer::Position() {
  RequireOpen();
  return 0;
}
void RecordingMediaPlayer::Seek(int to) {
  RequireOpen();
  calls.push_back(L"Seek " + std::to_wstring(to));
}
void RecordingMediaPlayer::Play() {
  RequireOpen();
  calls.push_back(L"Play");
}

}  // namespace mirabo
