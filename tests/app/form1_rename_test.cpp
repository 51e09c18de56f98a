// The rename bar and delete-and-advance on real folders.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::DialogRecorder;
using testing::ErrorRecorder;
using testing::MainWindow;
using testing::WriteBytes;

std::string Jpeg() {
  const auto v = testing::MakeJpeg(testing::JpegKind::Rgb, 24, 16);
  return std::string(v.begin(), v.end());
}

// The bar as a user sets it: fixed part, date switch, digits and counter.
void SetBar(MainWindow& w, const wchar_t* fixed, bool date, int digits, int counter) {
  ::SetWindowTextW(w->WindowOf("EditFix"), fixed);
  const bool checked = ::SendMessageW(w->WindowOf("CheckBoxDate"), BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (checked != date) ::SendMessageW(w->WindowOf("CheckBoxDate"), BM_CLICK, 0, 0);
  ::SendMessageW(w->WindowOf("UpDown1"), UDM_SETPOS32, 0, digits);
  ::SendMessageW(w->WindowOf("UpDown2"), UDM_SETPOS32, 0, counter);
}

// A folder of JPEGs opened on one of them.
void Folder(MainWindow& w, std::initializer_list<const wchar_t*> names, const wchar_t* open) {
  for (const wchar_t* name : names) WriteBytes(w.dir() / name, Jpeg());
  w.Open((w.dir() / open).wstring());
}

TEST(Form1RenameBar, ThePreviewFollowsEveryBox) {
  MainWindow w;
  Folder(w, {L"a.jpg"}, L"a.jpg");
  testing::SetLastWrite(w.dir() / L"a.jpg", 2026, 12, 8, 23, 30, 0);
  SetBar(w, L"無題", true, 3, 1);
  EXPECT_EQ(w->TextOf("PanelFName"), L"無題(2026-12-08)001.jpg");
  EXPECT_EQ(w->HintOf("PanelFName"), L"無題(2026-12-08)001.jpg");

  // Keystrokes into the fixed part, one preview each.
  ::SetWindowTextW(w->WindowOf("EditFix"), L"");
  ::SendMessageW(w->WindowOf("CheckBoxDate"), BM_CLICK, 0, 0);  // date off
  const struct {
    wchar_t key;
    const wchar_t* preview;
  } typing[] = {{L'旅', L"旅001.jpg"}, {L'行', L"旅行001.jpg"}, {L'_', L"旅行_001.jpg"}};
  for (const auto& t : typing) {
    ::SendMessageW(w->WindowOf("EditFix"), WM_CHAR, t.key, 1);
    EXPECT_EQ(w->TextOf("PanelFName"), t.preview);
  }
  const struct {
    int digits, counter;
    const wchar_t* preview;
    const wchar_t* counterText;
  } numbers[] = {{3, 7, L"旅行_007.jpg", L"7"}, {1, 12, L"旅行_12.jpg", L"12"}, {4, 1000, L"旅行_1000.jpg", L"1000"},
                 {4, 9999, L"旅行_9999.jpg", L"9999"}, {2, 0, L"旅行_00.jpg", L"0"}};
  for (const auto& n : numbers) {
    SetBar(w, L"旅行_", false, n.digits, n.counter);
    EXPECT_EQ(w->TextOf("PanelFName"), n.preview);
    EXPECT_EQ(w->TextOf("EditCou"), n.counterText);
  }
}

TEST(Form1RenameBar, BadNumbersAreReportedAndThePreviewKept) {
  MainWindow w;
  Folder(w, {L"a.jpg"}, L"a.jpg");
  SetBar(w, L"無題", false, 3, 5);
  ASSERT_EQ(w->TextOf("PanelFName"), L"無題005.jpg");
  const struct {
    const char* box;
    const wchar_t* text;
    std::string message;
  } cases[] = {
      {"EditCou", L"abc", "'abc' は整数ではありません"},
      {"EditCou", L"", "'' は整数ではありません"},
      {"EditDegit", L"x", "書式 '%.xd' が無効か，引数と互換性がありません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    SetBar(w, L"無題", false, 3, 5);
    ErrorRecorder errors;
    // As typed: the change notice goes through the window's own dispatch.
    const std::wstring good = w->TextOf(c.box);
    ::SetWindowTextW(w->WindowOf(c.box), c.text);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], c.message);
    EXPECT_EQ(w->TextOf("PanelFName"), L"無題005.jpg");
    ::SetWindowTextW(w->WindowOf(c.box), good.c_str());
    EXPECT_EQ(errors.messages.size(), 1u);
  }
}

TEST(Form1RenameBar, TheDateIsTodayWithoutAFileAndResetUsesInit) {
  MainWindow w;
  SYSTEMTIME today{};
  ::GetLocalTime(&today);
  wchar_t expected[64];
  std::swprintf(expected, 64, L"無題(%04d-%02d-%02d)005.jpg", today.wYear, today.wMonth, today.wDay);
  w->settings().Init = 5;
  SetBar(w, L"無題", true, 3, 42);
  w->RunCommand(Cmd::ToolButton20);
  EXPECT_EQ(w->TextOf("EditCou"), L"5");
  EXPECT_EQ(w->TextOf("PanelFName"), expected);
}

TEST(Form1RenameBar, RenameAndAdvanceToTheLastFile) {
  MainWindow w;
  Folder(w, {L"a.jpg", L"b.jpg", L"c.jpg"}, L"a.jpg");
  SetBar(w, L"無題", false, 3, 1);
  const struct {
    std::vector<std::wstring> list;
    int index;
    const wchar_t* current;
    const wchar_t* counter;
    const wchar_t* preview;
  } steps[] = {
      {{L"無題001.jpg", L"b.jpg", L"c.jpg"}, 1, L"b.jpg", L"2", L"無題002.jpg"},
      // The next-to-last moves to the last with the counter raised.
      {{L"無題001.jpg", L"無題002.jpg", L"c.jpg"}, 2, L"c.jpg", L"3", L"無題003.jpg"},
      // The last stays where it is, and so do the counter and the preview.
      {{L"無題001.jpg", L"無題002.jpg", L"無題003.jpg"}, 2, L"無題003.jpg", L"3", L"無題003.jpg"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(win::WideToUtf8(s.current));
    w->RunCommand(Cmd::ToolButton19);
    EXPECT_EQ(w->FileListBox1.Items(), s.list);
    EXPECT_EQ(w->CurrentIndex, s.index);
    EXPECT_EQ(w->CurrentPath, (w.dir() / s.current).wstring());
    EXPECT_EQ(w->TextOf("EditCou"), s.counter);
    EXPECT_EQ(w->TextOf("PanelFName"), s.preview);
    EXPECT_EQ(w->TextOf("LabelPath"), w->CurrentPath);
  }
  auto names = w.dir().FileNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"無題001.jpg", L"無題002.jpg", L"無題003.jpg"}));
}

TEST(Form1RenameBar, ANameThatExistsStopsWithTheMessageUntilItIsGone) {
  MainWindow w;
  Folder(w, {L"a.jpg", L"b.jpg", L"無題001.jpg"}, L"a.jpg");
  SetBar(w, L"無題", false, 3, 1);
  DialogRecorder dialogs;
  w->RunCommand(Cmd::ToolButton19);
  ASSERT_EQ(dialogs.notices.size(), 1u);
  EXPECT_EQ(dialogs.notices[0], L"同名のファイルが既に存在します。\n\rそのファイルを処理してからやりなおしてください。");
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"a.jpg").wstring());
  EXPECT_EQ(w->TextOf("EditCou"), L"1");
  EXPECT_TRUE(std::filesystem::exists(w.dir() / L"a.jpg"));

  ::DeleteFileW((w.dir() / L"無題001.jpg").c_str());
  w->RunCommand(Cmd::ToolButton19);
  EXPECT_EQ(dialogs.notices.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(w.dir() / L"無題001.jpg"));
  EXPECT_FALSE(std::filesystem::exists(w.dir() / L"a.jpg"));
  EXPECT_EQ(w->CurrentPath, (w.dir() / L"b.jpg").wstring());
}

TEST(Form1RenameBar, RefusedNamesAndFailedRenamesChangeNothing) {
  MainWindow w;
  Folder(w, {L"a.jpg", L"b.jpg"}, L"a.jpg");
  const auto unchanged = [&] {
    EXPECT_EQ(w->CurrentPath, (w.dir() / L"a.jpg").wstring());
    EXPECT_EQ(w->FileListBox1.Items(), (std::vector<std::wstring>{L"a.jpg", L"b.jpg"}));
    EXPECT_EQ(w->CurrentIndex, 0);
    EXPECT_EQ(w->TextOf("EditCou"), L"1");
    EXPECT_TRUE(std::filesystem::exists(w.dir() / L"a.jpg"));
  };
  const struct {
    const wchar_t* fixed;
    int digits;
    std::string message;
  } refused[] = {{L"a/b", 3, "'a/b001.jpg' はファイル名として使えません"},
                 {L"x?", 3, "'x?001.jpg' はファイル名として使えません"},
                 {L"COM", 1, "'COM1.jpg' はファイル名として使えません"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.message);
    SetBar(w, r.fixed, false, r.digits, 1);
    ErrorRecorder errors;
    w.Click("ToolButton19");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], r.message);
    unchanged();
  }
  // Held open by another program without leave to rename.
  SetBar(w, L"無題", false, 3, 1);
  const HANDLE lock = ::CreateFileW((w.dir() / L"a.jpg").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  ErrorRecorder errors;
  w.Click("ToolButton19");
  ::CloseHandle(lock);
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], "ファイル " + win::WideToUtf8((w.dir() / L"a.jpg").wstring()) +
                                    " の名前を 無題001.jpg に変更できません");
  unchanged();
  EXPECT_FALSE(std::filesystem::exists(w.dir() / L"無題001.jpg"));
}

TEST(Form1DeleteAndAdvance, FirstLastAndOnlyFile) {
  const struct {
    std::initializer_list<const wchar_t*> files;
    const wchar_t* open;
    const wchar_t* shown;  // nullptr: nothing left
    const wchar_t* counter;
    int index;
  } cases[] = {
      {{L"a.jpg", L"b.jpg", L"c.jpg"}, L"a.jpg", L"b.jpg", L"1/2", 0},
      {{L"a.jpg", L"b.jpg", L"c.jpg"}, L"b.jpg", L"c.jpg", L"2/2", 1},
      {{L"a.jpg", L"b.jpg", L"c.jpg"}, L"c.jpg", L"b.jpg", L"2/2", 1},
      {{L"a.jpg"}, L"a.jpg", nullptr, L"1/0", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win::WideToUtf8(c.open) + " of " + std::to_string(c.files.size()));
    MainWindow w;
    Folder(w, c.files, c.open);
    w->RunCommand(Cmd::ToolButton29);
    EXPECT_FALSE(std::filesystem::exists(w.dir() / c.open));
    EXPECT_EQ(w->TextOf("PanelCou"), c.counter);
    EXPECT_EQ(w->CurrentIndex, c.index);
    if (c.shown) {
      EXPECT_EQ(w->CurrentPath, (w.dir() / c.shown).wstring());
      EXPECT_EQ(w->ImageJpg().picture().Width(), 24);
    } else {
      EXPECT_TRUE(w->ImageJpg().picture().Empty());
      EXPECT_EQ(w->CurrentPath, (w.dir() / c.open).wstring()) << "keeps the deleted file's path";
      // Again on the empty list: the picture stays clear, nothing else happens.
      w->RunCommand(Cmd::ToolButton29);
      EXPECT_EQ(w->TextOf("PanelCou"), L"1/0");
    }
  }
}

TEST(Form1DeleteAndAdvance, AReadOnlyFileStaysAndSoDoesItsEntry) {
  MainWindow w;
  Folder(w, {L"a.jpg", L"b.jpg", L"c.jpg"}, L"a.jpg");
  const auto path = w.dir() / L"a.jpg";
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  ErrorRecorder errors;
  w.Click("ToolButton29");
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], "ファイル " + win::WideToUtf8(path.wstring()) + " を削除できません");
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(w->FileListBox1.Count(), 3);
  EXPECT_EQ(w->CurrentPath, path.wstring());
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/3");
}

}  // namespace
}  // namespace mirabo
