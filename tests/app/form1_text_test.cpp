// The text view: the file's own text, the Shift-JIS conversion and the dump
// switching on real files, the font of each, caret and selection by keys and
// mouse, and copy to the real clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/paths.h"
#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "text/dump.h"

namespace mirabo {
namespace {

using testing::MainWindow;
using testing::WriteBytes;

// "日本語テキスト" and "かな" in each encoding, one line each.
const std::string kSjis = "\x93\xFA\x96\x7B\x8C\xEA\x83\x65\x83\x4C\x83\x58\x83\x67";
const std::string kEuc = "\xC6\xFC\xCB\xDC\xB8\xEC\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8";
const std::string kJis = "\x1B\x24\x42\x46\x7C\x4B\x5C\x38\x6C\x25\x46\x25\x2D\x25\x39\x25\x48\x1B\x28\x42";

std::wstring ClipboardText(UINT format) {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return L"<no clipboard>";
  if (HANDLE data = ::GetClipboardData(format)) {
    if (format == CF_UNICODETEXT) text = static_cast<const wchar_t*>(::GlobalLock(data));
    else text = win::Cp932ToWide(static_cast<const char*>(::GlobalLock(data)));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

TEST(Form1Text, JisAndEucBecomeReadableAndTheOwnTextComesBack) {
  MainWindow w;
  struct Row {
    const wchar_t* name;
    std::string bytes;
  };
  const Row rows[] = {{L"jis.txt", kJis}, {L"euc.txt", kEuc}, {L"sjis.txt", kSjis}};
  for (const Row& r : rows) {
    SCOPED_TRACE(win::WideToUtf8(r.name));
    const auto path = w.dir() / r.name;
    WriteBytes(path, "abc\n" + r.bytes + "\r\nend");
    w.Open(path.wstring());
    EXPECT_EQ(w->RichEdit1().LineCount(), 3u);
    EXPECT_EQ(w->RichEdit1().Line(1), r.bytes);
    w->RunCommand(Cmd::mnuToSJIS);
    EXPECT_EQ(w->RichEdit1().Text(), L"abc\r\n日本語テキスト\r\nend");
    w->RunCommand(Cmd::mnuToSJIS);  // again from the file, the same result
    EXPECT_EQ(w->RichEdit1().Line(1), kSjis);
    w->RunCommand(Cmd::N6);
    EXPECT_EQ(w->RichEdit1().Line(1), r.bytes);
  }
}

TEST(Form1Text, TheDumpShowsEveryLineUnderItsHeader) {
  MainWindow w;
  const auto path = w.dir() / L"data.bin";
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i);
  WriteBytes(path, bytes);
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);  // read-only files dump too
  w.Open(path.wstring());
  w->RunCommand(Cmd::mnuBin);
  EXPECT_TRUE(w->IsShown("PanelBin"));
  EXPECT_EQ(win::WideToUtf8(w->TextOf("PanelBin")), std::string(kDumpHeader));
  ASSERT_EQ(w->RichEdit1().LineCount(), 19u);
  const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
  EXPECT_EQ(w->RichEdit1().Line(0), DumpLine(0, {raw, 16}));
  EXPECT_EQ(w->RichEdit1().Line(18), DumpLine(0x120, {raw + 0x120, 12}));
  EXPECT_EQ(w->RichEdit1().FontName(), L"Terminal");
  // The text control sits below the header strip.
  RECT header{}, text{};
  ::GetWindowRect(w->WindowOf("PanelBin"), &header);
  ::GetWindowRect(w->RichEdit1().Handle(), &text);
  EXPECT_EQ(text.top, header.bottom);

  // Stepping keeps the dump font; the own text brings the settings' font back.
  w->RunCommand(Cmd::N6);
  EXPECT_FALSE(w->IsShown("PanelBin"));
  EXPECT_EQ(w->RichEdit1().FontName(), L"Terminal");
  EXPECT_EQ(w->RichEdit1().FontSize(), 10);
  w->settings().FontName = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック
  w->settings().FontSize = 12;
  w->RunCommand(Cmd::N6);
  EXPECT_EQ(w->RichEdit1().FontName(), L"ＭＳ ゴシック");
  EXPECT_EQ(w->RichEdit1().FontSize(), 12);
}

TEST(Form1Text, EmptyFilesFoldersAndUndumpableFiles) {
  MainWindow w;
  const auto empty = w.dir() / L"empty.txt";
  WriteBytes(empty, "");
  w.Open(empty.wstring());
  EXPECT_EQ(w->RichEdit1().LineCount(), 0u);
  for (const Cmd command : {Cmd::mnuBin, Cmd::mnuToSJIS, Cmd::N6}) {
    w->RunCommand(command);
    EXPECT_EQ(w->RichEdit1().LineCount(), 0u) << CommandName(command);
    EXPECT_FALSE(w->IsShown("PanelBin")) << CommandName(command);
  }
  w.Open(w.dir().path().wstring());
  EXPECT_EQ(w->RichEdit1().Text(), L"ﾃﾞｨﾚｸﾄﾘです");
  w->RunCommand(Cmd::mnuToSJIS);
  EXPECT_EQ(w->RichEdit1().Text(), L"ﾃﾞｨﾚｸﾄﾘです");
  w->RunCommand(Cmd::mnuBin);
  EXPECT_EQ(w->RichEdit1().Text(), L"このファイルはダンプできません");
  EXPECT_TRUE(w->IsShown("PanelBin"));
}

TEST(Form1Text, CaretAndSelectionByKeysAndMouseThenCopy) {
  MainWindow w;
  const auto path = w.dir() / L"lines.txt";
  WriteBytes(path, "first line\r\n" + kSjis + "\r\nthird");
  w.Open(path.wstring());
  auto& view = dynamic_cast<TTextControl&>(w->RichEdit1());
  const HWND text = view.Handle();
  ASSERT_EQ(::GetFocus(), text);
  const auto press = [&](WORD key, bool shift = false, bool ctrl = false) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::SendMessageW(text, WM_KEYDOWN, key, 1);
    state[VK_SHIFT] = state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
  };
  press(VK_DOWN);
  press(VK_RIGHT);
  EXPECT_EQ(view.Caret(), (TextPosition{1, 2})) << "a double-byte character is one step";
  press(VK_RIGHT, true);
  press(VK_RIGHT, true);
  EXPECT_EQ(view.Anchor(), (TextPosition{1, 2}));
  EXPECT_EQ(view.SelectedText(), kSjis.substr(2, 4));
  press('C', false, true);
  EXPECT_EQ(ClipboardText(CF_UNICODETEXT), L"本語");
  EXPECT_EQ(ClipboardText(CF_TEXT), L"本語");
  press(VK_END, true, true);
  EXPECT_EQ(view.Caret(), (TextPosition{2, 5}));
  press(VK_HOME, false, true);
  EXPECT_EQ(view.Caret(), (TextPosition{0, 0}));
  press('A', false, true);
  EXPECT_EQ(view.SelectedText(), "first line\r\n" + kSjis + "\r\nthird");

  // A press on the second line and a drag to the first select between.
  const int h = view.LineHeight();
  ::SendMessageW(text, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, h + h / 2));
  ::SendMessageW(text, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2000, h / 2));
  ::SendMessageW(text, WM_LBUTTONUP, 0, MAKELPARAM(2000, h / 2));
  EXPECT_EQ(view.Anchor(), (TextPosition{1, 0}));
  EXPECT_EQ(view.Caret(), (TextPosition{0, 10}));
  // From the end of line 0 to the start of line 1: the line break alone.
  EXPECT_EQ(view.SelectedText(), "\r\n");
  w->RunCommand(Cmd::Copy1);
  EXPECT_EQ(ClipboardText(CF_UNICODETEXT), L"\r\n");
  EXPECT_EQ(view.SelectedText(), "") << "copying collapses the selection";
  EXPECT_EQ(view.Caret(), (TextPosition{0, 10}));
  w->RunCommand(Cmd::Copy1);  // nothing selected: the clipboard is emptied
  EXPECT_EQ(ClipboardText(CF_UNICODETEXT), L"");
}

TEST(Form1Text, NothingIsWrittenBesideTheProgram) {
  MainWindow w;
  const auto path = w.dir() / L"euc.txt";
  WriteBytes(path, kEuc);
  w.Open(path.wstring());
  w->RunCommand(Cmd::mnuToSJIS);
  w->RunCommand(Cmd::mnuBin);
  const std::wstring folder = win::FolderWithSlash(win::ExecutablePath());
  EXPECT_EQ(::GetFileAttributesW((folder + L"$bindump.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(::GetFileAttributesW((w.dir() / L"$bindump.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Form1Text, ABigFileScrollsToItsEnd) {
  MainWindow w;
  const auto path = w.dir() / L"big.log";
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "line " + std::to_string(i) + "\n";
  WriteBytes(path, text);
  w.Open(path.wstring());
  auto& view = dynamic_cast<TTextControl&>(w->RichEdit1());
  EXPECT_EQ(view.LineCount(), 200000u);
  ::SendMessageW(view.Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_GT(view.TopLine(), 199000u);
  EXPECT_EQ(view.Line(199999), "line 199999");
  ::SendMessageW(view.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(view.Line(view.TopLine()), "line " + std::to_string(view.TopLine()));
}

}  // namespace
}  // namespace mirabo

namespace mirabo {
namespace {

TEST(Form1Text, TheInformationSheet) {
  MainWindow w;
  const auto path = w.dir() / L"info.txt";
  WriteBytes(path, std::string(1048576, 'x'));
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  SYSTEMTIME noon{2026, 12, 2, 8, 12, 34, 57, 0};
  FILETIME local{}, utc{};
  ::SystemTimeToFileTime(&noon, &local);
  ::LocalFileTimeToFileTime(&local, &utc);
  ::SetFileTime(h, nullptr, nullptr, &utc);
  ::CloseHandle(h);
  w.Open(path.wstring());
  w->RunCommand(Cmd::N5);
  auto& view = w->RichEdit1();
  ASSERT_EQ(view.LineCount(), 8u);
  EXPECT_EQ(view.Line(0), win::WideToCp932(path.wstring()));
  EXPECT_EQ(view.Line(5), std::string(15, ' ') + "a - - - - r ");
  EXPECT_EQ(view.Line(7).substr(15), "1,048,576 Bytes");
  // Two-second resolution: 12:34:57 shows as 12:34:56.
  EXPECT_NE(view.Line(6).find("12:34:56"), std::string::npos) << view.Line(6);
  EXPECT_EQ(view.FontName(), L"Terminal");
  EXPECT_FALSE(w->IsShown("PanelBin"));
}

}  // namespace
}  // namespace mirabo
