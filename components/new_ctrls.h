#pragma once
// TFileDrop: makes a window accept files dragged from the shell and reports
// each drop as one event with the dropped paths (at their full length) and
// the drop point in the window's client coordinates. It takes over the
// target window's procedure and hands every other message on.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace mirabo {

class TFileDrop {
 public:
  using TFileDropEvent = std::function<void(TFileDrop& sender, int num,
                                            const std::vector<std::wstring>& files, int x, int y)>;

  // owner: the form that owns the component; it is the target while
  // Control is none.
  explicit TFileDrop(HWND owner);
  TFileDrop(const TFileDrop&) = delete;
  TFileDrop& operator=(const TFileDrop&) = delete;
  virtual ~TFileDrop();

  // Runs once the owner is complete: hooks the owner when Control is none.
  void Loaded();

  bool Accept() const { return accept_; }
  void SetAccept(bool accept);
  HWND Control() const { return control_; }
  void SetControl(HWND control);
  HWND HookedWindow() const { return hooked_; }

  TFileDropEvent OnFileDrop;

 protected:
  virtual void DoFileDrop(HDROP drop);
  virtual void HookControl();
  virtual void UnhookControl();

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND Target() const;

  HWND owner_;
  HWND control_ = nullptr;
  HWND hooked_ = nullptr;
  WNDPROC previous_ = nullptr;
  bool accept_ = true;
};

}  // namespace mirabo
