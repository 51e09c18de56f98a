#pragma once
// The media player: an MCI device opened by file name (the system picks the
// device type from the file), its length and position in milliseconds, seek
// and play, and the row of seven buttons a media player shows (play, pause,
// stop, next, previous, step, back), drawn by the program at any DPI and
// always enabled. Video is drawn in a window of the player's own, centred in
// the display window given to it.
#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "base/win/window.h"
#include "viewers/platform_controls.h"

namespace mirabo {

enum class MediaButton { Play, Pause, Stop, Next, Previous, Step, Back };
inline constexpr int kMediaButtonCount = 7;

class TMediaPlayer : public IMediaPlayer, public win::Window<TMediaPlayer> {
 public:
  ~TMediaPlayer() override;
  // The button row, a child of parent; display: where video is shown.
  void Create(HWND parent, HWND display);
  // The row's width for a height, at the window's DPI.
  int RowWidth(int height) const { return height * kMediaButtonCount; }

  void SetFileName(const std::wstring& path) override { fileName_ = path; }
  // Throws EMCIDeviceError with the system's text when the device refuses
  // the file; no device is open then.
  void Open() override;
  void Close() override;
  void SetTimeFormatMilliseconds() override;
  int Length() override;
  int Position() override;
  void Seek(int to) override;
  // From the current position; at the end, from the start.
  void Play() override;
  bool AtEnd() override;
  bool IsOpen() const { return device_ != 0; }
  MCIDEVICEID DeviceId() const { return device_; }
  bool HasVideo() const { return video_ != nullptr && ::IsWindowVisible(video_); }
  // The device's mode as MCI reports it (MCI_MODE_PLAY, _PAUSE, _STOP...).
  DWORD Mode();
  // What a click on a button of the row does.
  void Press(MediaButton button);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void RequireOpen() const;
  // Sends a command to the open device; a refusal raises its text.
  void Command(UINT message, DWORD_PTR flags, void* parameters);
  DWORD Status(DWORD item);
  void ShowVideo();
  // A step forward or back by a tenth of the length where the device cannot
  // step by frames.
  void StepBy(int direction);
  void PaintRow(HDC dc);
  int ButtonAt(int x) const;

  std::wstring fileName_;
  MCIDEVICEID device_ = 0;
  bool playedToEnd_ = false;  // the device's notice that a play reached the end
  HWND display_ = nullptr;
  HWND video_ = nullptr;
  int pressed_ = -1;
};

}  // namespace mirabo
