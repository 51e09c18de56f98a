#pragma once
// The base of every window class: the object is bound to its HWND at
// WM_NCCREATE and each message goes to Derived::HandleMessage. An error that
// escapes a handler goes to the application's default error handler instead
// of unwinding through the system's frames, and the user can go on.
#include <windows.h>

#include <exception>

#include "base/win/error_handler.h"

namespace mirabo::win {

template <class Derived>
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return hwnd_; }

 protected:
  ~Window() {
    if (hwnd_) ::DestroyWindow(hwnd_);
  }

  static void RegisterClassOnce(const wchar_t* className, UINT style, HICON icon, HBRUSH background) {
    WNDCLASSEXW wc{};
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), className, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &Window::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    ::RegisterClassExW(&wc);
  }

  HWND CreateFor(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x,
                 int y, int width, int height, HWND parent) {
    return ::CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, nullptr,
                             ::GetModuleHandleW(nullptr), static_cast<Derived*>(this));
  }

  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(hwnd_, msg, wp, lp); }

  // WM_PAINT and WM_PRINTCLIENT drawn the same way, by paint(dc, area): the
  // part the system asks for, or the whole client area for a print. True
  // when msg was one of them.
  template <typename Paint>
  bool HandlePaint(UINT msg, WPARAM wp, Paint paint) {
    if (msg == WM_PAINT) {
      PAINTSTRUCT ps;
      const HDC dc = ::BeginPaint(hwnd_, &ps);
      paint(dc, ps.rcPaint);
      ::EndPaint(hwnd_, &ps);
      return true;
    }
    if (msg == WM_PRINTCLIENT) {
      RECT client{};
      ::GetClientRect(hwnd_, &client);
      paint(reinterpret_cast<HDC>(wp), client);
      return true;
    }
    return false;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Derived* self;
    if (msg == WM_NCCREATE) {
      self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      self->hwnd_ = hwnd;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    try {
      result = self->HandleMessage(msg, wp, lp);
    } catch (const std::exception& e) {
      HandleError(hwnd, e);
    }
    if (msg == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace mirabo::win
