// The commands that hand the file on: the clipboard per view mode, the mail
// program, the associated program, the launch menu, the help page (each
// reaching a small program of ours that records how it was started), the
// launch menu built from a real folder tree, printing onto a recording
// device, and the web page print settings filling a dialog of our own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "base/print_fit.h"
#include "base/win/paths.h"
#include "base/win/printing.h"
#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/print_recorder.h"
#include "tests/base/picture/jpeg_fixtures.h"
#include "text/text_view.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::TempDir;
using testing::WriteBytes;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::filesystem::path TestData(const wchar_t* name) {
  return std::filesystem::path(win::FolderWithSlash(win::ExecutablePath())) / L"testdata" / name;
}

// ---- The clipboard

std::wstring ClipboardText(HWND owner, bool& present) {
  present = false;
  std::wstring text;
  if (!::OpenClipboard(owner)) return text;
  if (const HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
    present = true;
    text = static_cast<const wchar_t*>(::GlobalLock(h));
    ::GlobalUnlock(h);
  }
  ::CloseClipboard();
  return text;
}

BITMAPINFOHEADER ClipboardDibHeader(HWND owner) {
  BITMAPINFOHEADER header{};
  if (!::OpenClipboard(owner)) return header;
  if (const HANDLE h = ::GetClipboardData(CF_DIB)) {
    std::memcpy(&header, ::GlobalLock(h), sizeof header);
    ::GlobalUnlock(h);
  }
  ::CloseClipboard();
  return header;
}

TEST(Form1Commands, CopyPutsWhatIsShownOnTheClipboard) {
  MainWindow w;
  const HWND owner = w->Handle();
  bool present = false;
  WriteBytes(w.dir() / L"notes.txt", "first\r\nsecond");
  w.Open((w.dir() / L"notes.txt").wstring());
  auto& text = dynamic_cast<TTextControl&>(w->RichEdit1());
  text.SelectAll();
  w.Click("ToolButton26");
  EXPECT_EQ(ClipboardText(owner, present), L"first\r\nsecond");
  EXPECT_FALSE(w->RichEdit1().SelectedText().empty()) << "the selection stays";
  text.SetSelStart({0, 0});
  w.Click("ToolButton26");
  EXPECT_EQ(ClipboardText(owner, present), L"");
  EXPECT_TRUE(present) << "no selection: an empty text";
  w.Click("Copy1");
  ClipboardText(owner, present);
  EXPECT_FALSE(present) << "選択部コピー with nothing selected empties the clipboard";

  const auto jpeg = w.dir() / L"photo.jpg";
  WriteBytes(jpeg, Bytes(testing::MakeJpeg(testing::JpegKind::Rgb, 64, 48)));
  w->settings().Zoom = 2;
  w.Open(jpeg.wstring());
  w.Click("ToolButton26");
  BITMAPINFOHEADER header = ClipboardDibHeader(owner);
  EXPECT_EQ(header.biWidth, 16) << "the bitmap as shown at 25 %";
  EXPECT_EQ(header.biHeight, 12);
  w->settings().Zoom = 0;
  w.Open(jpeg.wstring());
  w.Click("ToolButton4");
  w.Click("ToolButton26");
  header = ClipboardDibHeader(owner);
  EXPECT_EQ(header.biWidth, 48) << "the turned picture";
  EXPECT_EQ(header.biHeight, 64);

  WriteBytes(w.dir() / L"page.tif", testing::SmallTiff());
  w.Open((w.dir() / L"page.tif").wstring());
  w.Click("ToolButton26");
  header = ClipboardDibHeader(owner);
  EXPECT_EQ(header.biWidth, 40);
  EXPECT_EQ(header.biHeight, 30);
  EXPECT_EQ(header.biBitCount, 1);
}

// ---- Programs started through the shell

// How record_start.exe was started: its command line, working folder and
// show state, once it has written them.
struct Started {
  std::wstring commandLine, folder;
  int show = -1;
};

class StartRecorder {
 public:
  StartRecorder() : file_(dir_ / L"started.txt") { ::SetEnvironmentVariableW(L"MIRABO_RECORD", file_.c_str()); }
  ~StartRecorder() { ::SetEnvironmentVariableW(L"MIRABO_RECORD", nullptr); }
  // Waits for the program's record (the shell starts it on its own).
  bool Wait(Started& out, int milliseconds = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
      testing::PumpMessages();
      const std::string bytes = testing::ReadBytes(file_);
      if (bytes != "<missing>" && !bytes.empty()) {
        std::wstring all(bytes.size() / 2, L'\0');
        std::memcpy(all.data(), bytes.data(), all.size() * 2);
        const size_t a = all.find(L'\n'), b = all.find(L'\n', a + 1);
        if (a != std::wstring::npos && b != std::wstring::npos) {
          out.commandLine = all.substr(0, a);
          out.folder = all.substr(a + 1, b - a - 1);
          out.show = std::stoi(all.substr(b + 1));
          std::filesystem::remove(file_);
          return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  TempDir dir_;
  std::filesystem::path file_;
};

// An extension opened with record_start.exe for this test's life (the
// class the extension had is given back afterwards).
class ScopedAssociation {
 public:
  explicit ScopedAssociation(const std::wstring& extension) : extension_(extension) {
    wchar_t previous[256] = L"";
    DWORD bytes = sizeof previous;
    hadClass_ = ::RegGetValueW(HKEY_CLASSES_ROOT, extension_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, previous,
                               &bytes) == ERROR_SUCCESS;
    previous_ = previous;
    const std::wstring command = L"\"" + TestData(L"record_start.exe").wstring() + L"\" \"%1\"";
    Set(extension_, L"MiraboTest.Recorded");
    Set(L"MiraboTest.Recorded\\shell\\open\\command", command);
  }
  ~ScopedAssociation() {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"MiraboTest.Recorded");
    if (hadClass_) Set(extension_, previous_);
    else ::RegDeleteTreeW(HKEY_CLASSES_ROOT, extension_.c_str());
  }

 private:
  static void Set(const std::wstring& key, const std::wstring& value) {
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  std::wstring extension_, previous_;
  bool hadClass_ = false;
};

std::wstring WithoutSlash(std::wstring folder) {
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

TEST(Form1Commands, MailLaunchSendToAndHelpStartTheirPrograms) {
  const std::wstring recorder = TestData(L"record_start.exe").wstring();
  ASSERT_TRUE(win::IsExistingFile(recorder));
  StartRecorder record;
  Started started;
  MainWindow w({}, "", win::WideToCp932(win::FolderWithSlash(win::ExecutablePath())));
  // A name outside the ANSI code page reaches the mail program intact.
  const auto picture = w.dir() / L"ёжик a.jpg";
  WriteBytes(picture, Bytes(testing::MakeJpeg(testing::JpegKind::Rgb, 16, 16)));
  w.Open(picture.wstring());

  w->settings().MailPath = win::WideToCp932(recorder);
  w->settings().BndOp = "-a";
  w.Click("ToolButton10");
  ASSERT_TRUE(record.Wait(started)) << "mail";
  EXPECT_EQ(started.commandLine, recorder + L" -a \"" + picture.wstring() + L"\"");
  EXPECT_EQ(started.show, SW_SHOWNOACTIVATE);
  w->settings().MailPath.clear();
  w.Click("ToolButton10");  // no mail program: nothing starts
  EXPECT_FALSE(record.Wait(started, 1500));

  {
    ScopedAssociation association(L".mirabotest");
    const auto document = w.dir() / L"doc.mirabotest";
    WriteBytes(document, "x");
    w->CurrentPath = document.wstring();
    w.Click("ToolButton32");
    ASSERT_TRUE(record.Wait(started)) << "launch";
    EXPECT_NE(started.commandLine.find(document.wstring()), std::wstring::npos) << started.commandLine;
    EXPECT_EQ(WithoutSlash(started.folder), WithoutSlash(w.dir().path().wstring()));
    EXPECT_EQ(started.show, SW_SHOW);
  }

  // A real shortcut, made through the shell's link object.
  const auto sendTo = w.dir() / L"SendTo";
  std::filesystem::create_directory(sendTo);
  IShellLinkW* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(&link))));
  link->SetPath(recorder.c_str());
  IPersistFile* file = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  ASSERT_TRUE(SUCCEEDED(file->Save((sendTo / L"Recorder.lnk").c_str(), TRUE)));
  file->Release();
  link->Release();
  w->CurrentPath = picture.wstring();
  w->LaunchPopup1().Clear();
  w->LaunchPopup1().Directory = sendTo.wstring();
  w->LaunchPopup1().Rebuild();
  ASSERT_EQ(w->LaunchPopup1().Items().size(), 1u);
  w->LaunchPopup1().Click(1000);
  EXPECT_EQ(w->LaunchPopup1().SelectedFile(), (sendTo / L"Recorder.lnk").wstring());
  ASSERT_TRUE(record.Wait(started)) << "send to";
  EXPECT_NE(started.commandLine.find(L"\"" + picture.wstring() + L"\""), std::wstring::npos) << started.commandLine;
  EXPECT_EQ(WithoutSlash(started.folder), WithoutSlash(win::FolderWithSlash(recorder)));
  EXPECT_EQ(started.show, SW_SHOWNORMAL);

  {
    ScopedAssociation association(L".htm");
    w->CurrentPath.clear();  // help needs no file
    w.Click("ToolButton33");
    ASSERT_TRUE(record.Wait(started)) << "help";
    EXPECT_NE(started.commandLine.find(L"help.htm"), std::wstring::npos) << started.commandLine;
    EXPECT_EQ(WithoutSlash(started.folder), WithoutSlash(win::FolderWithSlash(win::ExecutablePath()) + L"mirabo_help"));
    EXPECT_EQ(started.show, SW_SHOWNORMAL);
  }
}

// ---- The launch menu from a real folder tree

std::vector<std::wstring> MenuStrings(HMENU menu) {
  std::vector<std::wstring> strings;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = L"";
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    strings.push_back(text);
  }
  return strings;
}

TEST(Form1Commands, TheLaunchMenuListsAFolderTree) {
  MainWindow w;
  const auto root = w.dir() / L"SendTo";
  std::filesystem::create_directories(root / L"Tools");
  std::filesystem::create_directories(root / L"Empty");
  std::filesystem::create_directories(root / L"Hidden");
  for (const wchar_t* name : {L"b.lnk", L"A.lnk", L"readme.txt", L"My.Tool.lnk", L"h.lnk", L"Tools\\x.lnk"})
    WriteBytes(root / name, "");
  ::SetFileAttributesW((root / L"h.lnk").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::SetFileAttributesW((root / L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  TLaunchPopup& popup = w->LaunchPopup1();
  popup.Clear();
  popup.Directory = root.wstring() + L"\\";
  const int icons = ImageList_GetImageCount(w->ImageList2());
  popup.Rebuild();
  HMENU menu = popup.BuildMenu();
  EXPECT_EQ(MenuStrings(menu), (std::vector<std::wstring>{L"Empty", L"Hidden", L"Tools", L"A", L"b", L"My.Tool"}));
  EXPECT_EQ(::GetSubMenu(menu, 0), nullptr) << "an empty folder has no submenu";
  ASSERT_NE(::GetSubMenu(menu, 2), nullptr);
  EXPECT_EQ(MenuStrings(::GetSubMenu(menu, 2)), std::vector<std::wstring>{L"x"});
  // Tags in the order of creation, depth first.
  EXPECT_EQ(::GetMenuItemID(::GetSubMenu(menu, 2), 0), 1000u);
  EXPECT_EQ(::GetMenuItemID(menu, 3), 1001u);
  EXPECT_EQ(::GetMenuItemID(menu, 5), 1003u);
  ::DestroyMenu(menu);
  EXPECT_EQ(ImageList_GetImageCount(w->ImageList2()), icons + 4) << "one icon for each file item";
  popup.Click(1002);
  EXPECT_EQ(popup.SelectedFile(), (root / L"b.lnk").wstring());

  popup.Clear();
  popup.SearchDirectory = false;
  popup.Rebuild();
  menu = popup.BuildMenu();
  EXPECT_EQ(MenuStrings(menu), (std::vector<std::wstring>{L"A", L"b", L"My.Tool"}));
  ::DestroyMenu(menu);
  popup.Clear();
  popup.Directory = (root / L"missing").wstring();
  popup.Rebuild();
  EXPECT_TRUE(popup.Items().empty());
}

// ---- Printing

class PrintDialogAnswer {
 public:
  PrintDialogAnswer(bool confirm, std::wstring printer = L"")
      : previous_(SetPrintDialog([this, confirm, printer](HWND) -> std::optional<PrintChoice> {
          ++shown;
          if (!confirm) return std::nullopt;
          PrintChoice choice;
          choice.printer = choice.driver = printer;
          choice.port = L"LPT1:";
          choice.startJob = [this](const std::wstring&) -> std::unique_ptr<IPrintDevice> {
            return std::make_unique<testing::MetafilePrinter>(&ended, &aborted);
          };
          return choice;
        })) {}
  ~PrintDialogAnswer() { SetPrintDialog(previous_); }
  int shown = 0;
  bool ended = false, aborted = false;

 private:
  PrintDialog previous_;
};

TEST(Form1Commands, PrintingTextAndPicturesOntoTheDevice) {
  MainWindow w;
  const HDC screen = ::GetDC(nullptr);
  const int pageW = ::GetDeviceCaps(screen, HORZRES), pageH = ::GetDeviceCaps(screen, VERTRES);
  ::ReleaseDC(nullptr, screen);

  // Text: every line in order, pages broken at the printable area's bottom.
  std::string text;
  std::vector<std::wstring> expected;
  for (int i = 0; i < 300; ++i) {
    const std::wstring line = L"行 " + std::to_wstring(i) + (i % 7 == 0 ? L"" : L" テキスト");
    expected.push_back(line);
    text += win::WideToCp932(line) + "\r\n";
  }
  WriteBytes(w.dir() / L"long.txt", text);
  w.Open((w.dir() / L"long.txt").wstring());
  std::vector<std::wstring> printed;
  size_t pages = 0;
  {
    testing::MetafilePrinter device;
    std::vector<std::wstring> lines;
    for (uint64_t i = 0; i < w->RichEdit1().LineCount(); ++i) lines.push_back(w->RichEdit1().LineText(i));
    PrintTextLines(device, lines, w->RichEdit1().FontName(), w->RichEdit1().FontSize());
    pages = device.pages.size();
    for (HENHMETAFILE page : device.pages)
      for (const std::wstring& t : testing::TextsOf(page)) printed.push_back(t);
  }
  EXPECT_EQ(printed, expected);
  EXPECT_GT(pages, 1u) << "300 lines do not fit one screen-sized page";
  {
    PrintDialogAnswer answer(true);
    w.Click("ToolButton11");
    EXPECT_EQ(answer.shown, 1);
    EXPECT_TRUE(answer.ended);
  }
  {
    PrintDialogAnswer cancel(false);
    w.Click("ToolButton11");
    EXPECT_EQ(cancel.shown, 1);
    EXPECT_FALSE(cancel.ended) << "a cancelled dialog prints nothing";
  }

  // A picture: the file at full size (whatever the zoom), fitted to the page.
  const auto jpeg = w.dir() / L"photo.jpg";
  WriteBytes(jpeg, Bytes(testing::MakeJpeg(testing::JpegKind::Rgb, 100, 50)));
  w->settings().Zoom = 2;
  w.Open(jpeg.wstring());
  {
    testing::MetafilePrinter device;
    const Picture& shown = w->ImageJpg().picture();
    EXPECT_EQ(shown.Width(), 25);
    const Picture full = LoadJpegFileForPrint(jpeg.wstring());
    PrintBitmap(device, full.Handle(), full.Width(), full.Height());
    ASSERT_EQ(device.pages.size(), 1u);
    const auto records = testing::RecordsOf(device.pages[0], EMR_STRETCHDIBITS);
    ASSERT_EQ(records.size(), 1u);
    const auto* draw = reinterpret_cast<const EMRSTRETCHDIBITS*>(records[0].data());
    const PrintFit fit = FitToPage(100, 50, pageW, pageH);
    EXPECT_EQ(draw->xDest, 0);
    EXPECT_EQ(draw->yDest, 0);
    EXPECT_EQ(draw->cxDest, fit.width);
    EXPECT_EQ(draw->cyDest, fit.height);
    EXPECT_EQ(draw->cxSrc, 100) << "full size, not the zoom's";
  }
  {
    PrintDialogAnswer answer(true);
    w.Click("ToolButton11");
    EXPECT_TRUE(answer.ended);
    EXPECT_FALSE(answer.aborted);
  }

  // A picture that cannot be loaded: the job ends (dropped) before the error.
  WriteBytes(w.dir() / L"bad.bmp", "BMnot a bitmap");
  ErrorRecorder errors;
  w->CurrentPath = (w.dir() / L"bad.bmp").wstring();
  w->viewMode = ViewMode::Picture;
  {
    PrintDialogAnswer answer(true);
    w.Click("ToolButton11");
    EXPECT_TRUE(answer.aborted);
    EXPECT_TRUE(answer.ended);
    ASSERT_EQ(errors.messages.size(), 1u);
  }

  // A document: the names the dialog chose reach the document control.
  errors.messages.clear();
  WriteBytes(w.dir() / L"page.tif", testing::SmallTiff());
  w.Open((w.dir() / L"page.tif").wstring());
  {
    PrintDialogAnswer answer(true, L"Nowhere Printer");
    w.Click("ToolButton11");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "プリンタ Nowhere Printer に印刷できません");
  }
}

// ---- The web page print settings

// A browser whose dialogs are a window of ours carrying the platform's
// control identifiers: ExecWB shows it and takes the focus from the owner,
// as the browser's modal dialog does.
class DialogBrowser : public IWebBrowser {
 public:
  explicit DialogBrowser(HWND owner) : owner_(owner) {}
  ~DialogBrowser() override {
    if (dialog) ::DestroyWindow(dialog);
  }
  void Navigate(const std::wstring&) override {}
  void ExecWB(int command, int option) override {
    calls.push_back({command, option});
    if (dialog) ::DestroyWindow(dialog);
    // Made with all its controls before it takes the focus, as a dialog is.
    dialog = ::CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 100, 100, 300, 200, nullptr, nullptr, nullptr,
                               nullptr);
    struct Control {
      int id;
      const wchar_t* cls;
      DWORD style;
    };
    const Control controls[] = {{1, L"BUTTON", BS_PUSHBUTTON},         {1056, L"BUTTON", BS_AUTORADIOBUTTON},
                                {1057, L"BUTTON", BS_AUTORADIOBUTTON}, {1059, L"BUTTON", BS_AUTORADIOBUTTON},
                                {1060, L"BUTTON", BS_AUTORADIOBUTTON}, {1061, L"BUTTON", BS_AUTORADIOBUTTON},
                                {1137, L"COMBOBOX", CBS_DROPDOWNLIST}, {1139, L"COMBOBOX", CBS_DROPDOWNLIST},
                                {1154, L"EDIT", 0},                    {1155, L"EDIT", 0},
                                {1156, L"EDIT", 0},                    {1157, L"EDIT", 0},
                                {1158, L"EDIT", 0},                    {8147, L"EDIT", 0},
                                {8149, L"EDIT", 0}};
    for (const Control& c : controls)
      ::CreateWindowExW(0, c.cls, L"", WS_CHILD | WS_VISIBLE | c.style, 0, 0, 100, 100, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
    for (const wchar_t* paper : {L"Letter", L"A4", L"A5"})
      ::SendDlgItemMessageW(dialog, 1137, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(paper));
    for (const wchar_t* name : {L"Printer A", L"Printer B"})
      ::SendDlgItemMessageW(dialog, 1139, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    ::SendMessageW(owner_, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(dialog));
  }
  int FrameCount() override { return frames; }

  struct Call {
    int command, option;
    bool operator==(const Call&) const = default;
  };
  std::vector<Call> calls;
  HWND dialog = nullptr;
  int frames = 0;

 private:
  HWND owner_;
};

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[128] = L"";
  ::GetDlgItemTextW(dialog, id, text, 128);
  return text;
}

bool Checked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

TEST(Form1Commands, TheWebPagePrintSettingsFillTheBrowsersDialogs) {
  MainWindow w;
  DialogBrowser browser(w->Handle());
  TiePrinterSet& set = w->iePrinterSet1;
  set.SetWebBrowser(&browser);

  // Not enabled (the program's setting): the browser's own print dialog.
  set.PrintWithSettings();
  EXPECT_EQ(browser.calls, (std::vector<DialogBrowser::Call>{{6, 0}}));
  EXPECT_EQ(ItemText(browser.dialog, 8147), L"") << "nothing filled in";

  set.Enabled = true;
  set.mLeft = L"0.5";
  set.Portrait = TIePortrait::Horizon;
  set.PageSetup();
  EXPECT_EQ(browser.calls.back(), (DialogBrowser::Call{8, 8}));
  EXPECT_TRUE(Checked(browser.dialog, 1057));
  EXPECT_FALSE(Checked(browser.dialog, 1056));
  EXPECT_EQ(ItemText(browser.dialog, 1137), L"A4");
  EXPECT_EQ(ItemText(browser.dialog, 8147), L"&w&b&p/&P ページ");
  EXPECT_EQ(ItemText(browser.dialog, 8149), L"&u&b&d");
  EXPECT_EQ(ItemText(browser.dialog, 1155), L"0.5");
  EXPECT_EQ(ItemText(browser.dialog, 1156), L"0.750000");
  RECT r{};
  ::GetWindowRect(browser.dialog, &r);
  EXPECT_EQ(r.left, -600) << "filled out of sight";
  EXPECT_EQ(r.right - r.left, 0);

  set.printer = L"Printer B";
  set.Copies = 3;
  set.FrameStyle = TiePrintFrameStyle::Individual;
  set.Print();
  EXPECT_EQ(ItemText(browser.dialog, 1139), L"Printer B");
  EXPECT_EQ(ItemText(browser.dialog, 1154), L"3");
  EXPECT_FALSE(Checked(browser.dialog, 1061)) << "a page without frames gets no frame option";
  browser.frames = 2;
  set.Print();
  EXPECT_TRUE(Checked(browser.dialog, 1061));

  // A deactivation with nothing pending fills nothing.
  const HWND other = browser.dialog;
  ::SendMessageW(w->Handle(), WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(other));
  EXPECT_EQ(browser.calls.size(), 4u);

  // The real browser: the print command reaches the control's ExecWB (which
  // has no page to print under Wine, and says so in words, the code after).
  w->iePrinterSet1.SetWebBrowser(&w->WebBrowser1);
  w->iePrinterSet1.Enabled = false;
  try {
    w->iePrinterSet1.PrintWithSettings();
    ADD_FAILURE() << "a page that cannot be printed was not reported";
  } catch (const EMirabo& e) {
    EXPECT_STREQ(e.what(),
                 "Web ページを印刷できません。\n\rWeb ブラウザー部品がこの操作に対応していません。\n\r(エラー コード 0x8000FFFF)");
  }
}

TEST(Form1Commands, ThePageSetupIsReadFromTheUsersRegistry) {
  const wchar_t* key = L"Software\\Microsoft\\Internet Explorer\\PageSetup";
  const auto set = [key](const wchar_t* name, const wchar_t* value) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value, static_cast<DWORD>((wcslen(value) + 1) * 2));
  };
  set(L"header", L"&w&b頁 &p");
  set(L"footer", L"&u");
  set(L"margin_left", L" 0.5 ");
  set(L"margin_top", L"0.25");
  set(L"margin_right", L"1");
  set(L"margin_bottom", L"0.1 0");
  const TiePrinterSet printer;
  ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
  EXPECT_EQ(printer.header, L"&w&b頁 &p");
  EXPECT_EQ(printer.Footer, L"&u");
  EXPECT_EQ(printer.mLeft, L"0.5");
  EXPECT_EQ(printer.mTop, L"0.25");
  EXPECT_EQ(printer.mRight, L"1");
  EXPECT_EQ(printer.mBottom, L"0.10");
  EXPECT_EQ(printer.paperSize, L"A4");
  EXPECT_EQ(printer.Portrait, TIePortrait::Vertical);
  const TiePrinterSet without;
  EXPECT_EQ(without.mLeft, L"");
  EXPECT_EQ(without.paperSize, L"A4");
}

}  // namespace
}  // namespace mirabo
