#include "app/unit1.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/application.h"
#include "app/glyphs.h"
#include "app/view_table.h"
#include "base/errors.h"
#include "base/win/dpi.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "plugins/spi_abi.h"
#include "plugins/spi_bitmap.h"

namespace mirabo {
namespace {

// The program's icon resource; test programs have none.
HICON ProgramIcon() {
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  return icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

constexpr int kToolbarHeight = 27, kStatusHeight = 20, kDumpHeaderHeight = 20, kDropStripHeight = 25;
constexpr Surface kToolbarSurfaces[] = {Surface::ToolBar1, Surface::ToolBar2, Surface::ToolBar3, Surface::ToolBar5};

}  // namespace

TForm1::TForm1(Form1Environment env, ITrayShell& tray) : env_(std::move(env)), trayShell_(tray) {}

TForm1::~TForm1() {
  fileDrop1_.reset();
  trayIcon1_.reset();
  spis1_.reset();
  if (Handle()) ::DestroyWindow(Handle());
  if (imageList1_) ImageList_Destroy(imageList1_);
  if (imageList2_) ImageList_Destroy(imageList2_);
}

int TForm1::Scaled(int pixels) const { return win::Scaled(pixels, dpi_); }

void TForm1::Create() {
  spis1_ = std::make_unique<TSPIs>(spiHost_);
  spis1_->Mask = win::WideToUtf8(spi::kSearchMask);
  spis1_->OnSearch = [this](TSPIs& s, TSPI& p, bool& accept) { SPIs1Search(s, p, accept); };
  spis1_->OnPictureRegister = [this](TSPIs& s, TSPI& p, const std::string& ext, const std::string& desc,
                                     const GraphicClass*& cls) { SPIs1PictureRegister(s, p, ext, desc, cls); };
  DefaultGraphicClass = &TSPIBitmapClass;
  spis1_->RegisterFormat = [](const std::string& ext, const std::string& description, const GraphicClass*) {
    RegisterPictureFormat(win::Cp932ToWide(ext), win::Cp932ToWide(description), &LoadSpiBitmap);
  };
  StartPluginHosts();
  RegisterClassOnce(kClassName, CS_DBLCLKS, ProgramIcon(), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  if (!CreateFor(0, kClassName, TApplication::Title(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr))
    throw std::runtime_error("the main window could not be created (error " +
                             std::to_string(::GetLastError()) + ")");
  dpi_ = win::DpiOf(Handle());
  CreateControls();
  fileDrop1_ = std::make_unique<TFileDrop>(Handle());
  fileDrop1_->OnFileDrop = [this](TFileDrop& sender, int num, const std::vector<std::wstring>& files,
                                  int x, int y) {
    if (!busy_) FileDrop1FileDrop(sender, num, files, x, y);
  };
  fileDrop1_->Loaded();
  trayIcon1_ = std::make_unique<TTrayIcon>(Handle(), trayShell_);
  trayIcon1_->SetIcon(ProgramIcon());
  trayIcon1_->RBPopupMenu = &menus_[Surface::PopupMenu3];
  trayIcon1_->OnDblClick = [this](TTrayIcon&) {
    if (!busy_) mnuNormalClick();
  };
  trayIcon1_->OnPopup = [this](win::PopupMenu& menu, POINT p) { ShowPopup(menu, p); };
  trayIcon1_->Loaded();
  ReportAtStart([this] { spis1_->Loaded(); });
  FormCreate();
}

// ---- Building the window from the command map

HWND TForm1::CreateToolbar(Surface surface) {
  HWND toolbar = ::CreateWindowExW(
      0, TOOLBARCLASSNAMEW, nullptr,
      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
          CCS_NODIVIDER | CCS_NOPARENTALIGN,
      0, 0, 0, 0, Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  ::SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imageList1_));
  ::SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(Scaled(16) + Scaled(7), Scaled(16) + Scaled(6)));
  const auto map = CommandMap();
  for (size_t i = 0; i < map.size(); ++i) {
    const Command& c = map[i];
    if (c.surface != surface) continue;
    TBBUTTON b{};
    b.idCommand = CommandId(i);
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
  const auto map = CommandMap();
  for (size_t i = 0; i < map.size(); ++i) {
    const Command& c = map[i];
    if (toolbars_[c.surface] != toolbar || (c.kind != CommandKind::Separator && c.kind != CommandKind::Embedded))
      continue;
    TBBUTTONINFOW info{sizeof info, TBIF_IMAGE};
    info.iImage = SeparatorWidth(c);
    ::SendMessageW(toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(CommandId(i)), reinterpret_cast<LPARAM>(&info));
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
  const auto map = CommandMap();
  for (size_t i = 0; i < map.size(); ++i) {
    const Command& c = map[i];
    if (c.kind != CommandKind::Embedded || toolbars_[c.surface] != toolbar) continue;
    const HWND control = WindowOf(c.name);
    if (!control) continue;
    RECT r{};
    const auto index = ::SendMessageW(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(CommandId(i)), 0);
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
    const char* name;
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
  };
  const Embedded renameBar[] = {
      {"Label4", L"STATIC", L"題名固定部", SS_CENTERIMAGE | SS_RIGHT},
      {"EditFix", L"EDIT", L"無題", ES_AUTOHSCROLL | WS_BORDER},
      {"CheckBoxDate", L"BUTTON", L"日付", BS_AUTOCHECKBOX},
      {"Label2", L"STATIC", L"桁", SS_CENTERIMAGE | SS_RIGHT},
      {"EditDegit", L"EDIT", L"3", ES_AUTOHSCROLL | WS_BORDER},
      {"Label3", L"STATIC", L"No", SS_CENTERIMAGE | SS_RIGHT},
      {"EditCou", L"EDIT", L"0", ES_AUTOHSCROLL | WS_BORDER},
  };
  // The boxes carry their command's id, so their change notices reach the
  // handler of the map.
  for (const Embedded& e : renameBar)
    elements_[e.name] = {Element::Kind::Window,
                         win::CreateChild(e.cls, e.text, WS_VISIBLE | e.style, tb5, CommandIdOf(e.name))};
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
  const auto map = CommandMap();
  for (size_t i = 0; i < map.size(); ++i) {
    const Command& c = map[i];
    if (c.surface < Surface::PopupMenu1) continue;
    win::MenuItem item;
    item.id = c.kind == CommandKind::Separator ? 0 : CommandId(i);
    item.caption = c.text ? c.text : L"";
    item.picture = c.picture;
    item.visible = c.visible;
    menus_[c.surface].items.push_back(item);
    elements_[std::string(c.name)] = {Element::Kind::MenuItem, nullptr, CommandId(i), c.surface};
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

// ---- Element access

HWND TForm1::WindowOf(std::string_view name) const {
  const auto it = elements_.find(name);
  return it != elements_.end() && it->second.kind == Element::Kind::Window ? it->second.hwnd : nullptr;
}

std::wstring TForm1::TextOf(std::string_view name) const {
  if (name == "PanelCou") return panelCou_.Caption();
  if (name == "Panel1") return panel1_.Caption();
  if (name == "Panel2") return panel2_.Caption();
  if (name == "PanelFName") return panelFName_.Caption();
  if (name == "PanelM_Pos") return panelMPos_.Caption();
  const HWND hwnd = WindowOf(name);
  if (!hwnd) return {};
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

win::PopupMenu& TForm1::PopupMenu(Surface surface) { return menus_[surface]; }

const win::MenuItem* TForm1::MenuItemOf(const Element& e) const {
  const auto menu = menus_.find(e.surface);
  return menu == menus_.end() ? nullptr : menu->second.Find(e.id);
}

bool TForm1::IsShown(std::string_view name) const {
  const auto it = elements_.find(name);
  if (it == elements_.end()) return false;
  const Element& e = it->second;
  switch (e.kind) {
    case Element::Kind::Window:
      return (::GetWindowLongW(e.hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    case Element::Kind::ToolButton:
      return !::SendMessageW(e.hwnd, TB_ISBUTTONHIDDEN, static_cast<WPARAM>(e.id), 0);
    case Element::Kind::MenuItem: {
      const win::MenuItem* item = MenuItemOf(e);
      return item && item->visible;
    }
  }
  return false;
}

bool TForm1::IsEnabled(std::string_view name) const {
  const auto it = elements_.find(name);
  if (it == elements_.end()) return false;
  const Element& e = it->second;
  switch (e.kind) {
    case Element::Kind::Window:
      return ::IsWindowEnabled(e.hwnd) != FALSE;
    case Element::Kind::ToolButton:
      return ::SendMessageW(e.hwnd, TB_ISBUTTONENABLED, static_cast<WPARAM>(e.id), 0) != 0;
    case Element::Kind::MenuItem: {
      const win::MenuItem* item = MenuItemOf(e);
      return item && item->enabled;
    }
  }
  return false;
}

bool TForm1::IsChecked(std::string_view name) const {
  const auto it = elements_.find(name);
  if (it == elements_.end() || it->second.kind != Element::Kind::ToolButton) return false;
  return ::SendMessageW(it->second.hwnd, TB_ISBUTTONCHECKED, static_cast<WPARAM>(it->second.id), 0) != 0;
}

void TForm1::SetShown(std::string_view name, bool shown) {
  const auto it = elements_.find(name);
  if (it == elements_.end()) return;
  Element& e = it->second;
  switch (e.kind) {
    case Element::Kind::Window:
      ::ShowWindow(e.hwnd, shown ? SW_SHOWNA : SW_HIDE);
      break;
    case Element::Kind::ToolButton:
      ::SendMessageW(e.hwnd, TB_HIDEBUTTON, static_cast<WPARAM>(e.id), !shown);
      break;
    case Element::Kind::MenuItem:
      if (auto* item = menus_[e.surface].Find(e.id)) item->visible = shown;
      break;
  }
}

void TForm1::SetEnabled(std::string_view name, bool enabled) {
  const auto it = elements_.find(name);
  if (it == elements_.end()) return;
  Element& e = it->second;
  switch (e.kind) {
    case Element::Kind::Window:
      ::EnableWindow(e.hwnd, enabled);
      break;
    case Element::Kind::ToolButton:
      ::SendMessageW(e.hwnd, TB_ENABLEBUTTON, static_cast<WPARAM>(e.id), enabled);
      break;
    case Element::Kind::MenuItem:
      if (auto* item = menus_[e.surface].Find(e.id)) item->enabled = enabled;
      break;
  }
}

void TForm1::RunCommand(std::string_view name) {
  const Command* c = CommandById(CommandIdOf(name));
  if (c && c->handler && !busy_) (this->*(c->handler))();
}

void TForm1::ShowPopup(win::PopupMenu& menu, POINT screen) {
  if (!menu.autoPopup || busy_) return;
  const Command* c = CommandById(menu.Track(Handle(), screen, imageList1_));
  if (c && c->handler) (this->*(c->handler))();
}

// ---- Creation, settings and closing

void TForm1::FormCreate() {
  iePrinterSet1.SetWebBrowser(&WebBrowser1);
  // The component's design values in the main window.
  iePrinterSet1.mTop = iePrinterSet1.mLeft = iePrinterSet1.mRight = iePrinterSet1.mBottom = L"0.750000";
  iePrinterSet1.paperSize = L"A4";
  iePrinterSet1.Copies = 1;
  iePrinterSet1.Portrait = TIePortrait::Vertical;
  iePrinterSet1.header = L"&w&b&p/&P ページ";
  iePrinterSet1.Footer = L"&u&b&d";
  iePrinterSet1.FrameStyle = TiePrintFrameStyle::displayed;
  iePrinterSet1.Enabled = false;
  const bool sizeStored = LoadSettings();
  Settings& s = settings();
  // A size from the settings file is the user's, in pixels; the size of a
  // first start is in 96-DPI pixels like every other size the program states.
  ::SetWindowPos(Handle(), nullptr, s.Left, s.Top, sizeStored ? s.Width : Scaled(s.Width),
                 sizeStored ? s.Height : Scaled(s.Height), SWP_NOZORDER | SWP_NOACTIVATE);
  richEdit1_->SetFont(win::Cp932ToWide(s.FontName), s.FontSize, dpi_);
  if (s.Zoom >= 0 && s.Zoom <= 3) panel1_.SetCaption(ZoomLabel(s.Zoom));
  ::SendMessageW(toolbars_[Surface::ToolBar1], TB_CHECKBUTTON, static_cast<WPARAM>(CommandIdOf("ToolButton30")), s.FitWin != 0);
  ::SendMessageW(toolbars_[Surface::ToolBar1], TB_CHECKBUTTON, static_cast<WPARAM>(CommandIdOf("ToolButton31")), s.ViewSlide != 0);
  SetTimerInterval(s.Time * 1000);
  CurrentPath = kNoFile;
  ::SetWindowTextW(WindowOf("EditFix"), win::Cp932ToWide(s.Fix).c_str());
  ::SendMessageW(WindowOf("CheckBoxDate"), BM_SETCHECK, s.Date ? BST_CHECKED : BST_UNCHECKED, 0);
  ::SendMessageW(WindowOf("UpDown1"), UDM_SETPOS32, 0, s.Degit);
  ::SendMessageW(WindowOf("UpDown2"), UDM_SETPOS32, 0, s.Count);
  ClassifyFile(CurrentPath);
  const bool normal = !::IsZoomed(Handle()) && !::IsIconic(Handle());
  SetEnabled("mnuMax", normal);
  SetEnabled("mnuNom", !normal);
  UpdateNamePreview();
  // The setting's folder is joined to the mask as it stands (it is meant to
  // end in "\").
  if (!s.SusiePath.empty())
    ReportAtStart([&] { spis1_->Search(win::WideToUtf8(win::Cp932ToWide(s.SusiePath)) + spis1_->Mask); });
  const std::wstring sendTo = win::Cp932ToWide(s.SendTo);
  if (!sendTo.empty() && win::IsFolder(sendTo)) {
    launchPopup1_->Directory = sendTo;
    launchPopup1_->Rebuild();
  }
  if (!s.MediaBack.empty()) {
    const std::wstring back = win::Cp932ToWide(s.MediaBack);
    if (win::IsExistingFile(back)) {
      try {
        imageMediaBack_.SetPicture(LoadPictureFile(back));
      } catch (const std::exception& e) {
        HandleError(Handle(), e);
      }
    }
  }
}

void TForm1::StartPluginHosts() {
#ifdef _WIN64
  // The plug-in hosts start, and load the plug-ins the start-up searches
  // will find, while the window is being made: starting a process is the
  // dearest part of a search through hosts.
  std::vector<std::string> paths;
  if (spis1_->AutoSearch) paths = spis1_->Candidates(spis1_->Mask);
  try {
    Settings early;
    std::vector<std::string> browsers;
    LoadSettingsFile(env_.files, env_.iniPath, env_.exeFolder, early, browsers);
    if (!early.SusiePath.empty()) {
      const auto more = spis1_->Candidates(win::WideToUtf8(win::Cp932ToWide(early.SusiePath)) + spis1_->Mask);
      paths.insert(paths.end(), more.begin(), more.end());
    }
  } catch (const std::exception&) {
    // The settings are read again in a moment, and their errors shown then.
  }
  spiHost_.Prestart(paths);
#endif
}

void TForm1::ReportAtStart(const std::function<void()>& search) {
  try {
    search();
  } catch (const ESPIInvalidAPI& e) {
    startupErrors_.emplace_back(e.what());
  }
}

void TForm1::SPIs1Search(TSPIs&, TSPI& plugin, bool& accept) { accept = plugin.Is<TInSPI>(); }

void TForm1::SPIs1PictureRegister(TSPIs&, TSPI&, const std::string& extension, const std::string&,
                                  const GraphicClass*& graphicClass) {
  if (ViewerRefusesPattern(extension)) graphicClass = nullptr;
}

bool TForm1::LoadSettings() {
  std::vector<const SettingRow*> defaulted;
  LoadSettingsFile(env_.files, env_.iniPath, env_.exeFolder, env_.settings, ListBoxIE, &defaulted);
  return std::none_of(defaulted.begin(), defaulted.end(), [](const SettingRow* row) {
    return row->section == "Pos" && (row->key == "Width" || row->key == "Height");
  });
}

void TForm1::SaveSettings() { SaveSettingsFile(env_.files, env_.iniPath, env_.settings, ListBoxIE); }

void TForm1::StoreWindowRect() {
  // A maximised or minimised window keeps the rectangle of its normal state.
  if (::IsZoomed(Handle()) || ::IsIconic(Handle())) return;
  RECT r{};
  ::GetWindowRect(Handle(), &r);
  Settings& s = settings();
  s.Top = r.top;
  s.Left = r.left;
  s.Width = r.right - r.left;
  s.Height = r.bottom - r.top;
}

bool TForm1::FormClose() {
  CloseMedia();
  StoreWindowRect();
  Settings& s = settings();
  s.Fix = win::WideToCp932(TextOf("EditFix"));
  s.Date = ::SendMessageW(WindowOf("CheckBoxDate"), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  // A box that does not hold an integer stops the close before anything is saved.
  const auto integerOf = [this](const char* box) {
    const std::wstring text = TextOf(box);
    const auto value = ParseInteger(win::WideToCp932(text));
    if (!value) throw EConvertError(FormatMessageText("'%s' は整数ではありません", win::WideToUtf8(text)));
    return *value;
  };
  s.Degit = integerOf("EditDegit");
  s.Count = integerOf("EditCou");
  s.FontName = win::WideToCp932(richEdit1_->FontName());
  s.FontSize = richEdit1_->FontSize();
  // A settings file that cannot be written (a read-only folder or share)
  // would otherwise keep the window open for good: trying again changes
  // nothing. The user hears once what is lost, and the window closes.
  try {
    SaveSettings();
  } catch (const EIniFileException& e) {
    HandleError(Handle(), EIniFileException(std::string(e.what()) + "\n\r" + "起動してから変更した設定は保存されません。"));
  }
  return true;
}

void TForm1::SetTimerInterval(int milliseconds) {
  // Setting the interval the timer already has must not restart its period,
  // or a slide show would never advance while files are shown.
  if (milliseconds == timerInterval_) return;
  timerInterval_ = milliseconds;
  if (milliseconds > 0) ::SetTimer(Handle(), kTimer1, static_cast<UINT>(milliseconds), nullptr);
  else ::KillTimer(Handle(), kTimer1);
}

void TForm1::FocusEditKey() {
  if (::IsWindowVisible(Handle())) ::SetFocus(WindowOf("EditKey"));
}

void TForm1::FormActivate() { FocusEditKey(); }

// ---- Messages

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Layout();
      if (wp != SIZE_MINIMIZED) FormResize();
      return 0;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI (or the user changed it): every
      // size again at the new DPI, in the rectangle the system suggests.
      ApplyDpi(LOWORD(wp));
      const RECT& r = *reinterpret_cast<const RECT*>(lp);
      ::SetWindowPos(Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SHOWWINDOW:
      if (wp && !shownOnce_) {
        shownOnce_ = true;
        ::PostMessageW(Handle(), WM_APP, 0, 0);  // after the window is on screen
      }
      return DefaultProc(msg, wp, lp);
    case WM_APP: {
      FormShow();
      // A plug-in that could not be used during start-up is reported now that
      // the window is up; the plug-ins found before it stay.
      const std::vector<std::string> errors = std::move(startupErrors_);
      startupErrors_.clear();
      for (const std::string& message : errors) HandleError(Handle(), EMirabo(message));
      return 0;
    }
    case WM_ACTIVATE:
      iePrinterSet1Activate(wp, lp);
      if (LOWORD(wp) != WA_INACTIVE) FormActivate();
      return 0;
    case WM_SYSCOMMAND:
      // Minimising to the tray or restoring shows the file again, which
      // must wait for a turn in progress.
      if (busy_ && (wp & 0xFFF0) != SC_MOVE && (wp & 0xFFF0) != SC_SIZE) return 0;
      if (HandleSysCommand(wp)) return 0;
      return DefaultProc(msg, wp, lp);
    case WM_COMMAND: {
      const Command* c = CommandById(LOWORD(wp));
      if (!c || !c->handler || !lp) return 0;
      if (c->kind == CommandKind::Embedded) {
        // A box's text changed or the check box was clicked; previews may
        // follow the user's typing even during a turn.
        if (HIWORD(wp) == EN_CHANGE || HIWORD(wp) == BN_CLICKED) (this->*(c->handler))();
        return 0;
      }
      if (!busy_) (this->*(c->handler))();
      return 0;
    }
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
        if (const Command* c = CommandById(static_cast<int>(hdr->idFrom)); c && c->text)
          info->lpszText = const_cast<wchar_t*>(c->text);
        return 0;
      }
      if (hdr->code == NM_CLICK &&
          (hdr->hwndFrom == toolbars_[Surface::ToolBar2] || hdr->hwndFrom == toolbars_[Surface::ToolBar3]) &&
          reinterpret_cast<const NMMOUSE*>(lp)->dwItemSpec == static_cast<DWORD_PTR>(-1)) {
        FormShow();  // a click on the bare bar
        return 0;
      }
      return DefaultProc(msg, wp, lp);
    }
    case WM_CONTEXTMENU: {
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const HWND from = reinterpret_cast<HWND>(wp);
      const HWND mainBar = toolbars_[Surface::ToolBar1];
      if (from == mainBar || ::GetParent(from) == mainBar) {
        if (!busy_) launchPopup1_->Popup(p);
        return 0;
      }
      if (from == richEdit1_->Handle()) ShowPopup(menus_[Surface::PopupMenu1], p);
      else if (from == scrollBox_.Handle() || from == imageJpg_.Handle() || from == WindowOf("ImgEdit1"))
        ShowPopup(menus_[Surface::PopupMenu2], p);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (GET_WHEEL_DELTA_WPARAM(wp) > 0) FormMouseWheelUp();
      else FormMouseWheelDown();
      return DefaultProc(msg, wp, lp);
    case WM_TIMER:
      if (wp == kTimer1 && !busy_) Timer1Timer();
      return 0;
    case WM_CLOSE:
      if (busy_) {
        closeAsked_ = true;  // closed once the turn is done
        return 0;
      }
      // An error in the close handler (a rename bar box that is not a
      // number) keeps the window open for the user to mend it.
      try {
        if (FormClose()) ::DestroyWindow(Handle());
      } catch (const std::exception& e) {
        HandleError(Handle(), e);
      }
      return 0;
    case WM_DESTROY:
      ::KillTimer(Handle(), kTimer1);
      if (OnDestroyed) OnDestroyed();
      return 0;
    default:
      if (msg == TTrayIcon::TaskbarCreatedMessage()) {
        TTrayIcon::RestoreAll();
        return 0;
      }
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
