// Window states, minimising into the tray, and the slide show.
#include <windows.h>

#include "app/unit1.h"
#include "app/zoom_fit.h"

namespace mirabo {

void TForm1::SyncWindowStateItems() {
  const bool maximised = ::IsZoomed(Handle()) != FALSE;
  SetEnabled("mnuMax", !maximised);
  SetEnabled("mnuNom", maximised);
}

void TForm1::mnuMaxClick() {
  ::ShowWindow(Handle(), SW_MAXIMIZE);
  SetEnabled("mnuMax", false);
  SetEnabled("mnuNom", true);
  SetEnabled("mnuMin", true);
}

void TForm1::mnuNomClick() {
  ::ShowWindow(Handle(), SW_RESTORE);
  SetEnabled("mnuMax", true);
  SetEnabled("mnuNom", false);
  SetEnabled("mnuMin", true);
}

void TForm1::mnuMinClick() {
  // Through the system command, so minimising into the tray applies.
  ::SendMessageW(Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  SetEnabled("mnuMax", true);
  SetEnabled("mnuNom", true);
  SetEnabled("mnuMin", false);
}

bool TForm1::HandleSysCommand(WPARAM command) {
  if (settings().Tray == 0) return false;
  if ((command & 0xFFF0) == SC_MINIMIZE) {
    trayIcon1_->SetVisible(true);
    ::ShowWindow(Handle(), SW_MINIMIZE);
    ::ShowWindow(Handle(), SW_HIDE);
    return true;
  }
  trayIcon1_->SetVisible(false);
  ::ShowWindow(Handle(), SW_SHOW);
  return false;
}

void TForm1::mnuNormalClick() {
  trayIcon1_->SetVisible(false);
  ::ShowWindow(Handle(), SW_SHOW);
  ::ShowWindow(Handle(), SW_RESTORE);
  ::UpdateWindow(Handle());
  ShowCurrentFile();
}

void TForm1::ToolButton31Click() { settings().ViewSlide = IsChecked("ToolButton31") ? 1 : 0; }

void TForm1::Timer1Timer() {
  if (viewMode == ViewMode::Media) {
    UpdateMediaPosition();
    return;
  }
  switch (NextSlide(settings().ViewSlide != 0, FileListBox1.Count(), CurrentIndex, settings().Loop != 0)) {
    case SlideStep::Stay:
      return;
    case SlideStep::WrapToFirst:
      CurrentIndex = -1;
      [[fallthrough]];
    case SlideStep::Forward:
      ToolButton18Click();
      return;
  }
}

}  // namespace mirabo
