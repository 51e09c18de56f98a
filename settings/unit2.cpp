#include "settings/unit2.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cwchar>

#include "base/controls/controls.h"
#include "base/errors.h"
#include "base/picture/picture.h"
#include "base/win/dpi.h"
#include "base/win/error_handler.h"
#include "base/win/text.h"
#include "plugins/spis.h"
#include "settings/rw_ini.h"
#include "settings/setting_bindings.h"

namespace mirabo {
namespace {

constexpr const wchar_t* kPages[] = {L"動作", L"送る", L"保存設定", L"スライド", L"テキスト", L"ＩＥ",
                                     L"Ｓｕｅｓｉｅ", L"メディア", L"メール設定", L"リネーム", L"Ａｂｏｕｔ"};
constexpr int kFirstControlId = 100;

// A folder chosen with a browse button gets a "\" unless its first "\" is
// its last character (a drive root); the text is read as Shift-JIS, so a
// trail byte is never taken for "\".
std::string WithFolderSlash(const std::string& cp932) {
  size_t first = std::string::npos;
  for (size_t i = 0; i < cp932.size(); ++i) {
    const auto c = static_cast<unsigned char>(cp932[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      ++i;  // a lead byte: its trail byte is part of the character
      continue;
    }
    if (c == '\\') {
      first = i;
      break;
    }
  }
  return first != std::string::npos && first == cp932.size() - 1 ? cp932 : cp932 + "\\";
}

// The text as the settings file keeps it, or an error naming it when
// Shift-JIS cannot hold it (it would come back as something else).
std::string ToSetting(const std::wstring& text) {
  const std::string cp932 = win::WideToCp932(text);
  if (win::Cp932ToWide(cp932) != text)
    throw EConvertError(FormatMessageText("'%s' は Shift-JIS で表せない文字を含むため設定に保存できません",
                                          win::WideToUtf8(text)));
  return cp932;
}

std::wstring Trimmed(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= L' ') ++begin;
  while (end > begin && text[end - 1] <= L' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace

// One control of the dialog: its page, kind, caption or first text, place
// (96-DPI pixels on its page) and click handler. What a control stands for
// is the binding table's (settings/setting_bindings.h).
struct TForm2::Row {
  enum class Kind { CheckBox, Label, Link, Edit, Number, Button, List, Sample, Title };
  const char* name;
  int page;
  Kind kind;
  const wchar_t* text;
  int x, y, width, height;
  void (TForm2::*click)() = nullptr;
};

namespace {

using K = TForm2::Row::Kind;
using F = TForm2;
// clang-format off
const TForm2::Row kRows[] = {
    {"CheckBox2", 0, K::CheckBox, L"ダブルクリックで最大・通常切替", 8, 8, 235, 18},
    {"CheckBox5", 0, K::CheckBox, L"アイコン時タスクバーに入れる", 8, 30, 235, 18},
    {"CheckBox6", 0, K::CheckBox, L"リネームバーは隠す", 8, 52, 235, 18},
    {"CheckBox7", 0, K::CheckBox, L"窓より大きい場合のみＦｉｔＷｉｎｄｏｗ", 8, 74, 235, 18},
    {"Label18", 1, K::Label, L"ツールバーＰｏｐＵｐ用ショートカットフォルダ", 8, 8, 235, 16},
    {"Edit10", 1, K::Edit, L"", 8, 26, 188, 21},
    {"Button8", 1, K::Button, L"参照", 200, 26, 42, 21, &F::Button8Click},
    {"Label1", 2, K::Label, L"圧縮率（１：高－低：９９）", 8, 8, 235, 16},
    {"Edit1", 2, K::Number, L"", 8, 26, 60, 21},
    {"Label2", 2, K::Label, L"保存ボタンでの保存先", 8, 54, 235, 16},
    {"Edit2", 2, K::Edit, L"", 8, 72, 188, 21},
    {"Button1", 2, K::Button, L"参照", 200, 72, 42, 21, &F::Button1Click},
    {"CheckBox4", 3, K::CheckBox, L"ループする", 8, 8, 235, 18},
    {"Edit6", 3, K::Number, L"", 8, 34, 60, 21},
    {"Label12", 3, K::Label, L"秒で切り替える", 74, 37, 160, 16},
    {"RichEdit1", 4, K::Sample, L"フォントサンプル", 8, 8, 184, 90},
    {"Button3", 4, K::Button, L"変更", 198, 8, 44, 21, &F::Button3Click},
    {"Label13", 5, K::Label, L"処理する拡張子（．不要）", 8, 6, 235, 16},
    {"Edit7", 5, K::Edit, L"", 8, 24, 100, 21},
    {"Button4", 5, K::Button, L"追加", 114, 24, 42, 21, &F::Button4Click},
    {"Button5", 5, K::Button, L"削除", 160, 24, 42, 21, &F::Button5Click},
    {"Label14", 5, K::Label, L"拡張子一覧", 8, 50, 235, 16},
    {"ListBox1", 5, K::List, L"", 8, 66, 194, 50},
    {"Label15", 6, K::Label, L"ＰｌｕｇＩｎのパス", 8, 6, 235, 16},
    {"Edit8", 6, K::Edit, L"", 8, 24, 188, 21},
    {"Button6", 6, K::Button, L"参照", 200, 24, 42, 21, &F::Button6Click},
    {"Label16", 6, K::Label, L"対象拡張子", 8, 50, 235, 16},
    {"ListBox2", 6, K::List, L"", 8, 66, 194, 50},
    {"Label17", 7, K::Label, L"メディア再生時の壁紙", 8, 8, 235, 16},
    {"Edit9", 7, K::Edit, L"", 8, 26, 188, 21},
    {"Button7", 7, K::Button, L"参照", 200, 26, 42, 21, &F::Button7Click},
    {"Label8", 8, K::Label, L"バインドするメーラ", 8, 8, 235, 16},
    {"Edit3", 8, K::Edit, L"", 8, 26, 188, 21},
    {"Button2", 8, K::Button, L"参照", 200, 26, 42, 21, &F::Button2Click},
    {"Label9", 8, K::Label, L"バインドオプション", 8, 54, 235, 16},
    {"Edit4", 8, K::Edit, L"", 8, 72, 188, 21},
    {"Label11", 9, K::Label, L"リセットの値", 8, 8, 235, 16},
    {"Edit5", 9, K::Number, L"", 8, 26, 60, 21},
    {"Label3", 10, K::Title, L"Mirabo", 8, 4, 235, 36},
    {"Label4", 10, K::Label, L"Ver0.89\n(C) Mirabo の開発者", 8, 42, 235, 32},
    {"Label5", 10, K::Link, L"ヘルプのページ (mirabo_help\\help.htm)", 8, 78, 235, 16, &F::Label5Click},
    {"Label6", 10, K::Link, L"メールを書く (mailto:)", 8, 98, 235, 16, &F::Label6Click},
};
// clang-format on

int RowIndex(std::string_view name) {
  for (size_t i = 0; i < std::size(kRows); ++i)
    if (kRows[i].name == name) return static_cast<int>(i);
  return -1;
}

}  // namespace

TForm2::TForm2(ISettingsHost& host) : FolderDialog1(nullptr), host_(host) {}

TForm2::~TForm2() = default;

int TForm2::Scaled(int pixels) const { return win::Scaled(pixels, dpi_); }

HWND TForm2::Control(std::string_view name) const {
  const int i = RowIndex(name);
  if (i >= 0) return controls_[static_cast<size_t>(i)];
  // An up-down is made right after its edit box.
  const SettingBinding* b = BindingOf(name);
  return b && b->upDown == name ? ::GetWindow(Control(b->control), GW_HWNDNEXT) : nullptr;
}

std::wstring TForm2::TextOf(std::string_view name) const {
  const HWND hwnd = Control(name);
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TForm2::SetText(std::string_view name, const std::wstring& text) { ::SetWindowTextW(Control(name), text.c_str()); }

bool TForm2::Checked(std::string_view name) const {
  return ::SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::wstring> TForm2::ListItems(std::string_view name) const {
  const HWND list = Control(name);
  std::vector<std::wstring> items;
  const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring item(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, L'\0');
    item.resize(static_cast<size_t>(::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()))));
    items.push_back(item);
  }
  return items;
}

int TForm2::CurrentPage() const { return static_cast<int>(::SendMessageW(tab_, TCM_GETCURSEL, 0, 0)); }

void TForm2::SelectPage(int page) {
  ::SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  for (size_t i = 0; i < pages_.size(); ++i) ::ShowWindow(pages_[i], static_cast<int>(i) == page ? SW_SHOW : SW_HIDE);
}

void TForm2::Create() {
  RegisterClassOnce(L"TForm2", 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  CreateFor(WS_EX_DLGMODALFRAME, L"TForm2", L"設定他", style, 0, 0, 0, 0, host_.OwnerWindow());
  dpi_ = win::DpiOf(Handle());
  FolderDialog1 = TFolderDialog(Handle());
  FolderDialog1.Title = L"フォルダーの選択";
  // No author's addresses of our own to give: the About page opens the
  // program's help page, and a new mail without an address.
  MailAndHP1.HomePageAddress = win::Cp932ToWide(host_.ExeFolder()) + L"mirabo_help\\help.htm";
  MailAndHP1.MailAddress.clear();
  CreateControls();
  Arrange();
  FormCreate();
}

void TForm2::CreateControls() {
  const HWND self = Handle();
  tab_ = win::CreateChild(WC_TABCONTROLW, L"", WS_VISIBLE | WS_CLIPSIBLINGS, self);
  for (size_t i = 0; i < std::size(kPages); ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kPages[i]);
    ::SendMessageW(tab_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  // The pages are windows of the dialog over the tab's display area; their
  // controls' notifications come back here.
  for (size_t i = 0; i < std::size(kPages); ++i) {
    const HWND page = win::CreateChild(L"STATIC", L"", WS_CLIPSIBLINGS | SS_NOTIFY, self);
    win::FilterMessages(page, [this](HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
      if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
        result = ::SendMessageW(Handle(), msg, wp, lp);
        return true;
      }
      return false;
    });
    pages_.push_back(page);
  }
  for (size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    const HWND page = pages_[static_cast<size_t>(row.page)];
    const int id = kFirstControlId + static_cast<int>(i);
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_VISIBLE | WS_TABSTOP, exStyle = 0;
    switch (row.kind) {
      case Row::Kind::CheckBox: cls = L"BUTTON", style |= BS_AUTOCHECKBOX; break;
      case Row::Kind::Label: style = WS_VISIBLE | SS_NOPREFIX; break;
      case Row::Kind::Title: style = WS_VISIBLE | SS_NOPREFIX; break;
      case Row::Kind::Link: style = WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX; break;
      case Row::Kind::Edit:
      case Row::Kind::Number: cls = L"EDIT", style |= ES_AUTOHSCROLL, exStyle = WS_EX_CLIENTEDGE; break;
      case Row::Kind::Button: cls = L"BUTTON", style |= BS_PUSHBUTTON; break;
      case Row::Kind::List: cls = L"LISTBOX", style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, exStyle = WS_EX_CLIENTEDGE; break;
      case Row::Kind::Sample:
        cls = L"EDIT", style = WS_VISIBLE | ES_MULTILINE | ES_READONLY, exStyle = WS_EX_CLIENTEDGE;
        break;
    }
    const HWND control = win::CreateChild(cls, row.text, style, page, id, exStyle);
    controls_.push_back(control);
    if (row.kind == Row::Kind::Number) {
      // Step 1, no wrap, no thousands separators; typed text is not limited.
      const HWND upDown = win::CreateChild(UPDOWN_CLASSW, L"",
                                           WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_NOTHOUSANDS,
                                           page);
      ::SetWindowPos(upDown, control, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      const SettingBinding* number = BindingOf(row.name);
      ::SendMessageW(upDown, UDM_SETRANGE32, static_cast<WPARAM>(number->low), number->high);
    }
  }
  SelectPage(0);
}

void TForm2::Arrange() {
  // The client area 259 x 154 at 96 DPI, scaled.
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE));
  RECT r{0, 0, Scaled(259), Scaled(154)};
  ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  ::SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const HFONT font = win::InterfaceFont(dpi_);
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ::SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  RECT client{};
  ::GetClientRect(Handle(), &client);
  ::MoveWindow(tab_, 0, 0, client.right, client.bottom, TRUE);
  RECT area = client;
  ::SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (const HWND page : pages_)
    ::SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
  LOGFONTW lf{};
  ::GetObjectW(font, sizeof lf, &lf);
  lf.lfUnderline = TRUE;
  linkFont_.Reset(::CreateFontIndirectW(&lf));
  lf.lfUnderline = FALSE;
  lf.lfHeight = -Scaled(28);
  lf.lfWeight = FW_BOLD;
  lf.lfItalic = TRUE;
  titleFont_.Reset(::CreateFontIndirectW(&lf));
  fittedFonts_.clear();
  const int pageWidth = area.right - area.left;
  for (size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    const HWND control = controls_[i];
    HFONT own = font;
    if (row.kind == Row::Kind::Title) own = titleFont_.Get();
    if (row.kind == Row::Kind::Link) own = linkFont_.Get();
    if (row.kind != Row::Kind::Sample) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(own), FALSE);
    const int width = FittedWidth(row, control, pageWidth - Scaled(row.x) - Scaled(4));
    ::MoveWindow(control, Scaled(row.x), Scaled(row.y), width, Scaled(row.height), TRUE);
    if (row.kind == Row::Kind::Number)
      ::SendMessageW(::GetWindow(control, GW_HWNDNEXT), UDM_SETBUDDY, reinterpret_cast<WPARAM>(control), 0);
  }
  if (!sampleFace_.empty()) SetSampleFont(sampleFace_, sampleSize_);
}

int TForm2::FittedWidth(const Row& row, HWND control, int available) {
  const int width = Scaled(row.width);
  const bool caption = row.kind == Row::Kind::CheckBox || row.kind == Row::Kind::Label ||
                       row.kind == Row::Kind::Link || row.kind == Row::Kind::Title;
  if (!caption || std::wcschr(row.text, L'\n')) return width;
  // The check box's box and the gap after it come before its text.
  const int extra = row.kind == Row::Kind::CheckBox ? Scaled(20) : 0;
  const int needed = win::TextExtent(control, row.text).cx + extra;
  if (needed <= width) return width;
  if (needed <= available) return needed;
  // No room on the page: the same face, smaller, until the text fits (a
  // substituted Japanese font may run wider than the one the page was
  // drawn for).
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  const int height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  win::UniqueFont smaller;
  for (int h = height - 1; h >= std::max(1, height / 2); --h) {
    lf.lfHeight = -h;
    win::UniqueFont next(::CreateFontIndirectW(&lf));
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(next.Get()), FALSE);
    smaller = std::move(next);  // the one the control used before goes now
    if (win::TextExtent(control, row.text).cx + extra <= available) break;
  }
  fittedFonts_.push_back(std::move(smaller));
  return available;
}

void TForm2::SetSampleFont(const std::wstring& face, int size) {
  sampleFace_ = face;
  sampleSize_ = size;
  sampleFont_.Reset(::CreateFontW(-::MulDiv(std::max(size, 1), dpi_, 72), 0, 0,
                                  0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, face.c_str()));
  ::SendMessageW(Control("RichEdit1"), WM_SETFONT, reinterpret_cast<WPARAM>(sampleFont_.Get()), TRUE);
}

void TForm2::FormCreate() {
  Settings& s = host_.settings();
  for (const SettingBinding* b : InFillOrder()) {
    switch (b->kind) {
      case BindingKind::Number: {
        // Up-down positions are 16-bit: the value's low 16 bits, shown
        // within the box's range.
        const int shown = std::clamp<int>(static_cast<short>(s.*(b->integer) & 0xFFFF), b->low, b->high);
        ::SendMessageW(Control(b->upDown), UDM_SETPOS32, 0, shown);
        break;
      }
      case BindingKind::Text: SetText(b->control, win::Cp932ToWide(s.*(b->text))); break;
      case BindingKind::Flag:
        ::SendMessageW(Control(b->control), BM_SETCHECK, s.*(b->integer) ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case BindingKind::Font: SetSampleFont(host_.TextFontName(), host_.TextFontSize()); break;
      case BindingKind::BrowserList: {
        const HWND list = Control(b->control);
        ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const std::string& ext : host_.BrowserList())
          ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Cp932ToWide(ext).c_str()));
        break;
      }
      case BindingKind::Plugins:
        // A search that fails is reported and the filling goes on: no box
        // may carry anything but the current settings back when the dialog
        // closes.
        SearchPlugins(s.SusiePath);
        break;
      case BindingKind::LaunchMenu: break;
    }
  }
}

void TForm2::SearchPlugins(const std::string& folder) {
  ::SendMessageW(Control("ListBox2"), LB_RESETCONTENT, 0, 0);
  if (!folder.empty()) {
    try {
      host_.SPIs1().Search(win::WideToUtf8(win::Cp932ToWide(folder)) + host_.SPIs1().Mask);
    } catch (const std::exception& e) {
      HandleError(Handle(), e);
    }
  }
  ListPlugins();
}

void TForm2::Apply() {
  // Validate let the dialog close only with values every step can take:
  // nothing below fails half-way.
  Settings& s = host_.settings();
  for (const SettingBinding* b : InApplyOrder()) {
    switch (b->kind) {
      case BindingKind::Number: s.*(b->integer) = *ParseInteger(win::WideToCp932(TextOf(b->control))); break;
      case BindingKind::Text: s.*(b->text) = win::WideToCp932(TextOf(b->control)); break;
      case BindingKind::Flag: s.*(b->integer) = Checked(b->control) ? 1 : 0; break;
      case BindingKind::Font:
        host_.SetTextFont(sampleFace_, sampleSize_);
        s.FontName = win::WideToCp932(host_.TextFontName());
        s.FontSize = host_.TextFontSize();
        break;
      case BindingKind::BrowserList: {
        std::vector<std::string>& list = host_.BrowserList();
        list.clear();
        for (const std::wstring& ext : ListItems(b->control)) list.push_back(win::WideToCp932(ext));
        break;
      }
      case BindingKind::LaunchMenu: host_.RebuildLaunchMenu(); break;
      case BindingKind::Plugins: break;
    }
  }
}

void TForm2::ListPlugins() {
  const HWND list = Control("ListBox2");
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  TSPIs& spis = host_.SPIs1();
  for (int i = 0; i < spis.Count(); ++i) {
    const auto& lines = spis.Items(i).Extensions();
    if (lines.empty()) continue;  // a plug-in without patterns lists nothing
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Cp932ToWide(lines.front()).c_str()));
  }
}

void TForm2::BrowseFolder(std::string_view edit, std::string& setting, bool searchPlugins) {
  if (!FolderDialog1.Execute()) return;
  setting = WithFolderSlash(ToSetting(FolderDialog1.Folder));
  SetText(edit, win::Cp932ToWide(setting));
  if (searchPlugins) SearchPlugins(setting);
}

void TForm2::Button1Click() { BrowseFolder("Edit2", host_.settings().SavePath, false); }
void TForm2::Button6Click() { BrowseFolder("Edit8", host_.settings().SusiePath, true); }
void TForm2::Button8Click() { BrowseFolder("Edit10", host_.settings().SendTo, false); }

void TForm2::BrowseFile(std::string_view edit, std::string& setting, const wchar_t* filter, bool loadBackground) {
  std::wstring file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Handle();
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&ofn)) return;
  file.resize(file.find(L'\0'));
  setting = ToSetting(file);
  SetText(edit, file);
  if (loadBackground) host_.LoadMediaBackground(file);
}

void TForm2::Button2Click() {
  BrowseFile("Edit3", host_.settings().MailPath, L"実行ﾌｧｲﾙ(*.exe)\0*.exe\0", false);
}

void TForm2::Button7Click() {
  BrowseFile("Edit9", host_.settings().MediaBack, L"画像ﾌｧｲﾙ(*.jpg,*.jpeg,*.bmp)\0*.jpg;*.jpeg;*.bmp\0", true);
}

void TForm2::Button3Click() {
  LOGFONTW lf{};
  if (sampleFont_) ::GetObjectW(sampleFont_.Get(), sizeof lf, &lf);
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = Handle();
  cf.lpLogFont = &lf;
  cf.iPointSize = sampleSize_ * 10;
  cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_SCREENFONTS;
  // On a cancel the dialog's font is still the one it started with.
  if (::ChooseFontW(&cf)) SetSampleFont(lf.lfFaceName, std::max(cf.iPointSize / 10, 1));
}

void TForm2::Button4Click() {
  const std::wstring ext = Trimmed(TextOf("Edit7"));
  if (ext.empty()) return;
  ::SendMessageW(Control("ListBox1"), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ext.c_str()));
  SetText("Edit7", L"");
}

void TForm2::Button5Click() {
  const HWND list = Control("ListBox1");
  const auto selected = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (selected != LB_ERR) ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
}

void TForm2::Label5Click() { MailAndHP1.OpenHomePage(); }
void TForm2::Label6Click() { MailAndHP1.SendMail(); }

bool TForm2::Validate() {
  const auto fail = [this](std::string_view box, const std::exception& e) {
    SelectPage(kRows[static_cast<size_t>(RowIndex(box))].page);
    HandleError(Handle(), e);
    ::SetFocus(Control(box));
    ::SendMessageW(Control(box), EM_SETSEL, 0, -1);
    return false;
  };
  // In the order the values are taken back; the numbers first, as their
  // errors are the ones the user most likely made.
  const std::vector<const SettingBinding*> order = InApplyOrder();
  for (const SettingBinding* b : order) {
    if (b->kind != BindingKind::Number) continue;
    const std::wstring text = TextOf(b->control);
    if (!ParseInteger(win::WideToCp932(text)))
      return fail(b->control, EConvertError(FormatMessageText("'%s' は整数ではありません", win::WideToUtf8(text))));
  }
  for (const SettingBinding* b : order) {
    try {
      if (b->kind == BindingKind::Text) ToSetting(TextOf(b->control));
      if (b->kind == BindingKind::BrowserList)
        for (const std::wstring& ext : ListItems(b->control)) ToSetting(ext);
    } catch (const EConvertError& e) {
      // An extension is typed in the box above the list.
      return fail(b->kind == BindingKind::Text ? b->control : "Edit7", e);
    }
  }
  return true;
}

void TForm2::ShowModal() {
  RECT main{};
  ::GetWindowRect(host_.OwnerWindow(), &main);
  ::SetWindowPos(Handle(), HWND_TOP, main.left + Scaled(80), main.top, 0, 0, SWP_NOSIZE);
  const HWND owner = host_.OwnerWindow();
  ::EnableWindow(owner, FALSE);
  ::ShowWindow(Handle(), SW_SHOW);
  ::SetForegroundWindow(Handle());
  MSG msg;
  while (!closed_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
      break;
    }
    if (::IsDialogMessageW(Handle(), &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::EnableWindow(owner, TRUE);
  ::ShowWindow(Handle(), SW_HIDE);
  ::SetActiveWindow(owner);
}

void TForm2::Command(int id, int code) {
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(std::size(kRows))) return;
  const Row& row = kRows[static_cast<size_t>(index)];
  const bool clicked = (row.kind == Row::Kind::Button && code == BN_CLICKED) ||
                       (row.kind == Row::Kind::Link && code == STN_CLICKED);
  if (clicked && row.click) (this->*row.click)();
}

LRESULT TForm2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      Command(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->hwndFrom == tab_ && hdr->code == TCN_SELCHANGE) SelectPage(CurrentPage());
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // The links look like links.
      const HWND control = reinterpret_cast<HWND>(lp);
      if (control == Control("Label5") || control == Control("Label6")) {
        ::SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 238));
        ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      return DefaultProc(msg, wp, lp);
    }
    case WM_DPICHANGED:
      dpi_ = LOWORD(wp);
      Arrange();
      return 0;
    case WM_CLOSE:
      // Every close applies: only values that can be taken may leave.
      if (Validate()) closed_ = true;
      return 0;
    default:
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
