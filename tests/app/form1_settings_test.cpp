// The main window reads its settings when it is created and writes them back
// when it closes; a settings file that cannot be written never loses data
// and never keeps the window from closing.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/unit1.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "settings/win_file_store.h"
#include "tests/app/win_test_support.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// One main window on a settings file in a folder of the test's own.
class Form {
 public:
  explicit Form(const std::filesystem::path& ini)
      : form_({settings_, files_, ini, "C:\\Program\\", {}}) {
    form_.OnDestroyed = [this] { destroyed_ = true; };
    form_.Create();
  }
  TForm1* operator->() { return &form_; }
  TForm1& get() { return form_; }
  bool destroyed() const { return destroyed_; }
  void Close() { ::SendMessageW(form_.Handle(), WM_CLOSE, 0, 0); }
  RECT Rect() {
    RECT r{};
    ::GetWindowRect(form_.Handle(), &r);
    return r;
  }

 private:
  Settings settings_;
  win::WinFileStore files_;
  TForm1 form_;
  bool destroyed_ = false;
};

std::string IniText(int top, int left, int width, int height) {
  return "[Pos]\r\nTop=" + std::to_string(top) + "\r\nLeft=" + std::to_string(left) +
         "\r\nWidth=" + std::to_string(width) + "\r\nHeight=" + std::to_string(height) + "\r\n";
}

TEST(Form1Settings, TheSettingsFileIsTheExecutablesPathWithIni) {
  const std::wstring exe = win::ExecutablePath();
  ASSERT_GT(exe.size(), 4u);
  EXPECT_EQ(_wcsicmp(exe.substr(exe.size() - 4).c_str(), L".exe"), 0) << win::WideToUtf8(exe);
  EXPECT_EQ(IniPathForExecutable(exe).wstring(), exe.substr(0, exe.size() - 4) + L".INI");
  EXPECT_EQ(win::FolderWithSlash(exe).back(), L'\\');
}

TEST(Form1Settings, TheWindowTakesItsRectangleFromTheSettings) {
  struct Row {
    std::string ini;
    RECT expected;
  };
  const Row rows[] = {
      {IniText(50, 60, 700, 500), {60, 50, 760, 550}},
      {"[Pos]\r\nTop=0x20\r\nLeft=$10\r\n", {16, 32, 16 + 640, 32 + 480}},
      {"", {0, 0, 640, 480}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    TempDir dir;
    if (!rows[i].ini.empty()) WriteBytes(dir / L"view.INI", rows[i].ini);
    Form form(dir / L"view.INI");
    const RECT r = form.Rect();
    EXPECT_EQ(r.left, rows[i].expected.left);
    EXPECT_EQ(r.top, rows[i].expected.top);
    EXPECT_EQ(r.right, rows[i].expected.right);
    EXPECT_EQ(r.bottom, rows[i].expected.bottom);
    EXPECT_EQ(::GetWindowTextLengthW(form->Handle()), 6);
  }
}

TEST(Form1Settings, ClosingWritesTheNormalRectangleAndLeavesNoTemporaryFile) {
  TempDir dir;
  const auto ini = dir / L"view.INI";
  WriteBytes(ini, "; mine\r\n" + IniText(10, 20, 600, 400) + "Keep=me\r\n");
  Form form(ini);
  ::SetWindowPos(form->Handle(), nullptr, 33, 44, 720, 530, SWP_NOZORDER | SWP_NOACTIVATE);
  form.Close();
  EXPECT_TRUE(form.destroyed());
  const IniDocument saved = IniDocument::Parse(ReadBytes(ini));
  EXPECT_EQ(saved.Get("Pos", "Top"), "44");
  EXPECT_EQ(saved.Get("Pos", "Left"), "33");
  EXPECT_EQ(saved.Get("Pos", "Width"), "720");
  EXPECT_EQ(saved.Get("Pos", "Height"), "530");
  EXPECT_EQ(saved.Get("Pos", "Keep"), "me");
  EXPECT_EQ(saved.Lines().front(), "; mine");
  EXPECT_EQ(saved.Get("Rename", "Fix"), "\x96\xB3\x91\xE8");
  EXPECT_EQ(dir.FileNames(), std::vector<std::wstring>{L"view.INI"});
}

TEST(Form1Settings, AWindowClosedWhileMaximisedKeepsTheRectangleItStartedWith) {
  TempDir dir;
  const auto ini = dir / L"view.INI";
  WriteBytes(ini, IniText(10, 20, 600, 400));
  Form form(ini);
  ::ShowWindow(form->Handle(), SW_MAXIMIZE);
  ASSERT_TRUE(::IsZoomed(form->Handle()));
  form.Close();
  EXPECT_TRUE(form.destroyed());
  const IniDocument saved = IniDocument::Parse(ReadBytes(ini));
  EXPECT_EQ(saved.Get("Pos", "Top"), "10");
  EXPECT_EQ(saved.Get("Pos", "Left"), "20");
  EXPECT_EQ(saved.Get("Pos", "Width"), "600");
  EXPECT_EQ(saved.Get("Pos", "Height"), "400");
}

TEST(Form1Settings, AReadOnlySettingsFileStaysAsItWasAndTheWindowClosesAfterOneNotice) {
  TempDir dir;
  const auto ini = dir / L"view.INI";
  const std::string original = "; hand-made\n" + IniText(10, 20, 600, 400);
  WriteBytes(ini, original);
  ASSERT_TRUE(::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
  Form form(ini);
  ::SetWindowPos(form->Handle(), nullptr, 1, 2, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  {
    ErrorRecorder errors;
    form.Close();
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], win::WideToUtf8(ini.wstring()) +
                                      " に書き込めません\n\r起動してから変更した設定は保存されません。");
  }
  EXPECT_TRUE(form.destroyed());
  EXPECT_EQ(ReadBytes(ini), original);
  EXPECT_EQ(dir.FileNames(), std::vector<std::wstring>{L"view.INI"});
  ::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);  // for the folder's removal
}

TEST(Form1Settings, ALockedSettingsFileIsNotTouched) {
  TempDir dir;
  const auto ini = dir / L"view.INI";
  const std::string original = IniText(10, 20, 600, 400);
  WriteBytes(ini, original);
  Form form(ini);
  {
    // Another program holds the file open without sharing it.
    win::UniqueFile lock(::CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    ErrorRecorder errors;
    form.Close();
    EXPECT_EQ(errors.messages.size(), 1u);
    EXPECT_TRUE(form.destroyed());
  }
  EXPECT_EQ(ReadBytes(ini), original);
  EXPECT_EQ(dir.FileNames(), std::vector<std::wstring>{L"view.INI"});
}

TEST(Form1Settings, AFolderNameOutsideTheAnsiCodePageWorks) {
  TempDir dir(L"-設定-ёж-\U0001F600");
  const auto ini = dir / L"ビュー.INI";
  {
    Form form(ini);
    EXPECT_EQ(form->ListBoxIE, (std::vector<std::string>{"doc", "xls", "ppt", "mdb", "pdf"}));
    form->settings().Comp = 80;
    form.Close();
    EXPECT_TRUE(form.destroyed());
  }
  Form again(ini);
  EXPECT_EQ(again->settings().Comp, 80);
  EXPECT_EQ(again->settings().SavePath, "C:\\Program\\");
}

}  // namespace
}  // namespace mirabo
