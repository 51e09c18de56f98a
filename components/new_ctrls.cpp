#include "components/new_ctrls.h"

#include "base/errors.h"
#include "base/win/error_handler.h"

namespace mirabo {
namespace {
constexpr wchar_t kInstanceProperty[] = L"Mirabo.TFileDrop";
}

TFileDrop::TFileDrop(HWND owner) : owner_(owner) {}

TFileDrop::~TFileDrop() { UnhookControl(); }

void TFileDrop::Loaded() {
  if (!control_) SetControl(nullptr);
}

HWND TFileDrop::Target() const { return control_ ? control_ : owner_; }

void TFileDrop::SetControl(HWND control) {
  UnhookControl();
  control_ = control;
  HookControl();
}

void TFileDrop::SetAccept(bool accept) {
  if (accept == accept_) return;
  accept_ = accept;
  if (hooked_) ::DragAcceptFiles(hooked_, accept_);
}

void TFileDrop::HookControl() {
  const HWND target = Target();
  if (!target || !::IsWindow(target)) throw EMirabo("Invalidate Window Handle in FileDrop");
  hooked_ = target;
  ::SetPropW(target, kInstanceProperty, this);
  previous_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TFileDrop::WndProc)));
  ::DragAcceptFiles(target, accept_);
}

void TFileDrop::UnhookControl() {
  if (!hooked_) return;
  // Another procedure may have been installed over ours meanwhile; then
  // ours is left in the chain rather than cutting that one off.
  if (Target() == hooked_ && ::IsWindow(hooked_) &&
      ::GetWindowLongPtrW(hooked_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TFileDrop::WndProc)) {
    ::SetWindowLongPtrW(hooked_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    ::RemovePropW(hooked_, kInstanceProperty);
  }
  hooked_ = nullptr;
}

void TFileDrop::DoFileDrop(HDROP drop) {
  if (!OnFileDrop) return;
  POINT point{};
  ::DragQueryPoint(drop, &point);
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::wstring> files;
  files.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    // Each path at its full length, however long.
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
    files.push_back(std::move(path));
  }
  OnFileDrop(*this, static_cast<int>(count), files, point.x, point.y);
}

LRESULT CALLBACK TFileDrop::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<TFileDrop*>(::GetPropW(hwnd, kInstanceProperty));
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  const WNDPROC previous = self->previous_;
  if (msg == WM_DROPFILES) {
    const auto drop = reinterpret_cast<HDROP>(wp);
    try {
      self->DoFileDrop(drop);
    } catch (const std::exception& e) {
      HandleError(hwnd, e);
    }
    ::DragFinish(drop);
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    // The target is going away: forget it, as a destroyed Control is forgotten.
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    ::RemovePropW(hwnd, kInstanceProperty);
    self->hooked_ = nullptr;
    if (self->control_ == hwnd) {
      self->control_ = nullptr;
      self->accept_ = false;
    }
  }
  return ::CallWindowProcW(previous, hwnd, msg, wp, lp);
}

}  // namespace mirabo
