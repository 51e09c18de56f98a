// The settings command: the dialog opened modally, every value taken back
// and applied when it closes.
#include <windows.h>

#include "app/unit1.h"
#include "app/win/text.h"
#include "settings/unit2.h"

namespace mirabo {

void TForm1::ToolButton13Click() {
  // The slide show and the media position pause while the dialog is open.
  SetTimerInterval(0);
  if (viewMode == ViewMode::Media && !CurrentPath.empty()) CloseMedia();
  Settings& s = settings();
  {
    TForm2 dialog(*this);
    dialog.Create();
    dialog.ShowModal();
    if (!dialog.Closed()) return;  // the program is ending
    // The dialog checked every number box and text before it let itself be
    // closed; nothing below can fail half-way.
    const auto integer = [&dialog](const char* box) { return *ParseInteger(win::WideToCp932(dialog.TextOf(box))); };
    const auto text = [&dialog](const char* box) { return win::WideToCp932(dialog.TextOf(box)); };
    s.Comp = integer("Edit1");
    richEdit1_->SetFont(dialog.SampleFace(), dialog.SampleSize(), dpi_);
    s.FontName = win::WideToCp932(richEdit1_->FontName());
    s.FontSize = richEdit1_->FontSize();
    s.DblCK = dialog.Checked("CheckBox2") ? 1 : 0;
    s.Tray = dialog.Checked("CheckBox5") ? 1 : 0;
    s.RenBar = dialog.Checked("CheckBox6") ? 1 : 0;
    s.FitOver = dialog.Checked("CheckBox7") ? 1 : 0;
    s.Init = integer("Edit5");
    s.Time = integer("Edit6");
    s.Loop = dialog.Checked("CheckBox4") ? 1 : 0;
    s.SendTo = text("Edit10");
    s.SavePath = text("Edit2");
    s.SusiePath = text("Edit8");
    s.MediaBack = text("Edit9");
    s.MailPath = text("Edit3");
    s.BndOp = text("Edit4");
    ListBoxIE.clear();
    for (const std::wstring& ext : dialog.ListItems("ListBox1")) ListBoxIE.push_back(win::WideToCp932(ext));
    TLaunchPopup& launch = LaunchPopup1();
    launch.Clear();
    launch.Directory = win::Cp932ToWide(s.SendTo);
    launch.Rebuild();
  }
  PrepareView();
  SetTimerInterval(s.Time * 1000);
  ShowCurrentFile();
}

}  // namespace mirabo
