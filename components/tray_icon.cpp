#include "components/tray_icon.h"

#include <string>
#include <vector>

#include "base/errors.h"

namespace mirabo {
namespace {

constexpr char kCannotRegister[] = "タスクトレイにアイコンを登録できません。";

struct RegistryEntry {
  std::wstring number;  // decimal text, as the registry is searched
  TTrayIcon* instance;
};

std::vector<RegistryEntry>& Registry() {
  static std::vector<RegistryEntry> registry;
  return registry;
}

HWND g_callbackWindow = nullptr;

LRESULT CALLBACK CallbackProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == TTrayIcon::kCallbackMessage) {
    const std::wstring number = std::to_wstring(static_cast<UINT>(wp));
    for (const auto& entry : Registry())
      if (entry.number == number) {
        entry.instance->HandleMouse(static_cast<UINT>(lp));
        break;
      }
    return 0;
  }
  if (msg == WM_NCDESTROY) g_callbackWindow = nullptr;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

class ShellTray : public ITrayShell {
 public:
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override { return ::Shell_NotifyIconW(message, &data) != FALSE; }
};

}  // namespace

ITrayShell& SystemTrayShell() {
  static ShellTray shell;
  return shell;
}

HWND TTrayIcon::CallbackWindow() { return g_callbackWindow; }

UINT TTrayIcon::TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

void TTrayIcon::RestoreAll() {
  for (const auto& entry : Registry())
    if (entry.instance->registered_) {
      entry.instance->registered_ = false;
      entry.instance->Add();
    }
}

TTrayIcon::TTrayIcon(HWND owner, ITrayShell& shell) : shell_(shell) {
  auto& registry = Registry();
  number_ = registry.empty() ? 1 : std::stoi(registry.back().number) + 1;
  if (number_ >= 1000) throw EMirabo(kCannotRegister);
  registry.push_back({std::to_wstring(number_), this});
  if (!g_callbackWindow) {
    WNDCLASSEXW wc{sizeof wc};
    if (!::GetClassInfoExW(::GetModuleHandleW(nullptr), L"TCallbackWindow", &wc)) {
      wc = {sizeof wc};
      wc.lpfnWndProc = &CallbackProc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = L"TCallbackWindow";
      ::RegisterClassExW(&wc);
    }
    // A child of the owner, so it lives as long as the main window.
    g_callbackWindow = ::CreateWindowExW(0, L"TCallbackWindow", L"", WS_CHILD, 0, 0, 0, 0, owner, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
  }
  data_.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data_.hWnd = g_callbackWindow;
  data_.uID = static_cast<UINT>(number_);
  data_.uCallbackMessage = kCallbackMessage;
}

TTrayIcon::~TTrayIcon() {
  if (registered_) Delete();
  auto& registry = Registry();
  std::erase_if(registry, [this](const RegistryEntry& e) { return e.instance == this; });
}

void TTrayIcon::Loaded() {
  loaded_ = true;
  Add();
}

void TTrayIcon::Refresh() {
  data_.hWnd = g_callbackWindow;
  data_.hIcon = icon_.Get();
  data_.uFlags = tip_.empty() ? (NIF_MESSAGE | NIF_ICON) : (NIF_MESSAGE | NIF_ICON | NIF_TIP);
  const size_t n = std::min(tip_.size(), std::size(data_.szTip) - 1);
  tip_.copy(data_.szTip, n);
  data_.szTip[n] = L'\0';
}

void TTrayIcon::Add() {
  if (!visible_) return;
  Refresh();
  if (!shell_.Notify(NIM_ADD, data_)) throw EMirabo(kCannotRegister);
  registered_ = true;
}

void TTrayIcon::Update() {
  if (!registered_) return;
  Refresh();
  if (!shell_.Notify(NIM_MODIFY, data_)) throw EMirabo(kCannotRegister);
}

void TTrayIcon::Delete() {
  Refresh();
  shell_.Notify(NIM_DELETE, data_);
  registered_ = false;
}

void TTrayIcon::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible && icon_;
  if (!loaded_) return;
  if (visible_) Add();
  else if (registered_) Delete();
}

void TTrayIcon::SetIcon(HICON icon) {
  if (!icon) {
    icon_.Reset();
    SetVisible(false);
    return;
  }
  icon_.Reset(::CopyIcon(icon));
  Update();
}

void TTrayIcon::SetTipHelp(const std::wstring& tip) {
  const std::wstring cut = tip.substr(0, kMaxTip);
  if (cut == tip_) return;
  tip_ = cut;
  Update();
}

void TTrayIcon::HandleMouse(UINT mouse) {
  POINT p{};
  ::GetCursorPos(&p);
  const auto press = [&](win::PopupMenu* menu, TMouseButton button) {
    if (menu && AutoPopup) {
      // The menu must belong to a foreground window to close when the user
      // clicks elsewhere.
      if (HWND top = ::GetAncestor(g_callbackWindow, GA_ROOT)) ::SetForegroundWindow(top);
      if (OnPopup) OnPopup(*menu, p);
    } else if (OnMouseDown) {
      OnMouseDown(*this, button, p.x, p.y);
    }
  };
  switch (mouse) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(*this, p.x, p.y);
      break;
    case WM_LBUTTONDOWN: press(LBPopupMenu, TMouseButton::mbLeft); break;
    case WM_LBUTTONUP:
      if (OnMouseUp) OnMouseUp(*this, TMouseButton::mbLeft, p.x, p.y);
      break;
    case WM_LBUTTONDBLCLK:
      if (OnDblClick) OnDblClick(*this);
      break;
    case WM_RBUTTONDOWN: press(RBPopupMenu, TMouseButton::mbRight); break;
    case WM_RBUTTONUP:
      if (OnMouseUp) OnMouseUp(*this, TMouseButton::mbRight, p.x, p.y);
      break;
    case WM_MBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(*this, TMouseButton::mbMiddle, p.x, p.y);
      break;
    case WM_MBUTTONUP:
      if (OnMouseUp) OnMouseUp(*this, TMouseButton::mbMiddle, p.x, p.y);
      break;
    default:
      break;
  }
}

}  // namespace mirabo
