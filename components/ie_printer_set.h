#pragma once
// TiePrinterSet: prints the page shown in the web browser and, when Enabled,
// fills the browser's own page-setup and print dialogs with preset values
// without the user seeing them: it asks the browser for the dialog, takes
// the moment the dialog takes the focus from the owner window, writes the
// values into the dialog's controls and presses OK.
#include <windows.h>

#include <string>

#include "viewers/platform_controls.h"

namespace mirabo {

enum class TIePortrait { Vertical, Horizon };
enum class TiePrintFrameStyle { displayed, select, Individual };

class TiePrinterSet {
 public:
  // Reads the browser's page setup from the user's registry.
  TiePrinterSet();

  void SetWebBrowser(IWebBrowser* browser) { browser_ = browser; }

  std::wstring mTop, mLeft, mRight, mBottom;
  std::wstring paperSize;
  std::wstring printer;
  int Copies = 1;
  TIePortrait Portrait = TIePortrait::Vertical;
  std::wstring header, Footer;
  TiePrintFrameStyle FrameStyle = TiePrintFrameStyle::displayed;
  bool Enabled = false;

  void Print();
  void PageSetup();
  // With Enabled, page setup then print; otherwise the browser's print
  // command as it is (its own print dialog).
  void PrintWithSettings();
  // Every WM_ACTIVATE of the owner window.
  void HandleActivate(WPARAM wp, LPARAM lp);

 private:
  void ReadPageSetup();
  void Request(int command, int option, bool& pending);

  IWebBrowser* browser_ = nullptr;
  bool automating_ = false, printPending_ = false, setupPending_ = false;
};

}  // namespace mirabo
