#include "app/unit1.h"

#include "app/application.h"
#include "app/win/text.h"

namespace mirabo {
namespace {
// The icon resource of the executable; test programs have none.
HICON ProgramIcon() {
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  return icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}
}  // namespace

TForm1::TForm1(Form1Environment env) : env_(std::move(env)) {}

TForm1::~TForm1() = default;

void TForm1::Create() {
  RegisterClassOnce(kClassName, CS_DBLCLKS, ProgramIcon(),
                    reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  if (!CreateFor(0, kClassName, TApplication::Title(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr))
    throw std::runtime_error("the main window could not be created (error " +
                             std::to_string(::GetLastError()) + ")");
  FormCreate();
}

void TForm1::FormCreate() {
  LoadSettings();
  const Settings& s = settings();
  ::SetWindowPos(Handle(), nullptr, s.Left, s.Top, s.Width, s.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::LoadSettings() {
  LoadSettingsFile(env_.files, env_.iniPath, env_.exeFolder, env_.settings, ListBoxIE);
}

void TForm1::SaveSettings() { SaveSettingsFile(env_.files, env_.iniPath, env_.settings, ListBoxIE); }

void TForm1::StoreWindowRect() {
  // A maximised or minimised window keeps the rectangle of its normal state.
  if (::IsZoomed(Handle()) || ::IsIconic(Handle())) return;
  RECT r{};
  ::GetWindowRect(Handle(), &r);
  Settings& s = settings();
  s.Top = r.top;
  s.Left = r.left;
  s.Width = r.right - r.left;
  s.Height = r.bottom - r.top;
}

bool TForm1::FormClose() {
  StoreWindowRect();
  SaveSettings();
  return true;
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      // An error in the close handler (the save failed) keeps the window
      // open; the next attempt to close saves again.
      try {
        if (FormClose()) ::DestroyWindow(Handle());
      } catch (const std::exception& e) {
        HandleError(Handle(), e);
      }
      return 0;
    case WM_DESTROY:
      if (OnDestroyed) OnDestroyed();
      return 0;
    default:
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
