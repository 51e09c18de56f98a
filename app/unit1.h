#pragma once
// The main window: start-up, view dispatch, layout and folder navigation.
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/classify.h"
#include "app/command_map.h"
#include "app/folder_list.h"
#include "app/read_ahead.h"
#include "app/view_table.h"
#include "base/controls/controls.h"
#include "base/win/popup_menu.h"
#include "base/win/window.h"
#include "components/ie_printer_set.h"
#include "components/launch_popup.h"
#include "components/new_ctrls.h"
#include "components/tray_icon.h"
#include "plugins/remote_spi_host.h"
#include "plugins/spis.h"
#include "plugins/win_spi_host.h"
#include "settings/file_store.h"
#include "settings/rw_ini.h"
#include "settings/settings_host.h"
#include "text/sjisconv.h"
#include "text/text_view.h"
#include "viewers/img_edit.h"
#include "viewers/media_player.h"
#include "viewers/platform_controls.h"
#include "viewers/web_browser.h"

namespace mirabo {

// What the main window is given by the program's start (or by a test).
struct Form1Environment {
  Settings& settings;                   // the process-wide settings
  FileStore& files;                     // where the settings file is read and written
  std::filesystem::path iniPath;        // the executable's path with ".INI"
  std::string exeFolder;                // CP932, with its trailing "\"
  std::vector<std::wstring> arguments;  // the command line after the program name
};

// The placeholder of CurrentPath while no file is shown.
inline constexpr wchar_t kNoFile[] = L"XXXXXXXX.XXX";

class TForm1 : public win::Window<TForm1>, public ISettingsHost {
 public:
  static constexpr const wchar_t* kClassName = L"TForm1";
  static constexpr UINT_PTR kTimer1 = 1;
  // Fires once the queue is idle after a picture is shown: the next one is
  // then read ahead.
  static constexpr UINT_PTR kReadAheadTimer = 2;

  // tray: the notification area the tray icon talks to (tests pass a recorder).
  explicit TForm1(Form1Environment env, ITrayShell& tray = SystemTrayShell());
  ~TForm1();

  // Creates the (hidden) window and its controls; FormCreate runs before
  // this returns.
  void Create();

  // ---- Start-up and view dispatch
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormActivate();
  // The close handler; false keeps the window open.
  bool FormClose();
  void ClassifyFile(const std::wstring& path);
  void PrepareView();
  void ShowCurrentFile();
  static std::wstring ExpandLongPath(const std::wstring& path);
  void SetBrowserLayout(int kind);
  void ShowJpeg();
  void ShowPicture();
  void ShowDocumentImage();
  void ShowWebPage();
  void ShowMedia();
  void ShowText();

  // ---- Folder navigation
  void ToolButton17Click();  // back
  void ToolButton18Click();  // forward
  void PopupMenuListPopup();
  void PopupMenuListClick(int tag);
  // True when the key was consumed.
  bool EditKeyKeyDown(WORD key);
  bool RichEdit1KeyPress(wchar_t key);
  void FormMouseWheelUp();
  void FormMouseWheelDown();
  void FileDrop1FileDrop(TFileDrop& sender, int num, const std::vector<std::wstring>& files, int x, int y);

  // ---- Text view presentations
  void N6Click();         // the file's own text
  void mnuToSJISClick();  // converted to Shift-JIS line by line
  void mnuBinClick();     // the hexadecimal dump
  void Copy1Click();
  void ToolButton7Click();  // the file information sheet
  void ShowFileInfo();
  TAutoSjisConv AutoSjisConv1;

  // ---- Zoom, fit and drag
  void ToolButton1Click();   // zoom in
  void ToolButton2Click();   // zoom out
  void ToolButton30Click();  // fit toggle
  void ShowZoomLabel();
  void ApplyJpegScale();
  // How the view prepares a JPEG: upright and in the display's colours, as
  // the settings say; the display's profile looked up afresh.
  JpegViewing Viewing();
  // ---- Read-ahead: the neighbour in the direction of the last step,
  // decoded while the user looks at the picture shown.
  void ScheduleReadAhead();
  void StartReadAhead();
  PictureReadAhead::Key JpegReadAheadKey(const std::wstring& path);
  PictureReadAhead::Key PluginReadAheadKey(const std::wstring& path);
  PictureReadAhead& ReadAhead() { return readAhead_; }
  void FitPicture();
  void ShowNaturalSize();
  void StretchToWindow();
  void ImageJpgMouseDown(UINT button, int x, int y);
  void ImageJpgMouseMove(int x, int y);
  void ImageJpgMouseUp(UINT button, int x, int y);
  void ImgEdit1MouseDown(UINT button, int x, int y);
  void ImageJpgDblClick();
  bool DragScrolling() const { return dragScrolling_; }

  // ---- Window states, tray and slide show
  void mnuMaxClick();
  void mnuNomClick();
  void mnuMinClick();
  void mnuNormalClick();
  void ToolButton31Click();  // slide show
  void Timer1Timer();
  TTrayIcon& TrayIcon1() { return *trayIcon1_; }

  // The web page print settings take every activation (to fill in the
  // browser's print dialogs).
  void iePrinterSet1Activate(WPARAM wp, LPARAM lp) { iePrinterSet1.HandleActivate(wp, lp); }

  // ---- Rotation, rotate-and-save and save
  void ToolButton4Click();   // turn left on screen
  void ToolButton5Click();   // turn right on screen
  void ToolButton14Click();  // turn left and save
  void ToolButton15Click();  // turn right and save
  void ToolButton9Click();   // copy into the save folder
  void RotateLeft();
  void RotateRight();
  void RotateLeftAndSave(const std::wstring& path);
  void RotateRightAndSave(const std::wstring& path);
  // True while a turn is processing messages: the window's dispatch holds
  // other commands off.
  bool Busy() const { return busy_; }

  // ---- Rename bar and delete-and-advance
  void UpdateNamePreview();
  void EditFixChange();
  void ToolButton20Click();  // reset the counter
  void ToolButton19Click();  // rename and advance
  void ToolButton29Click();  // delete and advance

  // ---- Clipboard, mail, print, launch and help
  void ToolButton26Click();  // copy what is shown
  void ToolButton10Click();  // mail
  void ToolButton11Click();  // print
  void ToolButton32Click();  // open with the associated program
  void LaunchPopup1ItemClick();
  void ToolButton33Click();  // help
  TLaunchPopup& LaunchPopup1() { return *launchPopup1_; }
  HIMAGELIST ImageList2() const { return imageList2_; }
  TiePrinterSet iePrinterSet1;

  // ---- The settings dialog
  void ToolButton13Click();
  win::PictureBox& ImageMediaBack() { return imageMediaBack_; }
  // The program's folder (CP932, with its trailing "\").
  const std::string& ExeFolder() const override { return env_.exeFolder; }

  void mnuNKFClick() {}  // a hidden item without an action
  void mnuExitClick() { Close(); }
  void mnuEndClick() { Close(); }
  void Close() { ::PostMessageW(Handle(), WM_CLOSE, 0, 0); }

  // ---- Web and media views
  void CloseMedia();
  void UpdateMediaPosition();
  // Keys meant for the browser while it has the focus go to it before the
  // window's own handling; true when it took the message.
  bool PreTranslateMessage(MSG& msg);

  // ---- Document imaging view and page bar
  void ApplyDocumentZoom();
  void ToolButton21Click();  // previous page
  void ToolButton22Click();  // next page
  void ToolButton23Click();  // turn the page left
  void ToolButton25Click();  // turn the page right

  // ---- Settings
  // True when the settings file gave the window's size.
  bool LoadSettings();
  void SaveSettings();
  Settings& settings() override { return env_.settings; }
  const std::filesystem::path& iniPath() const { return env_.iniPath; }

  // ---- State named by the program's design
  ViewMode viewMode = ViewMode::Text;
  std::wstring CurrentPath;
  int CurrentIndex = 0;
  int ZoomLevel() const { return env_.settings.Zoom; }
  FolderList FileListBox1;
  std::wstring FileListBox1Mask = L"*.jpg;*.jpeg";
  std::wstring FileListBox1Folder;
  std::vector<std::string> ListBoxIE;  // the browser extension list
  // The decoder plug-in registry and its two events.
  TSPIs& SPIs1() override { return *spis1_; }
  // ---- What the settings dialog asks of the window
  HWND OwnerWindow() const override { return Handle(); }
  std::wstring TextFontName() const override;
  int TextFontSize() const override;
  void SetTextFont(const std::wstring& face, int pointSize) override;
  std::vector<std::string>& BrowserList() override { return ListBoxIE; }
  void LoadMediaBackground(const std::wstring& file) override;
  void RebuildLaunchMenu() override;
  ISpiHost& SpiHost() { return spiHost_; }
  void SPIs1Search(TSPIs& sender, TSPI& plugin, bool& accept);
  void SPIs1PictureRegister(TSPIs& sender, TSPI& plugin, const std::string& extension,
                            const std::string& description, const GraphicClass*& graphicClass);
  // The platform controls.
  TImgEdit ImgEdit1;
  TWebBrowser WebBrowser1;
  TMediaPlayer MediaPlayer1;

  // ---- Controls, for the window itself and for tests
  // Visible or enabled state of a named control, button or menu item as the
  // user sees it (a hidden menu item is left out when its menu opens).
  bool IsShown(std::string_view name);
  bool IsEnabled(std::string_view name);
  // Whether the view table's or command map's name is one of the window's.
  bool HasElement(std::string_view name) const;
  bool IsChecked(std::string_view name) const;
  HWND WindowOf(std::string_view name) const;
  std::wstring TextOf(std::string_view name) const;
  // The tooltip of a control of the window ("" when it has none).
  std::wstring HintOf(std::string_view name) const;
  win::ScrollBox& ScrollBox1() { return scrollBox_; }
  win::PictureBox& ImageJpg() { return imageJpg_; }
  ITextView& RichEdit1() { return *richEdit1_; }
  win::PopupMenu& PopupMenu(Surface surface);
  win::PopupMenu& PopupMenuList() { return popupMenuList_; }
  HIMAGELIST ImageList1() const { return imageList1_; }
  // Runs a command of the map by name, as its button or menu item does.
  void RunCommand(Cmd id);
  int TimerInterval() const { return timerInterval_; }

  // Called once the window is gone; the program's start posts WM_QUIT here.
  std::function<void()> OnDestroyed;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  struct Element {
    enum class Kind { Window, ToolButton, MenuItem } kind;
    HWND hwnd = nullptr;  // the window, or the toolbar holding the button
    int id = 0;
    Surface surface = Surface::ToolBar1;
  };

  void CreateControls();
  HWND CreateToolbar(Surface surface);
  void PlaceEmbedded(HWND toolbar);
  void AddHint(HWND control, const wchar_t* text);
  void Layout();
  // The one accessor of an element's state: read, and first set when value
  // is given.
  bool Property(std::string_view name, ViewProperty property, std::optional<bool> value = std::nullopt);
  void SetShown(std::string_view name, bool shown);
  void SetEnabled(std::string_view name, bool enabled);
  void SetCounter();
  void CommonTail();
  // Back and forward: index -1 does nothing.
  void StepTo(int index);
  void FocusEditKey();
  void RereadFolderList();
  void SetTimerInterval(int milliseconds);
  void ShowPopup(win::PopupMenu& menu, POINT screen);
  bool ToolbarShown(std::string_view name) const;
  void StoreWindowRect();
  void SyncWindowStateItems();
  bool HandleSysCommand(WPARAM command);
  void DragTo(int x, int y);
  void ProcessMessages();
  // Runs a start-up plug-in search; an unusable plug-in is reported once the
  // window is up.
  void StartPluginHosts();
  void ReportAtStart(const std::function<void()>& search);
  void TextPresentationFont();
  void SetProgress(int position, int maximum);
  // The rotation commands' shared steps.
  void HideForTurn();
  void ShowAfterFailedTurn();
  void TurnInView(bool left);
  void TurnAndSave(bool left);
  void TurnShownPicture(bool left);
  void SetPageLabel();
  void StepPage(int page);
  void TurnPage(bool left);
  void SaveTurned(const std::wstring& path, bool left);
  // Progress of a turn over rows: the bar and the window's messages.
  std::function<void(int row)> TurnProgress(int rows);
  void SetHint(HWND control, const std::wstring& text);
  // Marks the window busy for its lifetime; a close asked for meanwhile
  // comes once it ends.
  class BusyScope {
   public:
    explicit BusyScope(TForm1& form);
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope();

   private:
    TForm1& form_;
  };
  int Scaled(int pixels) const;
  // The window's sizes, pictures and fonts at another DPI.
  void ApplyDpi(int dpi);
  void ScaleToolbar(HWND toolbar);
  int SeparatorWidth(const Command& c) const;

  Form1Environment env_;
  std::map<std::string, Element, std::less<>> elements_;
  std::map<Surface, win::PopupMenu> menus_;
  win::PopupMenu popupMenuList_;
  HIMAGELIST imageList1_ = nullptr;
  HIMAGELIST imageList2_ = nullptr;  // the launch menu's icons
  std::unique_ptr<TLaunchPopup> launchPopup1_;
  void PrintPicture(IPrintDevice& device);
  HWND toolTip_ = nullptr;
  std::map<Surface, HWND> toolbars_;
  HWND toolBar4_ = nullptr;
  win::ScrollBox scrollBox_;
  win::PictureBox imageJpg_;
  win::PictureBox imagePrt_;
  win::PictureBox imageMediaBack_;
  std::unique_ptr<ITextView> richEdit1_;
  win::Panel panelCou_, panel1_, panelFName_, panel2_, panelStatus_, panelBin_, panelDrop_,
      panelMedia_, panelMPos_;
  std::unique_ptr<TFileDrop> fileDrop1_;
  ITrayShell& trayShell_;
  std::unique_ptr<TTrayIcon> trayIcon1_;
  // The 64-bit program runs plug-ins in helper processes; the 32-bit one
  // loads them itself.
#if defined(_WIN64)
  RemoteSpiHost spiHost_;
  static constexpr bool kPluginsInHelpers = true;
#else
  WinSpiHost spiHost_;
  static constexpr bool kPluginsInHelpers = false;
#endif
  unsigned pluginGeneration_ = 0;  // one more each time the plug-ins are searched again
  std::unique_ptr<TSPIs> spis1_;
  // Errors of the start-up plug-in searches, shown once the window is up.
  std::vector<std::string> startupErrors_;
  int trackSetTo_ = 0;  // where the media position bar was last put
  bool dragScrolling_ = false;
  POINT dragOrigin_{0, 0};
  bool shownOnce_ = false;
  bool busy_ = false;
  bool closeAsked_ = false;
  int timerInterval_ = 0;
  int dpi_ = 96;
  bool placed_ = false;  // the embedded controls have their hints
  ColourManager colours_;
  std::wstring displayProfile_;  // the file the display's profile was read from
  int viewTurns_ = 1;            // the on-screen turns of the JPEG shown, as an orientation
  int stepDirection_ = 1;        // of the last step: 1 on, -1 back
  // Last: it is stopped before anything its thread may use goes.
  PictureReadAhead readAhead_;
};

}  // namespace mirabo
