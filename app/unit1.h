#pragma once
// The main window.
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/win/window.h"
#include "settings/file_store.h"
#include "settings/rw_ini.h"

namespace mirabo {

// What the main window is given by the program's start (or by a test).
struct Form1Environment {
  Settings& settings;                 // the process-wide settings
  FileStore& files;                   // where the settings file is read and written
  std::filesystem::path iniPath;      // the executable's path with ".INI"
  std::string exeFolder;              // CP932, with its trailing "\"
  std::vector<std::wstring> arguments;  // the command line after the program name
};

class TForm1 : public win::Window<TForm1> {
 public:
  static constexpr const wchar_t* kClassName = L"TForm1";

  explicit TForm1(Form1Environment env);
  ~TForm1();

  // Creates the (hidden) window; FormCreate runs before this returns.
  void Create();

  // Event handlers.
  void FormCreate();
  // The close handler; false keeps the window open (the settings could not
  // be saved, and the user has been told).
  bool FormClose();

  // The settings store's two operations on this window's settings and list.
  void LoadSettings();
  void SaveSettings();

  Settings& settings() { return env_.settings; }
  const std::filesystem::path& iniPath() const { return env_.iniPath; }

  // The browser extension list (the hidden list box's items).
  std::vector<std::string> ListBoxIE;

  // Called once the window is gone; the program's start posts WM_QUIT here.
  std::function<void()> OnDestroyed;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void StoreWindowRect();

  Form1Environment env_;
};

}  // namespace mirabo
