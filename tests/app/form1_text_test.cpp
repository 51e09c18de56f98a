// The text view: the file's own text, the Shift-JIS conversion and the dump
// switching on real files, the font of each, caret and selection by keys and
// mouse, and copy to the real clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/dpi.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "tests/app/form1_test_support.h"
#include "tests/base/picture/colour_fixtures.h"
#include "tests/base/picture/jpeg_fixtures.h"
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
  ASSERT_EQ(view.LineCount(), 9u);
  EXPECT_EQ(view.Line(0), win::WideToCp932(path.wstring()));
  EXPECT_EQ(view.Line(5), std::string(15, ' ') + "a - - - - r ");
  EXPECT_EQ(view.Line(7).substr(15), "1,048,576 Bytes");
  EXPECT_EQ(view.LineText(8), L"文字ｺｰﾄﾞ     ：Shift_JIS") << "the encoding the text is read in";
  // Two-second resolution: 12:34:57 shows as 12:34:56.
  EXPECT_NE(view.Line(6).find("12:34:56"), std::string::npos) << view.Line(6);
  EXPECT_EQ(view.FontName(), L"Terminal");
  EXPECT_FALSE(w->IsShown("PanelBin"));

  // A photo under another name: how it stands, and its colour profile.
  const auto photo = w.dir() / L"photo.dat";
  testing::JpegExtras extras;
  std::vector<uint8_t> chunk(12, 0);
  std::copy_n("ICC_PROFILE", 11, chunk.begin());
  chunk.insert(chunk.end(), {1, 1});
  const std::vector<uint8_t> p3 = testing::DisplayP3Profile();
  chunk.insert(chunk.end(), p3.begin(), p3.end());
  extras.markers = {{0xE1, testing::MakeExif(true, 6, 8, 8, false)}, {0xE2, chunk}};
  const std::vector<uint8_t> jpeg = testing::MakeJpeg(testing::JpegKind::Rgb, 8, 8, 90, extras);
  WriteBytes(photo, std::string(jpeg.begin(), jpeg.end()));
  w.Open(photo.wstring());
  w->RunCommand(Cmd::N5);
  ASSERT_EQ(view.LineCount(), 11u);
  EXPECT_EQ(view.LineText(9), L"向き         ：6 (右90°回転)");
  EXPECT_EQ(view.LineText(10), L"ICCﾌﾟﾛﾌｧｲﾙ   ：Display P3");
}

// ---- Unicode text

// The characters of the Unicode files below: Japanese, a hanzi line, an
// emoji (outside Shift-JIS), accented Latin and Korean.
const std::wstring kUnicodeLines[] = {L"日本語のテキスト", L"汉字𠮷", L"絵文字 \U0001F600 end", L"café 가나다"};

std::string Utf8(const std::wstring& wide) { return win::WideToUtf8(wide); }
std::string Utf16(const std::wstring& wide, bool bigEndian) {
  std::string out;
  for (const wchar_t u : wide) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

// One line of the control as drawn (through WM_PRINTCLIENT), and the same
// text drawn by the test with the control's font settings.
struct Drawn {
  std::vector<COLORREF> control, reference;
};
Drawn DrawLine(MainWindow& w, const std::wstring& text) {
  auto& view = dynamic_cast<TTextControl&>(w->RichEdit1());
  const HWND hwnd = view.Handle();
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const int lineHeight = view.LineHeight();
  Drawn d;
  win::WindowDC screen(nullptr);
  for (int which = 0; which < 2; ++which) {
    win::MemoryDC dc(screen.Get());
    win::UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
    win::SelectedObject selected(dc.Get(), bitmap.Get());
    if (which == 0) {
      ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
    } else {
      win::UniqueFont font(::CreateFontW(-::MulDiv(view.FontSize(), win::DpiOf(hwnd), 72), 0, 0, 0, FW_NORMAL, 0, 0,
                                         0, SHIFTJIS_CHARSET, 0, 0, DEFAULT_QUALITY, FIXED_PITCH,
                                         view.FontName().c_str()));
      win::SelectedObject selectedFont(dc.Get(), font.Get());
      RECT band{0, 0, client.right, lineHeight};
      ::SetTextColor(dc.Get(), ::GetSysColor(COLOR_WINDOWTEXT));
      ::SetBkColor(dc.Get(), ::GetSysColor(COLOR_WINDOW));
      ::ExtTextOutW(dc.Get(), 0, 0, ETO_OPAQUE | ETO_CLIPPED, &band, text.c_str(), static_cast<UINT>(text.size()),
                    nullptr);
    }
    auto& pixels = which == 0 ? d.control : d.reference;
    for (int y = 0; y < lineHeight; ++y)
      for (int x = 0; x < client.right; ++x) pixels.push_back(::GetPixel(dc.Get(), x, y));
  }
  return d;
}

TEST(Form1Text, UnicodeFilesShowTheirCharacters) {
  MainWindow w;
  std::wstring joined;
  for (const std::wstring& line : kUnicodeLines) joined += (joined.empty() ? L"" : L"\r\n") + line;
  struct Row {
    const wchar_t* name;
    std::string bytes;
    const char* encoding;
  } rows[] = {
      {L"plain.txt", Utf8(joined) + "\n", "UTF-8"},
      {L"marked.txt", "\xEF\xBB\xBF" + Utf8(joined), "UTF-8"},
      {L"le.txt", "\xFF\xFE" + Utf16(joined + L"\r\n", false), "UTF-16LE"},
      {L"be.txt", "\xFE\xFF" + Utf16(joined, true), "UTF-16BE"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(win::WideToUtf8(r.name));
    const auto path = w.dir() / r.name;
    WriteBytes(path, r.bytes);
    w.Open(path.wstring());
    auto& view = w->RichEdit1();
    ASSERT_EQ(view.LineCount(), std::size(kUnicodeLines));
    for (size_t i = 0; i < std::size(kUnicodeLines); ++i) EXPECT_EQ(view.LineText(i), kUnicodeLines[i]) << i;
    EXPECT_EQ(view.Text(), joined) << "no mark shown";
    // Drawn as the characters themselves, not as bytes or question marks.
    const Drawn d = DrawLine(w, kUnicodeLines[0]);
    EXPECT_EQ(d.control, d.reference) << "the first line's pixels";
    // The conversion command leaves a Unicode file's text as it is.
    w->RunCommand(Cmd::mnuToSJIS);
    EXPECT_EQ(view.Text(), joined);
    // Keys step over whole characters: the emoji line's first five are
    // 絵文字, a space and the emoji (a surrogate pair in UTF-16).
    auto& control = dynamic_cast<TTextControl&>(view);
    const auto press = [&](WORD key, bool shift = false) {
      BYTE state[256] = {};
      ::GetKeyboardState(state);
      state[VK_SHIFT] = shift ? 0x80 : 0;
      ::SetKeyboardState(state);
      ::SendMessageW(control.Handle(), WM_KEYDOWN, key, 1);
      state[VK_SHIFT] = 0;
      ::SetKeyboardState(state);
    };
    control.SetSelStart({2, 0});
    for (int i = 0; i < 4; ++i) press(VK_RIGHT);
    for (int i = 0; i < 1; ++i) press(VK_RIGHT, true);
    EXPECT_EQ(control.SelectedWideText(), L"😀") << "one step selects the whole emoji";
    // From the first line's start to the emoji line's end.
    control.SetSelStart({0, 0});
    press(VK_DOWN, true);
    press(VK_DOWN, true);
    press(VK_END, true);
    w->RunCommand(Cmd::Copy1);
    EXPECT_EQ(ClipboardText(CF_UNICODETEXT), kUnicodeLines[0] + L"\r\n" + kUnicodeLines[1] + L"\r\n" + kUnicodeLines[2]);
    // Info sheet: the encoding found.
    w->RunCommand(Cmd::N5);
    EXPECT_EQ(view.LineText(view.LineCount() - 1), L"文字ｺｰﾄﾞ     ：" + win::Utf8ToWide(r.encoding));
  }
}

TEST(Form1Text, CopyGivesShiftJisOnlyWhereItHasEveryCharacter) {
  MainWindow w;
  const auto path = w.dir() / L"u.txt";
  WriteBytes(path, Utf8(L"かな\r\n\U0001F600\r\n"));
  w.Open(path.wstring());
  auto& view = dynamic_cast<TTextControl&>(w->RichEdit1());
  view.SetSelStart({0, 0});
  view.SelectAll();
  view.CopyToClipboard();
  EXPECT_EQ(ClipboardText(CF_UNICODETEXT), L"かな\r\n\U0001F600");
  // Without an emoji the Shift-JIS form is put beside it.
  const auto other = w.dir() / L"v.txt";
  WriteBytes(other, Utf8(L"かな\r\n漢字\r\n"));
  w.Open(other.wstring());
  view.SelectAll();
  view.CopyToClipboard();
  EXPECT_EQ(ClipboardText(CF_TEXT), L"かな\r\n漢字");
}

}  // namespace
}  // namespace mirabo
