// The settings dialog driven through its own controls while it is open
// (text, clicks, the up-downs' arrow keys, the folder and font dialogs,
// WM_CLOSE), and what the main window takes back when it closes.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/win/paths.h"
#include "base/win/text.h"
#include "plugins/spi_abi.h"
#include "settings/unit2.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/media_fixtures.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::WriteBytes;

// Runs work on this thread once the next modal loop is up: a thread timer
// whose procedure the loop dispatches, tried again until the work finds
// what it waits for (it returns false until then). After five seconds the
// thread's dialogs are cancelled so that a failing test cannot hang.
struct Pending {
  std::function<bool()> work;
  int triesLeft = 0;
};
std::vector<Pending*> g_pending;
void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  if (g_pending.empty()) return;
  Pending* p = g_pending.back();
  if (p->work()) {
    g_pending.pop_back();
    return;
  }
  if (--p->triesLeft > 0) {
    ::SetTimer(nullptr, 0, 50, &RunPending);
    return;
  }
  g_pending.pop_back();
  ADD_FAILURE() << "what the test waited for never came";
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM) -> BOOL {
        ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return TRUE;
      },
      0);
}
void WhenModal(Pending& pending) {
  pending.triesLeft = 100;
  g_pending.push_back(&pending);
  ::SetTimer(nullptr, 0, 30, &RunPending);
}

TForm2* OpenDialog() {
  const HWND hwnd = ::FindWindowW(L"TForm2", nullptr);
  return hwnd && ::IsWindowVisible(hwnd) ? reinterpret_cast<TForm2*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr;
}

// Opens the settings through their button and runs actions on the open
// dialog; the actions end by closing it (or leave that to the caller).
void WithSettings(MainWindow& w, const std::function<void(TForm2&)>& actions) {
  Pending pending{[&] {
    TForm2* dialog = OpenDialog();
    if (!dialog) return false;
    actions(*dialog);
    return true;
  }};
  WhenModal(pending);
  w->ToolButton13Click();
}

void CloseDialog(TForm2& dialog) { ::SendMessageW(dialog.Handle(), WM_CLOSE, 0, 0); }

// The system dialog the given window opened (the folder browser, the font
// dialog), found among the thread's windows.
HWND SystemDialogOf(HWND owner) {
  struct Search {
    HWND owner, found;
  } search{owner, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        wchar_t cls[64] = L"";
        ::GetClassNameW(hwnd, cls, 64);
        if (std::wstring(cls) == L"#32770" && ::GetWindow(hwnd, GW_OWNER) == s->owner && ::IsWindowVisible(hwnd)) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The text of the folder tree's selected item, once the tree has items.
std::wstring SelectedTreeItem(HWND browser) {
  const HWND tree = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
  if (!tree || ::SendMessageW(tree, TVM_GETCOUNT, 0, 0) == 0) return {};
  TVITEMW item{};
  wchar_t text[MAX_PATH] = L"";
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (!item.hItem || !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return text;
}

// Chooses a folder in the browser the next browse button opens: once its
// tree is filled, the folder is selected by the browser's own message, and
// OK is pressed when the tree shows it selected.
void ChooseFolder(TForm2& dialog, const char* button, const std::wstring& folder) {
  const std::filesystem::path path(folder);
  const std::wstring last = path.has_filename() ? path.filename().wstring() : std::wstring();
  Pending browse{[&dialog, &folder, last] {
    const HWND browser = SystemDialogOf(dialog.Handle());
    if (!browser || !::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr)) return false;
    ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
    const std::wstring selected = SelectedTreeItem(browser);
    // A drive shows under its label; its name is all that can be checked.
    if (selected.empty() || (!last.empty() && selected != last)) return false;
    ::SendMessageW(browser, WM_COMMAND, IDOK, 0);
    return true;
  }};
  WhenModal(browse);
  ::SendMessageW(dialog.Control(button), BM_CLICK, 0, 0);
}

void PressKey(HWND control, WORD key) {
  ::SetFocus(control);
  ::SendMessageW(control, WM_KEYDOWN, key, 1);
  ::SendMessageW(control, WM_KEYUP, key, 0xC0000001);
}

TEST(Form2, TheWindowHasItsPagesAndClosingUntouchedKeepsEverything) {
  MainWindow w({}, "[Jpeg]\r\nComp=0\r\n[Slide]\r\nTime=0\r\n[Mode]\r\nTray=1\r\n");
  const Settings before = w->settings();
  const auto ie = w->ListBoxIE;
  WithSettings(w, [&](TForm2& dialog) {
    wchar_t title[32] = L"";
    ::GetWindowTextW(dialog.Handle(), title, 32);
    EXPECT_STREQ(title, L"設定他");
    const LONG style = ::GetWindowLongW(dialog.Handle(), GWL_STYLE);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT client{};
    ::GetClientRect(dialog.Handle(), &client);
    EXPECT_EQ(client.right, 259);
    EXPECT_EQ(client.bottom, 154);
    EXPECT_EQ(dialog.CurrentPage(), 0);
    EXPECT_EQ(dialog.TextOf("Edit1"), L"1") << "0 is shown clamped into 1 to 99";
    EXPECT_EQ(dialog.TextOf("Edit6"), L"1");
    EXPECT_TRUE(dialog.Checked("CheckBox5"));
    EXPECT_EQ(dialog.TextOf("Label3"), L"Mirabo");
    CloseDialog(dialog);
  });
  Settings expected = before;
  expected.Comp = 1;
  expected.Time = 1;
  EXPECT_TRUE(w->settings() == expected) << "only the clamped numbers change";
  EXPECT_EQ(w->ListBoxIE, ie);
  EXPECT_EQ(w->TimerInterval(), 1000);
}

TEST(Form2, ExtensionsNumbersAndAConversionErrorThatKeepsTheDialogOpen) {
  MainWindow w;
  ErrorRecorder errors;
  const Settings before = w->settings();
  WithSettings(w, [&](TForm2& dialog) {
    dialog.SetText("Edit7", L" PDF ");
    ::SendMessageW(dialog.Control("Button4"), BM_CLICK, 0, 0);
    dialog.SetText("Edit7", L".pdf");
    ::SendMessageW(dialog.Control("Button4"), BM_CLICK, 0, 0);
    dialog.SetText("Edit7", L" \t ");
    ::SendMessageW(dialog.Control("Button4"), BM_CLICK, 0, 0);  // nothing left: nothing added
    const auto items = dialog.ListItems("ListBox1");
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[items.size() - 2], L"PDF");
    EXPECT_EQ(items.back(), L".pdf");
    EXPECT_EQ(dialog.TextOf("Edit7"), L" \t ");

    // The up-down's arrows: one step, no wrap at the end.
    const int comp = std::stoi(dialog.TextOf("Edit1"));
    PressKey(dialog.Control("Edit1"), VK_UP);
    EXPECT_EQ(std::stoi(dialog.TextOf("Edit1")), std::min(comp + 1, 99));
    dialog.SetText("Edit1", L"99");
    ::SendMessageW(dialog.Control("UpDown1"), UDM_SETPOS32, 0, 99);
    PressKey(dialog.Control("Edit1"), VK_UP);
    EXPECT_EQ(dialog.TextOf("Edit1"), L"99");

    dialog.SetText("Edit6", L"abc");
    CloseDialog(dialog);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "'abc' は整数ではありません");
    EXPECT_FALSE(dialog.Closed());
    EXPECT_EQ(dialog.CurrentPage(), 3) << "the box's page is shown";
    EXPECT_EQ(::GetFocus(), dialog.Control("Edit6"));
    EXPECT_TRUE(w->settings() == before) << "nothing applied";
    dialog.SetText("Edit6", L"500");  // out of range but an integer: taken as it is
    // Every entry deleted: the list goes empty.
    while (!dialog.ListItems("ListBox1").empty()) {
      ::SendMessageW(dialog.Control("ListBox1"), LB_SETCURSEL, 0, 0);
      ::SendMessageW(dialog.Control("Button5"), BM_CLICK, 0, 0);
    }
    CloseDialog(dialog);
  });
  EXPECT_EQ(w->settings().Comp, 99);
  EXPECT_EQ(w->settings().Time, 500);
  EXPECT_EQ(w->TimerInterval(), 500000);
  EXPECT_TRUE(w->ListBoxIE.empty());
  w->SaveSettings();
  const std::string ini = testing::ReadBytes(w.dir() / L"mirabo.INI");
  const size_t begin = ini.find("[IE]"), end = ini.find('[', begin + 1);
  const std::string section = ini.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  int emptyKeys = 0;
  for (size_t at = 0; (at = section.find("=\r\n", at + 1)) != std::string::npos;) ++emptyKeys;
  EXPECT_EQ(emptyKeys, 64) << "64 empty IE keys";
}

TEST(Form2, FoldersFromTheBrowserTypedFoldersAndTheSendToMenu) {
  MainWindow w;
  ErrorRecorder errors;
  const auto images = w.dir() / L"Images";
  std::filesystem::create_directories(images / L"Tools");
  WriteBytes(images / L"editor.lnk", "");
  const auto unicode = w.dir() / L"写真\U0001F600";
  std::filesystem::create_directories(unicode);
  WithSettings(w, [&](TForm2& dialog) {
    ChooseFolder(dialog, "Button8", images.wstring());
    EXPECT_EQ(dialog.TextOf("Edit10"), images.wstring() + L"\\");
    EXPECT_EQ(w->settings().SendTo, win::WideToCp932(images.wstring() + L"\\")) << "stored at once";
    ChooseFolder(dialog, "Button1", L"C:\\");
    EXPECT_EQ(dialog.TextOf("Edit2"), L"C:\\") << "a drive root gets no second \\";
    ChooseFolder(dialog, "Button1", unicode.wstring());
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("Shift-JIS"), std::string::npos) << errors.messages[0];
    EXPECT_EQ(w->settings().SavePath, "C:\\") << "a folder the settings file cannot hold is not stored";
    dialog.SetText("Edit2", L"C:\\Typed");
    CloseDialog(dialog);
  });
  EXPECT_EQ(w->settings().SavePath, "C:\\Typed") << "typed: unchanged";
  ASSERT_EQ(w->LaunchPopup1().Items().size(), 2u) << "the launch menu rebuilt from the new folder";
  EXPECT_EQ(w->LaunchPopup1().Items()[1].caption, L"editor");
}

TEST(Form2, PluginFolderFontCancelAndTheMediaViewAround) {
  MainWindow w;
  // A test plug-in in a folder of the computer's drives (the browser lists
  // no folder of Wine's host root). Only the one: the picture format table
  // is the process's, and other tests count on what is not in it.
  const auto plugins = w.dir() / L"plugins";
  std::filesystem::create_directory(plugins);
  const std::wstring ppm = std::wstring(L"ifppm") + std::wstring(spi::kPluginMask).substr(1);
  std::filesystem::copy_file(std::filesystem::path(win::FolderWithSlash(win::ExecutablePath())) / L"testdata" / ppm,
                             plugins / ppm);
  const int loaded = w->SPIs1().Count();
  WriteBytes(w.dir() / L"tone.wav", testing::MakeWav(3000));
  w.Open((w.dir() / L"tone.wav").wstring());
  ASSERT_TRUE(w->MediaPlayer1.IsOpen());
  const std::wstring face = w->RichEdit1().FontName();
  WithSettings(w, [&](TForm2& dialog) {
    EXPECT_FALSE(w->MediaPlayer1.IsOpen()) << "the media device closes while the dialog is open";
    ChooseFolder(dialog, "Button6", plugins.wstring());
    EXPECT_GT(w->SPIs1().Count(), loaded) << "the test plug-ins are loaded into the running registry";
    const auto listed = dialog.ListItems("ListBox2");
    EXPECT_EQ(static_cast<int>(listed.size()), w->SPIs1().Count());
    // The font dialog cancelled: the sample keeps its font.
    Pending cancel{[&dialog] {
      const HWND fonts = SystemDialogOf(dialog.Handle());
      if (!fonts) return false;
      ::SendMessageW(fonts, WM_COMMAND, IDCANCEL, 0);
      return true;
    }};
    WhenModal(cancel);
    ::SendMessageW(dialog.Control("Button3"), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.SampleFace(), face);
    CloseDialog(dialog);
  });
  EXPECT_EQ(w->RichEdit1().FontName(), face);
  EXPECT_TRUE(w->MediaPlayer1.IsOpen()) << "the media file is shown again";
  EXPECT_EQ(w->settings().SusiePath, win::WideToCp932(plugins.wstring() + L"\\"));
}

TEST(Form2, EverySettingSurvivesARestart) {
  std::string ini;
  Settings first;
  {
    MainWindow w;
    first = w->settings();
    WithSettings(w, [&](TForm2& dialog) {
      // Every check box the other way round.
      for (const char* box : {"CheckBox2", "CheckBox5", "CheckBox6", "CheckBox7", "CheckBox4"}) {
        dialog.SelectPage(std::string_view(box) == "CheckBox4" ? 3 : 0);
        ::SendMessageW(dialog.Control(box), BM_CLICK, 0, 0);
      }
      dialog.SetText("Edit1", L"42");
      dialog.SetText("Edit5", L"7");
      dialog.SetText("Edit6", L"9");
      dialog.SetText("Edit10", L"C:\\送る");
      dialog.SetText("Edit2", L"C:\\保存\\");
      dialog.SetText("Edit8", L"C:\\Plugins\\");
      dialog.SetText("Edit9", L"C:\\壁紙.bmp");
      dialog.SetText("Edit3", L"C:\\Mail\\mailer.exe");
      dialog.SetText("Edit4", L"-a");
      dialog.SetText("Edit7", L"xyz");
      ::SendMessageW(dialog.Control("Button4"), BM_CLICK, 0, 0);
      CloseDialog(dialog);
    });
    ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(w.destroyed());
    ini = testing::ReadBytes(w.dir() / L"mirabo.INI");
  }
  MainWindow again({}, ini);
  const Settings& s = again->settings();
  EXPECT_EQ(s.DblCK, 1 - first.DblCK);
  EXPECT_EQ(s.Tray, 1 - first.Tray);
  EXPECT_EQ(s.RenBar, 1 - first.RenBar);
  EXPECT_EQ(s.FitOver, 1 - first.FitOver);
  EXPECT_EQ(s.Loop, 1 - first.Loop);
  EXPECT_EQ(s.Comp, 42);
  EXPECT_EQ(s.Init, 7);
  EXPECT_EQ(s.Time, 9);
  EXPECT_EQ(win::Cp932ToWide(s.SendTo), L"C:\\送る");
  EXPECT_EQ(win::Cp932ToWide(s.SavePath), L"C:\\保存\\");
  EXPECT_EQ(s.SusiePath, "C:\\Plugins\\");
  EXPECT_EQ(win::Cp932ToWide(s.MediaBack), L"C:\\壁紙.bmp");
  EXPECT_EQ(s.MailPath, "C:\\Mail\\mailer.exe");
  EXPECT_EQ(s.BndOp, "-a");
  ASSERT_FALSE(again->ListBoxIE.empty());
  EXPECT_EQ(again->ListBoxIE.back(), "xyz");
  EXPECT_EQ(again->TimerInterval(), 9000);
}

}  // namespace
}  // namespace mirabo
