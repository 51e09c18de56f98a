#include "components/ie_printer_set.h"

#include "components/ie_page_setup.h"

namespace mirabo {
namespace {

// The controls of the platform's page-setup and print dialogs.
enum : int {
  kOk = 1,
  kPortrait = 1056,
  kLandscape = 1057,
  kFrameDisplayed = 1059,
  kFrameSelect = 1060,
  kFrameIndividual = 1061,
  kPaper = 1137,
  kPrinter = 1139,
  kCopies = 1154,
  kMarginLeft = 1155,
  kMarginTop = 1156,
  kMarginRight = 1157,
  kMarginBottom = 1158,
  kHeader = 8147,
  kFooter = 8149,
};

std::wstring RegistryText(HKEY key, const wchar_t* name) {
  DWORD type = 0, bytes = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return {};
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
    return {};
  text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
  return text;
}

void Click(HWND dialog, int id) { ::SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0); }

void Select(HWND dialog, int id, const std::wstring& text) {
  ::SendDlgItemMessageW(dialog, id, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
}

void HideDialog(HWND dialog) { ::SetWindowPos(dialog, nullptr, -600, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE); }

}  // namespace

TiePrinterSet::TiePrinterSet() {
  ReadPageSetup();
  Portrait = TIePortrait::Vertical;
  paperSize = L"A4";
}

void TiePrinterSet::ReadPageSetup() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\PageSetup", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return;
  wchar_t separator[8] = L".";
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  header = RegistryText(key, L"header");
  Footer = RegistryText(key, L"footer");
  mLeft = CleanMargin(RegistryText(key, L"margin_left"), separator);
  mRight = CleanMargin(RegistryText(key, L"margin_right"), separator);
  mTop = CleanMargin(RegistryText(key, L"margin_top"), separator);
  mBottom = CleanMargin(RegistryText(key, L"margin_bottom"), separator);
  ::RegCloseKey(key);
}

void TiePrinterSet::Request(int command, int option, bool& pending) {
  if (!browser_) return;
  if (Enabled) {
    automating_ = true;
    pending = true;
  }
  // The dialog is modal inside the call: it is filled meanwhile, from the
  // owner's activation messages.
  struct Done {
    bool& automating;
    ~Done() { automating = false; }
  } done{automating_};
  browser_->ExecWB(command, option);
}

void TiePrinterSet::Print() { Request(6, 0, printPending_); }
void TiePrinterSet::PageSetup() { Request(8, 8, setupPending_); }

void TiePrinterSet::PrintWithSettings() {
  if (Enabled) {
    PageSetup();
    Print();
  } else if (browser_) {
    browser_->ExecWB(6, 0);
  }
}

void TiePrinterSet::HandleActivate(WPARAM wp, LPARAM lp) {
  if (LOWORD(wp) != WA_INACTIVE) return;
  // The window taking the focus is taken to be the browser's dialog.
  const HWND dialog = reinterpret_cast<HWND>(lp);
  if (setupPending_ && Enabled) {
    setupPending_ = false;
    if (automating_) HideDialog(dialog);
    Click(dialog, Portrait == TIePortrait::Vertical ? kPortrait : kLandscape);
    Select(dialog, kPaper, paperSize);
    ::SetDlgItemTextW(dialog, kHeader, header.c_str());
    ::SetDlgItemTextW(dialog, kFooter, Footer.c_str());
    ::SetDlgItemTextW(dialog, kMarginLeft, mLeft.c_str());
    ::SetDlgItemTextW(dialog, kMarginTop, mTop.c_str());
    ::SetDlgItemTextW(dialog, kMarginRight, mRight.c_str());
    ::SetDlgItemTextW(dialog, kMarginBottom, mBottom.c_str());
    Click(dialog, kOk);
  } else if (printPending_ && Enabled) {
    printPending_ = false;
    if (!automating_) return;
    HideDialog(dialog);
    Select(dialog, kPrinter, printer);
    ::SetDlgItemInt(dialog, kCopies, static_cast<UINT>(Copies), FALSE);
    if (browser_ && browser_->FrameCount() > 0) {
      static constexpr int kFrameOption[] = {kFrameDisplayed, kFrameSelect, kFrameIndividual};
      Click(dialog, kFrameOption[static_cast<int>(FrameStyle)]);
    }
    Click(dialog, kOk);
    if (const HWND button = ::FindWindowExW(dialog, nullptr, L"Button", nullptr))
      ::PostMessageW(button, BM_CLICK, 0, 0);
  }
}

}  // namespace mirabo
