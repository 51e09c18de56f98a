// The rename bar: new names composed from its boxes, rename-and-advance,
// and delete-and-advance.
#include <windows.h>
#include <commctrl.h>

#include "app/dialogs.h"
#include "app/rename.h"
#include "app/unit1.h"
#include "base/errors.h"
#include "base/win/file_ops.h"
#include "base/win/paths.h"
#include "base/win/text.h"

namespace mirabo {

void TForm1::EditFixChange() { UpdateNamePreview(); }

void TForm1::UpdateNamePreview() {
  std::optional<CivilDate> date;
  if (::SendMessageW(WindowOf("CheckBoxDate"), BM_GETCHECK, 0, 0) == BST_CHECKED) {
    SYSTEMTIME t{};
    if (const auto written = win::LastWriteLocalTime(CurrentPath)) t = *written;
    else ::GetLocalTime(&t);
    date = CivilDate{t.wYear, t.wMonth, t.wDay};
  }
  const std::wstring counterText = TextOf("EditCou");
  const auto counter = ParseBoxInteger(counterText);
  if (!counter) throw EConvertError(FormatMessageText("'%s' は整数ではありません", win::WideToUtf8(counterText)));
  const std::wstring digitsText = TextOf("EditDegit");
  const auto digits = ParseDigitCount(digitsText);
  if (!digits)
    throw EConvertError(FormatMessageText("書式 '%s' が無効か，引数と互換性がありません",
                                          win::WideToUtf8(L"%." + digitsText + L"d")));
  const std::wstring name = ComposeNewName(TextOf("EditFix"), date, *digits, *counter);
  panelFName_.SetCaption(name);
  SetHint(panelFName_.Handle(), name);
}

void TForm1::ToolButton20Click() {
  ::SendMessageW(WindowOf("UpDown2"), UDM_SETPOS32, 0, settings().Init);
}

void TForm1::ToolButton19Click() {
  if (CurrentPath.empty()) return;
  const std::wstring name = panelFName_.Caption();
  const std::wstring newPath = std::wstring(FolderOf(CurrentPath)) + name;
  if (win::PathExists(newPath)) {
    ShowNotice(Handle(), L"同名のファイルが既に存在します。\n\rそのファイルを処理してからやりなおしてください。");
    return;
  }
  // Refused before anything changes: the rename would fail or, for device
  // names, reach a device instead of a file.
  if (!IsUsableFileName(name))
    throw EMirabo(FormatMessageText("'%s' はファイル名として使えません", win::WideToUtf8(name)));
  // A rename that fails leaves the list, the path and the counter as they
  // were, so they never show a name the file does not have.
  if (!::MoveFileW(win::ExtendedPath(CurrentPath).c_str(), win::ExtendedPath(newPath).c_str()))
    throw EInOutError(FormatMessageText("ファイル %s の名前を %s に変更できません", win::WideToUtf8(CurrentPath),
                                        win::WideToUtf8(name)));
  CurrentPath = newPath;
  const int count = FileListBox1.Count();
  if (CurrentIndex >= 0 && CurrentIndex < count) FileListBox1.Replace(CurrentIndex, name);
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  if (CurrentIndex != count - 1) {
    const HWND upDown = WindowOf("UpDown2");
    BOOL failed = FALSE;
    const auto position = static_cast<int>(::SendMessageW(upDown, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    ::SendMessageW(upDown, UDM_SETPOS32, 0, position + 1);
    ToolButton18Click();
  }
}

void TForm1::ToolButton29Click() {
  if (CurrentPath.empty()) return;
  if (FileListBox1.Count() == 0) {
    imageJpg_.SetPicture(Picture());
    return;
  }
  // A file that cannot be deleted (read-only, held open) stays in the list:
  // removing it would hide a file that is still there.
  if (win::IsExistingFile(CurrentPath) && !::DeleteFileW(win::ExtendedPath(CurrentPath).c_str()))
    throw EInOutError(FormatMessageText("ファイル %s を削除できません", win::WideToUtf8(CurrentPath)));
  if (CurrentIndex >= 0 && CurrentIndex < FileListBox1.Count()) FileListBox1.RemoveAt(CurrentIndex);
  const int count = FileListBox1.Count();
  if (count > 0) {
    if (count == CurrentIndex) {
      ToolButton17Click();
    } else {
      --CurrentIndex;
      ToolButton18Click();
    }
  } else {
    imageJpg_.SetPicture(Picture());
    CurrentIndex = 0;
  }
  SetCounter();
}

}  // namespace mirabo
