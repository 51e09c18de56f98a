#include "app/dialogs.h"

#include <utility>

namespace mirabo {
namespace {

DialogAnswerer* g_answerer = nullptr;
HHOOK g_hook = nullptr;
bool g_question = false;

// MessageBox labels its buttons in the system's language; the program's are
// Japanese everywhere, so they are renamed as the box is activated.
LRESULT CALLBACK RenameButtons(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(wp);
    if (g_question) {
      ::SetDlgItemTextW(box, IDYES, L"はい(&Y)");
      ::SetDlgItemTextW(box, IDNO, L"いいえ(&N)");
    } else {
      ::SetDlgItemTextW(box, IDOK, L"OK");
    }
    ::UnhookWindowsHookEx(std::exchange(g_hook, nullptr));
  }
  return ::CallNextHookEx(nullptr, code, wp, lp);
}

int Show(HWND owner, const std::wstring& text, const wchar_t* title, UINT type, bool question) {
  g_question = question;
  g_hook = ::SetWindowsHookExW(WH_CBT, &RenameButtons, nullptr, ::GetCurrentThreadId());
  const int result = ::MessageBoxW(owner, text.c_str(), title, type);
  if (g_hook) ::UnhookWindowsHookEx(std::exchange(g_hook, nullptr));
  return result;
}

}  // namespace

bool AskConfirm(HWND owner, const std::wstring& text) {
  if (g_answerer) return g_answerer->Confirm(text);
  return Show(owner, text, L"確認", MB_YESNO | MB_ICONQUESTION, true) == IDYES;
}

void ShowNotice(HWND owner, const std::wstring& text) {
  if (g_answerer) return g_answerer->Notice(text);
  Show(owner, text, L"情報", MB_OK | MB_ICONINFORMATION, false);
}

DialogAnswerer* SetDialogAnswerer(DialogAnswerer* answerer) { return std::exchange(g_answerer, answerer); }

}  // namespace mirabo
