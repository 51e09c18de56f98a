#pragma once
// The web browser: the system's web browser control (CLSID_WebBrowser)
// embedded in place in a host window of ours, through a small OLE container
// (client site, in-place site and frame, ambient properties, browser
// events). A page shown is a local file of unknown origin: it gets no
// scripts, Java, ActiveX controls or behaviours, the control works offline
// (nothing is fetched from the network), navigations away from local files,
// new windows and file downloads are refused, and the process runs pages
// under the local-machine lockdown.
#include <windows.h>
#include <exdisp.h>

#include <functional>
#include <memory>
#include <string>

#include "base/win/window.h"
#include "viewers/platform_controls.h"

namespace mirabo {

// What the browser was asked to navigate to, as its BeforeNavigate2 event
// tells it.
struct NavigationRequest {
  std::wstring url;
  long flags = 0;
  std::wstring targetFrame;
  std::wstring headers;
  bool postData = false;
  bool allowed = true;
};

class TWebBrowser : public IWebBrowser, public win::Window<TWebBrowser> {
 public:
  TWebBrowser();
  ~TWebBrowser() override;
  // The host window, a child of parent, and the control in place in it.
  // Without the control (no OLE, or the system has none) the host stays
  // empty and Navigate reports it.
  void Create(HWND parent);
  bool Embedded() const { return browser_ != nullptr; }

  // The path unchanged as the URL: flags 0, no target, post data or
  // headers. A refusal raises EMirabo naming the HRESULT and its text.
  void Navigate(const std::wstring& path) override;
  void ExecWB(int command, int option) override;
  // By late binding, as a script would ask.
  int FrameCount() override;
  IWebBrowser2* Automation() const { return browser_; }
  // Gives the control the keys meant for it while it has the focus; true
  // when it took the message.
  bool TranslateAccelerator(MSG& msg);

  std::function<void(const NavigationRequest&)> OnBeforeNavigate;
  // The notice's button: open the page with the program it belongs to.
  std::function<void()> OnLaunch;
  // A page the control cannot show (no engine, or one that refuses the
  // page) leaves a line in the view saying so, with a button to launch it.
  bool NoticeShown() const { return notice_ && ::IsWindowVisible(notice_); }
  HWND NoticeButton() const { return noticeButton_; }
  std::wstring NoticeText() const;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

  class Site;  // the container's COM object

 private:
  void Resize();
  void Destroy();
  void ShowNotice(bool shown);

  Site* site_ = nullptr;
  IOleObject* object_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  DWORD eventsCookie_ = 0;
  HWND notice_ = nullptr, noticeButton_ = nullptr;
};

}  // namespace mirabo
