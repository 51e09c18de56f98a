// The main window TForm1: its making (the controls themselves in
// unit1_controls.cpp, their names in unit1_elements.cpp), its settings at
// creation and close, and its message dispatch. The commands live in the
// other unit1_*.cpp files, one group each.
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

}  // namespace

TForm1::TForm1(Form1Environment env, ITrayShell& tray) : env_(std::move(env)), trayShell_(tray) {}

TForm1::~TForm1() {
  readAhead_.Discard();
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
  ::SendMessageW(toolbars_[Surface::ToolBar1], TB_CHECKBUTTON, static_cast<WPARAM>(CommandId(Cmd::ToolButton30)), s.FitWin != 0);
  ::SendMessageW(toolbars_[Surface::ToolBar1], TB_CHECKBUTTON, static_cast<WPARAM>(CommandId(Cmd::ToolButton31)), s.ViewSlide != 0);
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
      if (wp == kReadAheadTimer) StartReadAhead();
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
      ::KillTimer(Handle(), kReadAheadTimer);
      readAhead_.Discard();
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
