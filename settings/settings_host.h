#pragma once
// What the settings dialog asks of the main window, and nothing more: the
// settings themselves, the text view's font, the browser extension list,
// the plug-in registry, the media background and the launch menu.
#include <windows.h>

#include <string>
#include <vector>

#include "settings/rw_ini.h"

namespace mirabo {

class TSPIs;

class ISettingsHost {
 public:
  virtual ~ISettingsHost() = default;
  // The window the dialog belongs to and is placed beside.
  virtual HWND OwnerWindow() const = 0;
  virtual Settings& settings() = 0;
  // The program's folder (CP932, with its "\"), where the help page lives.
  virtual const std::string& ExeFolder() const = 0;
  virtual std::wstring TextFontName() const = 0;
  virtual int TextFontSize() const = 0;
  virtual void SetTextFont(const std::wstring& face, int pointSize) = 0;
  virtual std::vector<std::string>& BrowserList() = 0;
  virtual TSPIs& SPIs1() = 0;
  // Loads the picture behind the media view at once; errors are raised.
  virtual void LoadMediaBackground(const std::wstring& file) = 0;
  // The launch menu emptied and built again from the SendTo folder.
  virtual void RebuildLaunchMenu() = 0;
};

}  // namespace mirabo
