#pragma once
// What the main window asks of the three platform controls it embeds: the
// document imaging control (multi-page TIFF, PCX, AWD), the web browser and
// the media player. The recording implementations stand in until the real
// controls are built: they remember every request and show nothing, so each
// view mode is dispatched from the start and tests can see what was asked.
#include <string>
#include <vector>

#include "app/errors.h"

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
  virtual void ExecWB(int command) = 0;  // 6 print, 8 page setup
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
};

// The stand-ins: each request is logged as a line such as "SetPage 1".
class RecordingDocumentImaging : public IDocumentImaging {
 public:
  std::vector<std::wstring> calls;
  void SetImage(const std::wstring& path) override;
  void SetZoom(float percent) override;
  void SetPage(int page) override;
  int Page() override { return page_; }
  int PageCount() override { return 1; }
  int ImageWidth() override { return 0; }
  int ImageHeight() override { return 0; }
  void SetScrollBars(bool on) override;
  void ShowPage() override;
  void CopyAreaToClipboard(int left, int top, int width, int height) override;
  void TurnLeft(int amount) override;
  void TurnRight(int amount) override;
  void PrintPages(int first, int last, int outputFormat, bool annotations, const std::wstring& printer,
                  const std::wstring& driver, const std::wstring& port) override;

 private:
  int page_ = 1;
};

class RecordingWebBrowser : public IWebBrowser {
 public:
  std::vector<std::wstring> calls;
  void Navigate(const std::wstring& path) override;
  void ExecWB(int command) override;
};

class RecordingMediaPlayer : public IMediaPlayer {
 public:
  std::vector<std::wstring> calls;
  void SetFileName(const std::wstring& path) override;
  void Open() override;
  void Close() override;
  void SetTimeFormatMilliseconds() override;
  int Length() override;
  int Position() override;
  void Seek(int to) override;
  void Play() override;
  bool IsOpen() const { return open_; }

 private:
  void RequireOpen() const;
  bool open_ = false;
};

}  // namespace mirabo
