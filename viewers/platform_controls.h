#pragma once
// What the main window asks of the three platform controls it embeds: the
// document imaging control (multi-page TIFF, PCX, AWD), the web browser and
// the media player (TImgEdit, TWebBrowser and TMediaPlayer implement them).
#include <string>

#include "base/errors.h"

namespace mirabo {

class IDocumentImaging {
 public:
  virtual ~IDocumentImaging() = default;
  virtual void SetImage(const std::wstring& path) = 0;
  virtual void SetZoom(float percent) = 0;
  virtual void SetPage(int page) = 0;  // from 1
  virtual int Page() = 0;
  virtual int PageCount() = 0;
  virtual int ImageWidth() = 0;  // pixels at 100 %
  virtual int ImageHeight() = 0;
  virtual void SetScrollBars(bool on) = 0;
  virtual void ShowPage() = 0;
  virtual void CopyAreaToClipboard(int left, int top, int width, int height) = 0;
  virtual void TurnLeft(int amount) = 0;  // 900: a quarter turn
  virtual void TurnRight(int amount) = 0;
  virtual void PrintPages(int first, int last, int outputFormat, bool annotations,
                          const std::wstring& printer, const std::wstring& driver,
                          const std::wstring& port) = 0;
};

class IWebBrowser {
 public:
  virtual ~IWebBrowser() = default;
  virtual void Navigate(const std::wstring& path) = 0;
  // 6 print, 8 page setup; option as the command takes it.
  virtual void ExecWB(int command, int option) = 0;
  // document.frames.length of the page shown; -1 without a document.
  virtual int FrameCount() = 0;
};

// Raised for a media device that is missing or refuses a file.
class EMCIDeviceError : public EMirabo {
 public:
  using EMirabo::EMirabo;
};

class IMediaPlayer {
 public:
  virtual ~IMediaPlayer() = default;
  virtual void SetFileName(const std::wstring& path) = 0;
  virtual void Open() = 0;
  virtual void Close() = 0;  // nothing when no device is open
  virtual void SetTimeFormatMilliseconds() = 0;
  virtual int Length() = 0;
  virtual int Position() = 0;
  virtual void Seek(int to) = 0;
  virtual void Play() = 0;
  // At the end of the media: played to it (the device says so; some report
  // their last position short of the length) or standing there.
  virtual bool AtEnd() = 0;
};

}  // namespace mirabo
