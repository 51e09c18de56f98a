// The standard boxes speak Japanese whatever the system's language.
#include "app/dialogs.h"

#include <gtest/gtest.h>

#include <string>

namespace mirabo {
namespace {

struct Seen {
  std::wstring title, yes, no, ok;
  int press = IDYES;
};
Seen* g_seen = nullptr;

// While the box is open, read its title and buttons, then press one.
void CALLBACK InspectBox(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM out) -> BOOL {
    wchar_t cls[16] = {};
    ::GetClassNameW(w, cls, 16);
    if (std::wstring(cls) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  ::KillTimer(nullptr, id);
  wchar_t text[64] = {};
  ::GetWindowTextW(box, text, 64);
  g_seen->title = text;
  const auto item = [&](int ctl) {
    wchar_t t[64] = {};
    ::GetDlgItemTextW(box, ctl, t, 64);
    return std::wstring(t);
  };
  g_seen->yes = item(IDYES);
  g_seen->no = item(IDNO);
  g_seen->ok = item(IDOK);
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(g_seen->press, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, g_seen->press)));
}

TEST(Dialogs, QuestionsAndNoticesHaveJapaneseTitlesAndButtons) {
  for (const int press : {IDYES, IDNO}) {
    Seen seen;
    seen.press = press;
    g_seen = &seen;
    ::SetTimer(nullptr, 0, 50, &InspectBox);
    const bool answer = AskConfirm(nullptr, L"上書きしますか？");
    EXPECT_EQ(answer, press == IDYES);
    EXPECT_EQ(seen.title, L"確認");
    EXPECT_EQ(seen.yes, L"はい(&Y)");
    EXPECT_EQ(seen.no, L"いいえ(&N)");
  }
  Seen seen;
  seen.press = IDOK;
  g_seen = &seen;
  ::SetTimer(nullptr, 0, 50, &InspectBox);
  ShowNotice(nullptr, L"お知らせ");
  EXPECT_EQ(seen.title, L"情報");
  EXPECT_EQ(seen.ok, L"OK");
  g_seen = nullptr;
}

}  // namespace
}  // namespace mirabo
