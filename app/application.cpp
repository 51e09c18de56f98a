#include "app/application.h"

#include <commctrl.h>
#include <ole2.h>

namespace mirabo {

void TApplication::Initialize() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  // The browser control lives in place in the window: a single-threaded
  // apartment with OLE's clipboard and drag-and-drop.
  ::OleInitialize(nullptr);
}

int TApplication::Run(const std::function<bool(MSG&)>& preTranslate) {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (preTranslate && preTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace mirabo
