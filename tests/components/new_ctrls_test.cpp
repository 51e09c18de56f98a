#include "components/new_ctrls.h"

#include <gtest/gtest.h>

#include "tests/app/form1_test_support.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;

// A plain window of the test's own to drop on.
struct Target {
  Target() {
    hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  }
  ~Target() {
    if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
  }
  bool AcceptsFiles() const { return (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }
  HWND hwnd;
};

void DropOn(HWND hwnd, const std::vector<std::wstring>& paths, POINT at) { testing::SendDrop(hwnd, paths, at); }

TEST(FileDrop, DeliversEveryPathInOrderAtFullLengthWithThePoint) {
  Target t;
  TFileDrop drop(t.hwnd);
  drop.Loaded();
  EXPECT_EQ(drop.HookedWindow(), t.hwnd);
  EXPECT_TRUE(t.AcceptsFiles());
  std::vector<std::wstring> got;
  int num = -1, x = -1, y = -1;
  drop.OnFileDrop = [&](TFileDrop& sender, int n, const std::vector<std::wstring>& files, int px, int py) {
    EXPECT_EQ(&sender, &drop);
    num = n;
    got = files;
    x = px;
    y = py;
  };
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L"\\photo.jpg";
  DropOn(t.hwnd, {L"C:\\one.jpg", longPath, L"C:\\folder"}, {12, 34});
  EXPECT_EQ(num, 3);
  EXPECT_EQ(got, (std::vector<std::wstring>{L"C:\\one.jpg", longPath, L"C:\\folder"}));
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 34);
  // Other messages still reach the window's own procedure.
  ::SetWindowTextW(t.hwnd, L"still mine");
  wchar_t text[32] = {};
  ::GetWindowTextW(t.hwnd, text, 32);
  EXPECT_STREQ(text, L"still mine");
}

TEST(FileDrop, AcceptRegistersAtOnceAndADestroyedControlTurnsItOff) {
  Target owner, control;
  TFileDrop drop(owner.hwnd);
  drop.SetAccept(false);
  drop.SetControl(control.hwnd);
  EXPECT_FALSE(control.AcceptsFiles());
  drop.SetAccept(true);
  EXPECT_TRUE(control.AcceptsFiles());
  ::DestroyWindow(control.hwnd);
  EXPECT_EQ(drop.Control(), nullptr);
  EXPECT_FALSE(drop.Accept());
}

TEST(FileDrop, ErrorsInTheHandlerAreShownAndNothingElseBreaks) {
  Target t;
  TFileDrop drop(t.hwnd);
  drop.Loaded();
  DropOn(t.hwnd, {L"C:\\a"}, {0, 0});  // no handler: released, no effect
  drop.OnFileDrop = [](TFileDrop&, int, const std::vector<std::wstring>&, int, int) {
    throw EMirabo("handler failed");
  };
  ErrorRecorder errors;
  DropOn(t.hwnd, {L"C:\\a"}, {0, 0});
  EXPECT_EQ(errors.messages, std::vector<std::string>{"handler failed"});
  EXPECT_EQ(drop.HookedWindow(), t.hwnd);
}

TEST(FileDrop, WithoutATargetHookingFails) {
  TFileDrop drop(nullptr);
  try {
    drop.Loaded();
    ADD_FAILURE() << "no error";
  } catch (const EMirabo& e) {
    EXPECT_STREQ(e.what(), "Invalidate Window Handle in FileDrop");
  }
}

}  // namespace
}  // namespace mirabo
