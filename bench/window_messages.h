#pragma once
// The window's waiting messages handled, as the message loop does between
// the user's commands (not part of any command's time).
#include <windows.h>

namespace mirabo::bench {

inline void HandleMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace mirabo::bench
