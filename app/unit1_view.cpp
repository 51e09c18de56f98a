// The main window's view dispatch: which viewer shows a file, the window's
// arrangement for it, and the display steps.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "app/unit1.h"
#include "app/view_table.h"
#include "base/win/paths.h"
#include "base/win/text.h"

namespace mirabo {
namespace {

// The plain files of a folder (hidden and system ones too, no folders),
// read through the folder's handle in large blocks: with thousands of files
// this takes a fraction of the calls of FindFirstFile/FindNextFile.
std::vector<std::wstring> ListPlainFiles(const std::wstring& folder) {
  std::vector<std::wstring> names;
  win::UniqueFile dir(::CreateFileW(win::ExtendedPath(folder.empty() ? L"." : folder).c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir) return names;
  std::vector<unsigned char> block(256 * 1024);
  auto infoClass = FileFullDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(dir.Get(), infoClass, block.data(), static_cast<DWORD>(block.size()))) {
    infoClass = FileFullDirectoryInfo;
    for (size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(block.data() + offset);
      if (!(entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        names.emplace_back(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (!entry->NextEntryOffset) break;
      offset += entry->NextEntryOffset;
    }
  }
  return names;
}

// The order of a sorted list box, the user's locale without case, as a
// sort key: the same order CompareString gives, one system call per name.
std::string ListBoxSortKey(const std::wstring& name) {
  const int n = ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
                               static_cast<int>(name.size()), nullptr, 0);
  std::string key(static_cast<size_t>(std::max(n, 0)), '\0');
  ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
                 static_cast<int>(name.size()), reinterpret_cast<wchar_t*>(key.data()), n);
  return key;
}

}  // namespace

std::wstring TForm1::ExpandLongPath(const std::wstring& path) {
  if (path.empty()) return {};
  std::wstring p = path;
  if (p.back() == L'\\') p.pop_back();
  if (p.size() == 2 && p[1] == L':') return p;
  WIN32_FIND_DATAW fd;
  const HANDLE find = ::FindFirstFileW(win::ExtendedPath(p).c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return p;
  ::FindClose(find);
  const size_t sep = p.find_last_of(L"\\:");
  if (sep == std::wstring::npos) return p;
  std::wstring parent = p.substr(0, p[sep] == L':' ? sep + 1 : sep);
  if (parent.size() == 2 && parent[1] == L':' && p[sep] == L'\\') parent += L'\\';
  // A path made of nothing but a share's name has no parent to search.
  if (parent.empty() || parent == L"\\") return p;
  return ExpandLongPath(parent) + L"\\" + fd.cFileName;
}

void TForm1::FormShow() {
  SetBrowserLayout(0);
  if (env_.arguments.empty()) return;
  std::wstring argument = env_.arguments.front();
  // A bare name or a relative path means the working folder's file.
  wchar_t full[MAX_PATH];
  const DWORD n = ::GetFullPathNameW(argument.c_str(), MAX_PATH, full, nullptr);
  if (n > 0 && n < MAX_PATH) {
    argument = full;
  } else if (n >= MAX_PATH) {
    std::wstring longFull(n, L'\0');
    longFull.resize(::GetFullPathNameW(argument.c_str(), n, longFull.data(), nullptr));
    argument = longFull;
  }
  CurrentPath = ExpandLongPath(argument);
  ClassifyFile(CurrentPath);
  ShowCurrentFile();
}

void TForm1::FormResize() {
  if (viewMode != ViewMode::Jpeg) return;
  ::ShowWindow(imageJpg_.Handle(), SW_HIDE);
  imageJpg_.stretch = false;
  imageJpg_.autoSize = true;
  FitPicture();
}

void TForm1::SetBrowserLayout(int kind) {
  const HWND browser = WindowOf("WebBrowser1");
  // Collapsed, the browser is also hidden: a one-pixel white window in the
  // corner would show over every other view.
  if (kind == 0) {
    ::ShowWindow(browser, SW_HIDE);
    scrollBox_.SetAlign(browser, win::ScrollBox::Align::None);
    scrollBox_.MoveChild(browser, 0, 0, 1, 1);
  } else if (kind == 1) {
    scrollBox_.SetAlign(browser, win::ScrollBox::Align::Client);
    ::ShowWindow(browser, SW_SHOWNA);
  }
}

void TForm1::ClassifyFile(const std::wstring& path) {
  std::vector<std::wstring> browser;
  browser.reserve(ListBoxIE.size());
  for (const auto& e : ListBoxIE) browser.push_back(win::Cp932ToWide(e));
  // Line 0 of each loaded plug-in's patterns, in registry order.
  std::vector<std::wstring> pluginLines;
  for (int i = 0; i < spis1_->Count(); ++i) {
    const auto& lines = spis1_->Items(i).Extensions();
    if (!lines.empty()) pluginLines.push_back(win::Cp932ToWide(lines.front()));
  }
  viewMode = ClassifyPath(path, pluginLines, browser);
  PrepareView();
}

void TForm1::RereadFolderList() {
  FileListBox1.Assign(ListPlainFiles(FileListBox1Folder), FileListBox1Mask, &ListBoxSortKey);
}

void TForm1::PrepareView() {
  ::ShowWindow(panelBin_.Handle(), SW_HIDE);
  scrollBox_.MoveChild(richEdit1_->Handle(), 0, 0, 0, 0);
  SetBrowserLayout(0);

  const bool renBarHidden = settings().RenBar != 0;
  for (const ViewRow& row : ViewTable()) {
    const Wanted wanted = WantedState(row, viewMode, renBarHidden);
    if (wanted == Wanted::Keep) continue;
    if (row.property == ViewProperty::Visible) SetShown(row.control, wanted == Wanted::On);
    else SetEnabled(row.control, wanted == Wanted::On);
  }
  menus_[Surface::PopupMenu1].autoPopup = TextMenuOpens(viewMode);
  if (ZoomLabelResets(viewMode)) panel1_.SetCaption(L"100%");
  Layout();
  scrollBox_.Realign();

  FileListBox1Mask = FolderMask(viewMode, CurrentPath);
  const std::wstring_view folder = FolderOf(CurrentPath);
  if (!folder.empty()) FileListBox1Folder = std::wstring(folder);
  RereadFolderList();
  CurrentIndex = FileListBox1.IndexOf(FileNameOf(CurrentPath));
  SetCounter();
}

void TForm1::SetCounter() { panelCou_.SetCaption(CounterText(CurrentIndex, FileListBox1.Count())); }

void TForm1::ShowCurrentFile() {
  SetTimerInterval(viewMode == ViewMode::Media ? 250 : settings().Time * 1000);
  switch (viewMode) {
    case ViewMode::Text: ShowText(); break;
    case ViewMode::Jpeg: ShowJpeg(); break;
    case ViewMode::Picture:
    case ViewMode::Plugin: ShowPicture(); break;
    case ViewMode::Document: ShowDocumentImage(); break;
    case ViewMode::Web: ShowWebPage(); break;
    case ViewMode::Media: ShowMedia(); break;
  }
  ::SetForegroundWindow(Handle());
  ::InvalidateRect(imageMediaBack_.Handle(), nullptr, TRUE);
}

void TForm1::ShowJpeg() {
  if (CurrentPath.empty()) return;
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  scrollBox_.SetHorzPosition(0);
  scrollBox_.SetVertPosition(0);
  imageJpg_.autoSize = true;
  imageJpg_.stretch = false;
  const int zoom = settings().Zoom;
  const JpegViewing viewing = Viewing();
  if (std::optional<Picture> ready = readAhead_.Take(JpegReadAheadKey(CurrentPath)))
    imageJpg_.SetPicture(std::move(*ready));
  else
    imageJpg_.SetPicture(LoadJpegFile(CurrentPath, ZoomScaleDenominator(zoom), imageJpg_.Spare(), viewing));
  viewTurns_ = 1;
  if (zoom >= 0 && zoom <= 3) panel1_.SetCaption(ZoomLabel(zoom));
  for (const char* name : {"ToolButton1", "ToolButton2", "ToolButton14", "ToolButton15", "mnuZoomUp",
                           "mnuZoomDown", "mnuLeftS", "mnuRightS"})
    SetEnabled(name, true);
  FitPicture();
  FocusEditKey();
  ScheduleReadAhead();
}

void TForm1::ShowPicture() {
  if (CurrentPath.empty()) return;
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  imageJpg_.autoSize = true;
  std::optional<Picture> ready = readAhead_.Take(PluginReadAheadKey(CurrentPath));
  imageJpg_.SetPicture(ready ? std::move(*ready) : LoadPictureFile(CurrentPath, imageJpg_.Spare()));
  FitPicture();
  FocusEditKey();
  if (viewMode == ViewMode::Plugin) ScheduleReadAhead();
}

void TForm1::ShowDocumentImage() {
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  scrollBox_.SetHorzPosition(0);
  scrollBox_.SetVertPosition(0);
  ImgEdit1.SetScrollBars(false);
  const HWND control = WindowOf("ImgEdit1");
  RECT r{};
  ::GetWindowRect(control, &r);
  scrollBox_.MoveChild(control, 0, 0, r.right - r.left, r.bottom - r.top);
  try {
    ImgEdit1.SetImage(CurrentPath);
    ImgEdit1.SetPage(1);
    ImgEdit1.ShowPage();
  } catch (...) {
    // The error is the user's to see; the page bar and the scroll range
    // must not go on describing the document shown before.
    panel2_.SetCaption(L"");
    scrollBox_.ResizeChild(control, 0, 0);
    throw;
  }
  SetPageLabel();
  ApplyDocumentZoom();
  ImgEdit1.ShowPage();
  FocusEditKey();
}

void TForm1::ShowWebPage() {
  if (CurrentPath.empty()) return;
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  WebBrowser1.Navigate(CurrentPath);
  SetBrowserLayout(1);
}

void TForm1::ShowMedia() {
  if (CurrentPath.empty()) return;
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  CloseMedia();
  MediaPlayer1.SetFileName(CurrentPath);
  MediaPlayer1.Open();
  MediaPlayer1.SetTimeFormatMilliseconds();
  const int length = MediaPlayer1.Length();
  const HWND track = WindowOf("TrackBarMedia");
  ::SendMessageW(track, TBM_SETRANGEMAX, TRUE, length);
  ::SendMessageW(track, TBM_SETPOS, TRUE, 0);
  trackSetTo_ = 0;
  panelMPos_.SetCaption(L"0/" + std::to_wstring(length));
  MediaPlayer1.Play();
  FocusEditKey();
}

}  // namespace mirabo
