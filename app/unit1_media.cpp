// The media view's position bar and its part in the slide show, and the
// browser's keys.
#include <windows.h>
#include <commctrl.h>

#include "app/unit1.h"

namespace mirabo {

void TForm1::CloseMedia() { MediaPlayer1.Close(); }

void TForm1::UpdateMediaPosition() {
  // After a file the device refused there is nothing to ask, tick after
  // tick; the refusal has been shown once.
  if (!MediaPlayer1.IsOpen()) return;
  MediaPlayer1.SetTimeFormatMilliseconds();
  const int length = MediaPlayer1.Length();
  int position = MediaPlayer1.Position();
  const HWND track = WindowOf("TrackBarMedia");
  const int wanted = static_cast<int>(::SendMessageW(track, TBM_GETPOS, 0, 0));
  // The bar moved by the user: play from there. Only a bar the user moved
  // counts: devices that report their position in coarse steps (ahead by
  // the sound they have buffered) would otherwise be sent back to where the
  // bar was left at each step, and never get past the start.
  if (wanted != trackSetTo_ && (wanted > position + 500 || wanted < position - 500)) {
    MediaPlayer1.Seek(wanted);
    MediaPlayer1.Play();
  }
  position = MediaPlayer1.Position();
  ::SendMessageW(track, TBM_SETPOS, TRUE, position);
  trackSetTo_ = static_cast<int>(::SendMessageW(track, TBM_GETPOS, 0, 0));
  panelMPos_.SetCaption(std::to_wstring(position) + L"/" + std::to_wstring(length));
  if (settings().ViewSlide == 0 || !MediaPlayer1.AtEnd()) return;
  const bool last = CurrentIndex == FileListBox1.Count() - 1;
  if (last && settings().Loop == 0) return;  // the show ends on the last file
  if (last) CurrentIndex = -1;
  ToolButton18Click();
}

bool TForm1::PreTranslateMessage(MSG& msg) { return WebBrowser1.TranslateAccelerator(msg); }

}  // namespace mirabo
