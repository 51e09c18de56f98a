// The document imaging view: the zoom applied to the document control and
// the page bar.
#include "app/unit1.h"

namespace mirabo {

void TForm1::SetPageLabel() {
  panel2_.SetCaption(std::to_wstring(ImgEdit1.Page()) + L"/" + std::to_wstring(ImgEdit1.PageCount()));
}

void TForm1::ApplyDocumentZoom() {
  static constexpr float kPercent[] = {100, 50, 25, 12.5f};
  const int level = settings().Zoom;
  if (level >= 0 && level <= 3) {
    ImgEdit1.SetZoom(kPercent[level]);
    // Integer division toward zero: the sizes are never negative.
    scrollBox_.ResizeChild(WindowOf("ImgEdit1"), ImgEdit1.ImageWidth() >> level, ImgEdit1.ImageHeight() >> level);
  }
  ShowZoomLabel();
}

void TForm1::StepPage(int page) {
  scrollBox_.SetHorzPosition(0);
  scrollBox_.SetVertPosition(0);
  ImgEdit1.SetPage(page);
  SetPageLabel();
  ImgEdit1.ShowPage();
  ApplyDocumentZoom();
  ImgEdit1.ShowPage();
}

void TForm1::ToolButton21Click() {
  if (ImgEdit1.Page() > 1) StepPage(ImgEdit1.Page() - 1);
  FocusEditKey();
}

void TForm1::ToolButton22Click() {
  if (ImgEdit1.Page() < ImgEdit1.PageCount()) StepPage(ImgEdit1.Page() + 1);
  FocusEditKey();
}

void TForm1::TurnPage(bool left) {
  scrollBox_.SetHorzPosition(0);
  scrollBox_.SetVertPosition(0);
  if (left) ImgEdit1.TurnLeft(900);
  else ImgEdit1.TurnRight(900);
  const HWND control = WindowOf("ImgEdit1");
  RECT r{};
  ::GetWindowRect(control, &r);
  scrollBox_.ResizeChild(control, r.bottom - r.top, r.right - r.left);
  FocusEditKey();
}

void TForm1::ToolButton23Click() { TurnPage(true); }
void TForm1::ToolButton25Click() { TurnPage(false); }

}  // namespace mirabo
