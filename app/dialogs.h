#pragma once
// The standard message boxes with their Japanese titles and buttons on any
// system language: a question ("確認", はい(&Y)/いいえ(&N)) and a notice
// ("情報", OK).
#include <windows.h>

#include <string>

namespace mirabo {

// True for "はい".
bool AskConfirm(HWND owner, const std::wstring& text);
void ShowNotice(HWND owner, const std::wstring& text);

// Tests answer the boxes instead of a user; returns the previous answerer.
struct DialogAnswerer {
  virtual ~DialogAnswerer() = default;
  virtual bool Confirm(const std::wstring& text) = 0;
  virtual void Notice(const std::wstring& text) = 0;
};
DialogAnswerer* SetDialogAnswerer(DialogAnswerer* answerer);

}  // namespace mirabo
