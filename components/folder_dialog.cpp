#include "components/folder_dialog.h"

#include <shellapi.h>
#include <shlobj.h>

#include "base/win/paths.h"

namespace mirabo {
namespace {

int CALLBACK BrowseCallback(HWND browser, UINT event, LPARAM selection, LPARAM data) {
  wchar_t path[512] = L"";
  if (event == BFFM_INITIALIZED) {
    const auto* self = reinterpret_cast<const TFolderDialog*>(data);
    if (!self->Folder.empty() && win::IsFolder(self->Folder))
      ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(self->Folder.c_str()));
  } else if (event == BFFM_SELCHANGED) {
    if (!::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(selection), path)) path[0] = L'\0';
  }
  ::SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  return 0;
}

}  // namespace

bool TFolderDialog::Execute() {
  PIDLIST_ABSOLUTE root = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(owner_, CSIDL_DRIVES, &root)) || !root) return false;
  wchar_t display[MAX_PATH] = L"";
  BROWSEINFOW info{};
  info.hwndOwner = owner_;
  info.pidlRoot = root;
  info.pszDisplayName = display;
  info.lpszTitle = Title.c_str();
  // Status text only: OK stays enabled for items that are not folders.
  info.ulFlags = BIF_STATUSTEXT;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  bool confirmed = false;
  if (PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info)) {
    confirmed = true;
    // Long paths: the shell's call copes with them through a larger buffer.
    std::wstring path(32768, L'\0');
    if (::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
      Folder = path.c_str();
    ::CoTaskMemFree(chosen);
  }
  ::CoTaskMemFree(root);
  return confirmed;
}

void TMailAndHP::Open(const std::wstring& document) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(::GetDesktopWindow(), L"open", document.c_str(), nullptr, nullptr, SW_SHOW));
  LastSucceeded = result > 32;
}

void TMailAndHP::SendMail() { Open(L"mailto:" + MailAddress); }
void TMailAndHP::OpenHomePage() { Open(HomePageAddress); }

}  // namespace mirabo
