// The main window's controls made from the command map (toolbars, their
// embedded controls, the menus) and the rest of its children, their layout,
// and all of it again at another DPI.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include "app/glyphs.h"
#include "app/unit1.h"
#include "base/win/dpi.h"
#include "base/win/text.h"

namespace mirabo {
namespace {

constexpr int kToolbarHeight = 27, kStatusHeight = 20, kDumpHeaderHeight = 20, kDropStripHeight = 25;
constexpr Surface kToolbarSurfaces[] = {Surface::ToolBar1, Surface::ToolBar2, Surface::ToolBar3, Surface::ToolBar5};

}  // namespace

HWND TForm1::CreateToolbar(Surface surface) {
  HWND toolbar = ::CreateWindowExW(
      0, TOOLBARCLASSNAMEW, nullptr,
      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
          CCS_NODIVIDER | CCS_NOPARENTALIGN,
      0, 0, 0, 0, Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  ::SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imageList1_));
  ::SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(Scaled(16) + Scaled(7), Scaled(16) + Scaled(6)));
  for (const Command& c : CommandMap()) {
    if (c.surface != surface) continue;
    TBBUTTON b{};
    b.idCommand = CommandId(c.id);
    b.fsState = static_cast<BYTE>(TBSTATE_ENABLED | (c.visible ? 0 : TBSTATE_HIDDEN));
    switch (c.kind) {
      case CommandKind::Button:
      case CommandKind::Toggle:
        b.iBitmap = c.picture;
        b.fsStyle = c.kind == CommandKind::Toggle ? BTNS_CHECK : BTNS_BUTTON;
        break;
      case CommandKind::Separator:
      case CommandKind::Embedded:
        b.iBitmap = SeparatorWidth(c);
        b.fsStyle = BTNS_SEP;
        break;
      case CommandKind::MenuItem:
        continue;
    }
    ::SendMessageW(toolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
    if (c.kind != CommandKind::Embedded)
      elements_[std::string(c.name)] = {Element::Kind::ToolButton, toolbar, b.idCommand, surface};
  }
  return toolbar;
}

int TForm1::SeparatorWidth(const Command& c) const {
  // An embedded control's place is a separator as wide as the control.
  return c.kind == CommandKind::Embedded ? Scaled(c.width) + Scaled(2) : Scaled(8);
}

void TForm1::ScaleToolbar(HWND toolbar) {
  ::SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imageList1_));
  // Buttons as large as their pictures and the system's margins around them.
  ::SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(Scaled(16) + Scaled(7), Scaled(16) + Scaled(6)));
  for (const Command& c : CommandMap()) {
    if (toolbars_[c.surface] != toolbar || (c.kind != CommandKind::Separator && c.kind != CommandKind::Embedded))
      continue;
    TBBUTTONINFOW info{sizeof info, TBIF_IMAGE};
    info.iImage = SeparatorWidth(c);
    ::SendMessageW(toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(CommandId(c.id)), reinterpret_cast<LPARAM>(&info));
  }
  ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

void TForm1::ApplyDpi(int dpi) {
  if (dpi == dpi_ || dpi <= 0) return;
  const HFONT oldFont = win::InterfaceFont(dpi_);
  dpi_ = dpi;
  win::ReplaceFont(Handle(), oldFont, win::InterfaceFont(dpi_));
  ::SendMessageW(toolTip_, WM_SETFONT, reinterpret_cast<WPARAM>(win::InterfaceFont(dpi_)), FALSE);
  // Pictures drawn again at the new size, not stretched.
  const HIMAGELIST oldList = imageList1_;
  imageList1_ = win::CreateCommandImageList(Scaled(16));
  for (const Surface s : kToolbarSurfaces) ScaleToolbar(toolbars_[s]);
  if (oldList) ImageList_Destroy(oldList);
  ImageList_SetIconSize(imageList2_, Scaled(16), Scaled(16));
  if (!launchPopup1_->Directory.empty()) launchPopup1_->Rebuild();
  for (const Surface s : kToolbarSurfaces) PlaceEmbedded(toolbars_[s]);
  scrollBox_.ResizeChild(panelBin_.Handle(), 10, Scaled(kDumpHeaderHeight));
  scrollBox_.ResizeChild(panelDrop_.Handle(), 10, Scaled(kDropStripHeight));
  richEdit1_->SetFont(richEdit1_->FontName(), richEdit1_->FontSize(), dpi_);
  Layout();
}

void TForm1::PlaceEmbedded(HWND toolbar) {
  for (const Command& c : CommandMap()) {
    if (c.kind != CommandKind::Embedded || toolbars_[c.surface] != toolbar) continue;
    const HWND control = WindowOf(c.name);
    if (!control) continue;
    RECT r{};
    const auto index = ::SendMessageW(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(CommandId(c.id)), 0);
    ::SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    const int height = c.name == "EditKey" ? Scaled(20) : Scaled(22);
    ::MoveWindow(control, r.left + Scaled(1), (Scaled(kToolbarHeight) - height) / 2, Scaled(c.width),
                 height, TRUE);
    if (c.text && !placed_) AddHint(control, c.text);
  }
}

void TForm1::AddHint(HWND control, const wchar_t* text) {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = const_cast<wchar_t*>(text);
  ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm1::SetHint(HWND control, const std::wstring& text) {
  // The tool is made again with the new text (the tool copies it); asking
  // for the old one first would have it copied into our buffer.
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ::SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  AddHint(control, text.c_str());
}

std::wstring TForm1::HintOf(std::string_view name) const {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(WindowOf(name));
  wchar_t text[1024] = L"";
  ti.lpszText = text;
  if (!ti.uId || !::SendMessageW(toolTip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) return {};
  ti.lpszText = text;
  ::SendMessageW(toolTip_, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&ti));
  return text;
}

void TForm1::CreateControls() {
  const HWND self = Handle();
  ::SendMessageW(self, WM_SETFONT, reinterpret_cast<WPARAM>(win::InterfaceFont(dpi_)), FALSE);
  imageList1_ = win::CreateCommandImageList(Scaled(16));
  imageList2_ = ImageList_Create(Scaled(16), Scaled(16), ILC_COLOR32 | ILC_MASK, 0, 8);
  launchPopup1_ = std::make_unique<TLaunchPopup>(self);
  launchPopup1_->Mask = L"*.lnk";
  launchPopup1_->SearchDirectory = true;
  launchPopup1_->Images = imageList2_;
  launchPopup1_->OnItemClick = [this](TLaunchPopup&) { LaunchPopup1ItemClick(); };
  toolTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, self,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);

  static const char* const kToolbarNames[] = {"ToolBar1", "ToolBar2", "ToolBar3", "ToolBar5"};
  for (size_t i = 0; i < std::size(kToolbarSurfaces); ++i) {
    toolbars_[kToolbarSurfaces[i]] = CreateToolbar(kToolbarSurfaces[i]);
    elements_[kToolbarNames[i]] = {Element::Kind::Window, toolbars_[kToolbarSurfaces[i]]};
  }
  const HWND tb1 = toolbars_[Surface::ToolBar1], tb2 = toolbars_[Surface::ToolBar2],
             tb3 = toolbars_[Surface::ToolBar3], tb5 = toolbars_[Surface::ToolBar5];
  ::SetWindowLongPtrW(tb5, GWL_EXSTYLE, ::GetWindowLongPtrW(tb5, GWL_EXSTYLE) | WS_EX_WINDOWEDGE);

  // The main toolbar's own controls.
  const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
  panelCou_.Create(tb1, L"0/0", {highlight, ::GetSysColor(COLOR_CAPTIONTEXT), true});
  panelCou_.OnContextMenu = [this](POINT p) {
    PopupMenuListPopup();
    const int chosen = popupMenuList_.Track(Handle(), p, nullptr);
    if (chosen > 0) PopupMenuListClick(chosen - 1);
  };
  panel1_.Create(tb1, L"100%", {highlight, ::GetSysColor(COLOR_HIGHLIGHTTEXT), true});
  const HWND editKey = win::CreateChild(L"EDIT", L"", WS_VISIBLE | ES_AUTOHSCROLL, tb1);
  elements_["PanelCou"] = {Element::Kind::Window, panelCou_.Handle()};
  elements_["Panel1"] = {Element::Kind::Window, panel1_.Handle()};
  elements_["EditKey"] = {Element::Kind::Window, editKey};
  auto keyConsumed = std::make_shared<bool>(false);
  win::FilterMessages(editKey, [this, keyConsumed](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == WM_KEYDOWN) {
      *keyConsumed = EditKeyKeyDown(static_cast<WORD>(wp));
      result = 0;
      return *keyConsumed;
    }
    if (msg == WM_CHAR && *keyConsumed) {
      *keyConsumed = false;
      result = 0;
      return true;
    }
    if (msg == WM_MOUSEWHEEL) {
      result = ::SendMessageW(Handle(), msg, wp, 0);
      return true;
    }
    return false;
  });

  // The rotate-save and rename bar, and the page bar.
  panelFName_.Create(tb2, L"", {});
  panel2_.Create(tb3, L"", {highlight, ::GetSysColor(COLOR_WINDOW), true});
  elements_["PanelFName"] = {Element::Kind::Window, panelFName_.Handle()};
  elements_["Panel2"] = {Element::Kind::Window, panel2_.Handle()};

  // The rename bar.
  struct Embedded {
    Cmd id;
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
  };
  const Embedded renameBar[] = {
      {Cmd::Label4, L"STATIC", L"題名固定部", SS_CENTERIMAGE | SS_RIGHT},
      {Cmd::EditFix, L"EDIT", L"無題", ES_AUTOHSCROLL | WS_BORDER},
      {Cmd::CheckBoxDate, L"BUTTON", L"日付", BS_AUTOCHECKBOX},
      {Cmd::Label2, L"STATIC", L"桁", SS_CENTERIMAGE | SS_RIGHT},
      {Cmd::EditDegit, L"EDIT", L"3", ES_AUTOHSCROLL | WS_BORDER},
      {Cmd::Label3, L"STATIC", L"No", SS_CENTERIMAGE | SS_RIGHT},
      {Cmd::EditCou, L"EDIT", L"0", ES_AUTOHSCROLL | WS_BORDER},
  };
  // The boxes carry their command's id, so their change notices reach the
  // handler of the map.
  for (const Embedded& e : renameBar)
    elements_[std::string(CommandName(e.id))] = {
        Element::Kind::Window, win::CreateChild(e.cls, e.text, WS_VISIBLE | e.style, tb5, CommandId(e.id))};
  ::SendMessageW(WindowOf("CheckBoxDate"), BM_SETCHECK, BST_CHECKED, 0);
  const auto upDown = [&](const char* name, const char* buddy, int low, int high, int pos) {
    // Without thousands separators: "1,000" in the counter box would not
    // read back as a number.
    const HWND ud = win::CreateChild(UPDOWN_CLASSW, L"", WS_VISIBLE | UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_NOTHOUSANDS, tb5);
    ::SendMessageW(ud, UDM_SETBUDDY, reinterpret_cast<WPARAM>(WindowOf(buddy)), 0);
    ::SendMessageW(ud, UDM_SETRANGE32, static_cast<WPARAM>(low), high);
    ::SendMessageW(ud, UDM_SETPOS32, 0, pos);
    elements_[name] = {Element::Kind::Window, ud};
  };
  upDown("UpDown1", "EditDegit", 1, 4, 3);
  upDown("UpDown2", "EditCou", 0, 9999, 0);

  // The media bar: the player's buttons, the position bar and label.
  toolBar4_ = win::CreateChild(TOOLBARCLASSNAMEW, nullptr,
                               WS_VISIBLE | WS_CLIPCHILDREN | TBSTYLE_FLAT | CCS_NORESIZE |
                                   CCS_NODIVIDER | CCS_NOPARENTALIGN,
                               self);
  elements_["ToolBar4"] = {Element::Kind::Window, toolBar4_};
  const HWND trackBar = win::CreateChild(TRACKBAR_CLASSW, L"", WS_VISIBLE | TBS_HORZ | TBS_BOTTOM, toolBar4_);
  elements_["TrackBarMedia"] = {Element::Kind::Window, trackBar};
  panelMPos_.Create(toolBar4_, L"", {});
  elements_["PanelM_Pos"] = {Element::Kind::Window, panelMPos_.Handle()};

  // The status strip.
  panelStatus_.Create(self, L"", {::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNTEXT), false, false, true});
  elements_["PanelStatus"] = {Element::Kind::Window, panelStatus_.Handle()};
  elements_["Label1"] = {Element::Kind::Window,
                         win::CreateChild(L"STATIC", L"Path:", WS_VISIBLE | SS_CENTERIMAGE, panelStatus_.Handle())};
  elements_["LabelPath"] = {Element::Kind::Window,
                            win::CreateChild(L"STATIC", L"", WS_VISIBLE | SS_CENTERIMAGE | SS_NOPREFIX | SS_PATHELLIPSIS,
                                             panelStatus_.Handle())};
  const HWND progress = win::CreateChild(PROGRESS_CLASSW, L"", WS_VISIBLE, panelStatus_.Handle());
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  elements_["ProgressBar1"] = {Element::Kind::Window, progress};

  // The scroll box and the viewers lying in it.
  scrollBox_.Create(self);
  elements_["ScrollBox1"] = {Element::Kind::Window, scrollBox_.Handle()};
  AddHint(scrollBox_.Handle(), L"ダブルクリックで指定動作");
  scrollBox_.OnDblClick = [this] { ImageJpgDblClick(); };
  const HWND box = scrollBox_.Handle();
  panelBin_.Create(box, L"ADDRESS    0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F   0123456789ABCDEF",
                   {::GetSysColor(COLOR_BTNSHADOW), RGB(0, 0, 0), false, false, true});
  ::ShowWindow(panelBin_.Handle(), SW_HIDE);
  ::SetWindowPos(panelBin_.Handle(), nullptr, 0, 0, 10, Scaled(kDumpHeaderHeight), SWP_NOZORDER);
  panelDrop_.Create(box, L"ここにＤｒｏｐしてください", {});
  ::SetWindowPos(panelDrop_.Handle(), nullptr, 0, 0, 10, Scaled(kDropStripHeight), SWP_NOZORDER);
  imageJpg_.Create(box);
  AddHint(imageJpg_.Handle(), L"ダブルクリックで指定動作");
  imageJpg_.OnDblClick = [this] { ImageJpgDblClick(); };
  imageJpg_.OnMouseDown = [this](UINT b, int x, int y) { ImageJpgMouseDown(b, x, y); };
  imageJpg_.OnMouseMove = [this](int x, int y) { ImageJpgMouseMove(x, y); };
  imageJpg_.OnMouseUp = [this](UINT b, int x, int y) { ImageJpgMouseUp(b, x, y); };
  imagePrt_.Create(box);
  ::ShowWindow(imagePrt_.Handle(), SW_HIDE);
  richEdit1_ = std::make_unique<TTextControl>(box);
  win::FilterMessages(richEdit1_->Handle(), [this](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == WM_CHAR && RichEdit1KeyPress(static_cast<wchar_t>(wp))) {
      result = 0;
      return true;
    }
    return false;
  });
  ImgEdit1.Create(box);
  elements_["ImgEdit1"] = {Element::Kind::Window, ImgEdit1.Handle()};
  // The document control takes the navigation keys and Esc like the key box.
  win::FilterMessages(WindowOf("ImgEdit1"), [this](HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    switch (msg) {
      case WM_KEYDOWN: return EditKeyKeyDown(static_cast<WORD>(wp));
      case WM_CHAR: return RichEdit1KeyPress(static_cast<wchar_t>(wp));
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN: ImgEdit1MouseDown(msg, GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return true;
      case WM_MOUSEMOVE: ImageJpgMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return true;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP: ImageJpgMouseUp(msg, GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return true;
      case WM_LBUTTONDBLCLK: ImageJpgDblClick(); return true;
      default: return false;
    }
  });
  WebBrowser1.Create(box);
  WebBrowser1.OnLaunch = [this] {
    if (!busy_) ToolButton32Click();
  };
  elements_["WebBrowser1"] = {Element::Kind::Window, WebBrowser1.Handle()};
  panelMedia_.Create(box, L"", {RGB(0, 0, 0), RGB(255, 255, 255), false, true, false});
  imageMediaBack_.Create(panelMedia_.Handle());
  // The background picture fills the panel, centred, its bitmap's corner
  // colour transparent over the panel's black.
  imageMediaBack_.autoSize = false;
  imageMediaBack_.centre = true;
  imageMediaBack_.transparent = true;
  imageMediaBack_.background = RGB(0, 0, 0);
  panelMedia_.OnSize = [this](int width, int height) {
    ::MoveWindow(imageMediaBack_.Handle(), 0, 0, width, height, TRUE);
  };
  MediaPlayer1.Create(toolBar4_, panelMedia_.Handle());
  elements_["MediaPlayer1"] = {Element::Kind::Window, MediaPlayer1.Handle()};
  elements_["ImageJpg"] = {Element::Kind::Window, imageJpg_.Handle()};
  elements_["ImagePrt"] = {Element::Kind::Window, imagePrt_.Handle()};
  elements_["RichEdit1"] = {Element::Kind::Window, richEdit1_->Handle()};
  elements_["PanelBin"] = {Element::Kind::Window, panelBin_.Handle()};
  elements_["PanelDrop"] = {Element::Kind::Window, panelDrop_.Handle()};
  elements_["PanelMedia"] = {Element::Kind::Window, panelMedia_.Handle()};
  elements_["ImageMediaBack"] = {Element::Kind::Window, imageMediaBack_.Handle()};
  scrollBox_.AddChild(panelBin_.Handle(), win::ScrollBox::Align::Top);
  scrollBox_.AddChild(panelDrop_.Handle(), win::ScrollBox::Align::Top);
  scrollBox_.AddChild(imageJpg_.Handle(), win::ScrollBox::Align::None);
  scrollBox_.AddChild(imagePrt_.Handle(), win::ScrollBox::Align::None);
  scrollBox_.AddChild(richEdit1_->Handle(), win::ScrollBox::Align::Client);
  scrollBox_.AddChild(WindowOf("ImgEdit1"), win::ScrollBox::Align::None);
  scrollBox_.AddChild(WindowOf("WebBrowser1"), win::ScrollBox::Align::None);
  scrollBox_.AddChild(panelMedia_.Handle(), win::ScrollBox::Align::Client);

  // The menus, from the map.
  for (const Command& c : CommandMap()) {
    if (c.surface < Surface::PopupMenu1) continue;
    win::MenuItem item;
    item.id = c.kind == CommandKind::Separator ? 0 : CommandId(c.id);
    item.caption = c.text ? c.text : L"";
    item.picture = c.picture;
    item.visible = c.visible;
    menus_[c.surface].items.push_back(item);
    elements_[std::string(c.name)] = {Element::Kind::MenuItem, nullptr, CommandId(c.id), c.surface};
  }

  for (const Surface s : kToolbarSurfaces) PlaceEmbedded(toolbars_[s]);
  placed_ = true;
  // The bars below the scroll box start hidden; each view mode shows its own.
  for (const char* bar : {"ToolBar2", "ToolBar3", "ToolBar4", "ToolBar5"}) SetShown(bar, false);
  SetShown("PanelDrop", false);
  Layout();
}

void TForm1::Layout() {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const int width = client.right, bar = Scaled(kToolbarHeight);
  ::MoveWindow(toolbars_[Surface::ToolBar1], 0, 0, width, bar, TRUE);
  int bottom = client.bottom - Scaled(kStatusHeight);
  ::MoveWindow(panelStatus_.Handle(), 0, bottom, width, Scaled(kStatusHeight), TRUE);
  const int statusInner = Scaled(kStatusHeight) - Scaled(4);
  ::MoveWindow(WindowOf("Label1"), Scaled(4), Scaled(2), Scaled(32), statusInner, TRUE);
  ::MoveWindow(WindowOf("LabelPath"), Scaled(40), Scaled(2), std::max(0, width - Scaled(40 + 110)), statusInner, TRUE);
  ::MoveWindow(WindowOf("ProgressBar1"), width - Scaled(106), Scaled(3), Scaled(102), statusInner - Scaled(2), TRUE);
  // From the bottom up: the rotate-save bar, the page bar, the media bar, the rename bar.
  for (const char* name : {"ToolBar2", "ToolBar3", "ToolBar4", "ToolBar5"}) {
    if (!IsShown(name)) continue;
    bottom -= bar;
    ::MoveWindow(WindowOf(name), 0, bottom, width, bar, TRUE);
  }
  if (toolBar4_) {
    const int row = bar - Scaled(4);
    ::MoveWindow(MediaPlayer1.Handle(), Scaled(2), Scaled(2), MediaPlayer1.RowWidth(row), row, TRUE);
    ::MoveWindow(WindowOf("TrackBarMedia"), Scaled(200), Scaled(2), Scaled(200), bar - Scaled(4), TRUE);
    ::MoveWindow(panelMPos_.Handle(), Scaled(404), Scaled(3), Scaled(120), bar - Scaled(6), TRUE);
  }
  ::MoveWindow(scrollBox_.Handle(), 0, bar, width, std::max(0, bottom - bar), TRUE);
}

}  // namespace mirabo
