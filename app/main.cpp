// The program's start: the application, the main window from the settings,
// and the message loop until the main window closes.
#include <windows.h>
#include <shellapi.h>

#include "app/application.h"
#include "app/unit1.h"
#include "base/win/error_handler.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "settings/unit2.h"
#include "settings/win_file_store.h"

namespace {

std::vector<std::wstring> CommandLineArguments() {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < count; ++i) args.emplace_back(argv[i]);
  if (argv) ::LocalFree(argv);
  return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  using namespace mirabo;
  TApplication::Initialize();
  try {
    static Settings settings;  // process-wide, for the whole run
    win::WinFileStore files;
    const std::wstring exe = win::ExecutablePath();
    TForm1 form({settings, files, IniPathForExecutable(exe), win::WideToCp932(win::FolderWithSlash(exe)),
                 CommandLineArguments()});
    form.OnDestroyed = [] { ::PostQuitMessage(0); };
    form.Create();
    // The settings dialog made at start is never shown: it is filled once
    // (its plug-in search included) and stays hidden until the end.
    TForm2 hiddenSettings(form);
    hiddenSettings.Create();
    ::ShowWindow(form.Handle(), showCommand);
    ::UpdateWindow(form.Handle());
    return TApplication::Run([&form](MSG& msg) { return form.PreTranslateMessage(msg); });
  } catch (const std::exception& e) {
    ShowErrorBox(nullptr, e);
    return 1;
  }
}
