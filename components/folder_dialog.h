#pragma once
// TFolderDialog: the shell's folder browser rooted at the computer's drives;
// the folder chosen last is the next browse's first selection, and the
// status line shows the path of the current selection. Wide throughout, so
// folders outside the ANSI code page can be chosen.
#include <windows.h>

#include <string>

namespace mirabo {

class TFolderDialog {
 public:
  // owner: the window the browser is modal to.
  explicit TFolderDialog(HWND owner) : owner_(owner) {}
  std::wstring Title = L"フォルダーの選択";
  std::wstring Folder;  // the folder chosen last

  // True when the user confirmed a selection; Folder then holds its path,
  // or keeps its value when the selection has no path (the drives' root).
  bool Execute();

 private:
  HWND owner_;
};

// TMailAndHP: a new mail to a fixed address, or a fixed home page, opened
// by the shell with the user's own programs.
class TMailAndHP {
 public:
  std::wstring MailAddress;
  std::wstring HomePageAddress = L"http://";
  bool LastSucceeded = false;
  void SendMail();
  void OpenHomePage();

 private:
  void Open(const std::wstring& document);
};

}  // namespace mirabo
