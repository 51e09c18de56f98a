#pragma once
// TTrayIcon: an icon with a tooltip in the taskbar's notification area whose
// mouse actions become events or popup menus. Instances are numbered 1 to
// 999 through a process-wide registry and share one hidden callback window,
// a child of the first instance's owner.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "base/win/popup_menu.h"
#include "base/win/unique_handle.h"

namespace mirabo {

// The notification-area calls, so tests can watch them.
class ITrayShell {
 public:
  virtual ~ITrayShell() = default;
  virtual bool Notify(DWORD message, NOTIFYICONDATAW& data) = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
};
ITrayShell& SystemTrayShell();

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

class TTrayIcon {
 public:
  static constexpr UINT kCallbackMessage = 1224;
  static constexpr size_t kMaxTip = 62;

  // owner: the window that holds the shared callback window (the main window).
  explicit TTrayIcon(HWND owner, ITrayShell& shell = SystemTrayShell());
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;
  ~TTrayIcon();

  // Runs once the owner is complete: adds the icon when Visible.
  void Loaded();

  int Number() const { return number_; }
  bool Registered() const { return registered_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // The icon is copied; nullptr empties it and hides the icon.
  void SetIcon(HICON icon);
  HICON Icon() const { return icon_.Get(); }
  const std::wstring& TipHelp() const { return tip_; }
  void SetTipHelp(const std::wstring& tip);
  bool AutoPopup = true;
  win::PopupMenu* LBPopupMenu = nullptr;
  win::PopupMenu* RBPopupMenu = nullptr;

  std::function<void(TTrayIcon&)> OnDblClick;
  std::function<void(TTrayIcon&, TMouseButton, int x, int y)> OnMouseDown;
  std::function<void(TTrayIcon&, int x, int y)> OnMouseMove;
  std::function<void(TTrayIcon&, TMouseButton, int x, int y)> OnMouseUp;
  // Opens a menu for the icon at a screen point (the owner runs the item).
  std::function<void(win::PopupMenu&, POINT)> OnPopup;

  // The shared callback window's handle (for the shell and for tests).
  static HWND CallbackWindow();
  // Adds every registered icon again. The taskbar forgets all icons when
  // Explorer restarts and tells top-level windows with this message, so the
  // owner passes it on here; otherwise the hidden window could never come back.
  static void RestoreAll();
  static UINT TaskbarCreatedMessage();

  // One notification from the shell: mouse is the mouse message.
  void HandleMouse(UINT mouse);

 private:
  void Refresh();
  void Add();
  void Update();
  void Delete();

  ITrayShell& shell_;
  int number_ = 0;
  bool registered_ = false;
  bool visible_ = false;
  bool loaded_ = false;
  std::wstring tip_ = L"TipHelp";
  win::UniqueIcon icon_;
  NOTIFYICONDATAW data_{};
};

}  // namespace mirabo
