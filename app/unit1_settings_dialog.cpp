// The settings command: the dialog opened modally, every value taken back
// and applied when it closes; and what the dialog may ask of the window.
#include <windows.h>

#include "app/unit1.h"
#include "base/picture/picture.h"
#include "base/win/text.h"
#include "settings/unit2.h"

namespace mirabo {

void TForm1::ToolButton13Click() {
  // The slide show and the media position pause while the dialog is open.
  SetTimerInterval(0);
  if (viewMode == ViewMode::Media && !CurrentPath.empty()) CloseMedia();
  // The dialog may search the plug-ins again and change how pictures show:
  // what was read ahead goes, and no read-ahead runs while it is open.
  ::KillTimer(Handle(), kReadAheadTimer);
  readAhead_.Discard();
  ++pluginGeneration_;
  {
    TForm2 dialog(*this);
    dialog.Create();
    dialog.ShowModal();
    if (!dialog.Closed()) return;  // the program is ending
    dialog.Apply();
  }
  PrepareView();
  SetTimerInterval(settings().Time * 1000);
  ShowCurrentFile();
}

std::wstring TForm1::TextFontName() const { return richEdit1_->FontName(); }
int TForm1::TextFontSize() const { return richEdit1_->FontSize(); }
void TForm1::SetTextFont(const std::wstring& face, int pointSize) { richEdit1_->SetFont(face, pointSize, dpi_); }

void TForm1::LoadMediaBackground(const std::wstring& file) { imageMediaBack_.SetPicture(LoadPictureFile(file)); }

void TForm1::RebuildLaunchMenu() {
  TLaunchPopup& launch = LaunchPopup1();
  launch.Clear();
  launch.Directory = win::Cp932ToWide(settings().SendTo);
  launch.Rebuild();
}

}  // namespace mirabo
