#include "components/tray_icon.h"

#include <gtest/gtest.h>

#include "tests/app/form1_test_support.h"

namespace mirabo {
namespace {

using testing::RecordingTray;

struct Owner {
  Owner() { hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr); }
  ~Owner() { ::DestroyWindow(hwnd); }
  HWND hwnd;
};

HICON AnIcon() { return ::LoadIconW(nullptr, IDI_APPLICATION); }

TEST(TrayIcon, TipsAreCutAndUnchangedTipsCallNothing) {
  Owner owner;
  RecordingTray shell;
  TTrayIcon icon(owner.hwnd, shell);
  icon.SetIcon(AnIcon());
  icon.Loaded();
  icon.SetVisible(true);
  ASSERT_EQ(shell.Count(NIM_ADD), 1);
  const std::wstring seventy(70, L'あ');
  icon.SetTipHelp(seventy);
  EXPECT_EQ(icon.TipHelp(), seventy.substr(0, 62));
  EXPECT_EQ(shell.Count(NIM_MODIFY), 1);
  EXPECT_EQ(shell.calls.back().tip, seventy.substr(0, 62));
  icon.SetTipHelp(seventy.substr(0, 62));
  EXPECT_EQ(shell.Count(NIM_MODIFY), 1) << "the same tip again calls nothing";
  icon.SetTipHelp(L"");
  EXPECT_EQ(shell.calls.back().flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));
  icon.SetIcon(AnIcon());  // a new picture while visible: modified in place
  EXPECT_EQ(shell.Count(NIM_MODIFY), 3);
  EXPECT_EQ(shell.Count(NIM_DELETE), 0);
}

TEST(TrayIcon, MenusOpenOnPressesUnlessAutoPopupIsOff) {
  Owner owner;
  RecordingTray shell;
  TTrayIcon icon(owner.hwnd, shell);
  win::PopupMenu menu;
  icon.RBPopupMenu = &menu;
  int popups = 0;
  std::vector<TMouseButton> downs;
  icon.OnPopup = [&](win::PopupMenu& m, POINT) {
    EXPECT_EQ(&m, &menu);
    ++popups;
  };
  icon.OnMouseDown = [&](TTrayIcon&, TMouseButton b, int, int) { downs.push_back(b); };
  icon.HandleMouse(WM_RBUTTONDOWN);
  EXPECT_EQ(popups, 1);
  EXPECT_TRUE(downs.empty());
  icon.AutoPopup = false;
  icon.HandleMouse(WM_RBUTTONDOWN);
  icon.HandleMouse(WM_LBUTTONDOWN);  // no left menu: the event
  icon.HandleMouse(WM_MBUTTONDOWN);
  icon.HandleMouse(WM_RBUTTONDBLCLK);  // ignored
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(downs, (std::vector<TMouseButton>{TMouseButton::mbRight, TMouseButton::mbLeft, TMouseButton::mbMiddle}));
}

TEST(TrayIcon, InstancesAreNumberedAndNotificationsReachTheirOwn) {
  Owner owner;
  RecordingTray shell;
  auto first = std::make_unique<TTrayIcon>(owner.hwnd, shell);
  auto second = std::make_unique<TTrayIcon>(owner.hwnd, shell);
  EXPECT_EQ(second->Number(), first->Number() + 1);
  int firstClicks = 0, secondClicks = 0;
  first->OnDblClick = [&](TTrayIcon&) { ++firstClicks; };
  second->OnDblClick = [&](TTrayIcon&) { ++secondClicks; };
  ::SendMessageW(TTrayIcon::CallbackWindow(), TTrayIcon::kCallbackMessage, static_cast<WPARAM>(second->Number()),
                 WM_LBUTTONDBLCLK);
  ::SendMessageW(TTrayIcon::CallbackWindow(), TTrayIcon::kCallbackMessage, 999, WM_LBUTTONDBLCLK);  // nobody
  EXPECT_EQ(firstClicks, 0);
  EXPECT_EQ(secondClicks, 1);
  const int reused = second->Number();
  second.reset();
  EXPECT_EQ(TTrayIcon(owner.hwnd, shell).Number(), reused) << "the last number is given again";
}

TEST(TrayIcon, NoIconNoVisibilityAndRefusalsAreReported) {
  Owner owner;
  RecordingTray shell;
  TTrayIcon icon(owner.hwnd, shell);
  icon.Loaded();
  icon.SetVisible(true);
  EXPECT_FALSE(icon.Visible());
  EXPECT_TRUE(shell.calls.empty());
  icon.SetIcon(AnIcon());
  shell.refuse = true;
  try {
    icon.SetVisible(true);
    ADD_FAILURE() << "no error";
  } catch (const EMirabo& e) {
    EXPECT_STREQ(e.what(), "タスクトレイにアイコンを登録できません。");
  }
  EXPECT_FALSE(icon.Registered());
}

}  // namespace
}  // namespace mirabo
