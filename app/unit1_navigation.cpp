// Folder navigation: the moves through the folder list, the keyboard, the
// wheel, the jump menu on the counter and dropped files.
#include <windows.h>
#include <shellapi.h>

#include "app/unit1.h"
#include "base/win/paths.h"

namespace mirabo {

void TForm1::CommonTail() {
  SetCounter();
  CurrentPath = std::wstring(FolderOf(CurrentPath)) + FileListBox1.Items()[static_cast<size_t>(CurrentIndex)];
}

void TForm1::StepTo(int index) {
  if (index < 0) return;
  CloseMedia();
  ::InvalidateRect(WindowOf("ImageMediaBack"), nullptr, TRUE);
  ::InvalidateRect(WindowOf("PanelMedia"), nullptr, TRUE);
  CurrentIndex = index;
  CommonTail();
  UpdateNamePreview();
  ShowCurrentFile();
}

void TForm1::ToolButton17Click() {
  stepDirection_ = -1;
  StepTo(BackIndex(CurrentIndex, FileListBox1.Count()));
}

void TForm1::ToolButton18Click() {
  stepDirection_ = 1;
  StepTo(ForwardIndex(CurrentIndex, FileListBox1.Count()));
}

void TForm1::PopupMenuListPopup() {
  popupMenuList_.items.clear();
  const auto& names = FileListBox1.Items();
  for (size_t i = 0; i < names.size(); ++i) {
    win::MenuItem item;
    item.id = static_cast<int>(i) + 1;  // the tag, offset past "nothing chosen"
    item.caption = win::LiteralMenuText(JumpCaption(static_cast<int>(i), names[i]));
    item.checked = static_cast<int>(i) == CurrentIndex;
    popupMenuList_.items.push_back(std::move(item));
  }
}

void TForm1::PopupMenuListClick(int tag) {
  if (FileListBox1.Count() == 0 || tag < 0 || tag >= FileListBox1.Count()) return;
  CloseMedia();
  ::InvalidateRect(WindowOf("PanelMedia"), nullptr, TRUE);
  CurrentIndex = tag;
  CommonTail();
  ShowCurrentFile();
}

bool TForm1::EditKeyKeyDown(WORD key) {
  if (busy_) return true;  // a turn in progress takes no commands
  if (key == VK_ESCAPE) {
    Close();
    return true;
  }
  if (CurrentPath.empty() || (viewMode != ViewMode::Jpeg && viewMode != ViewMode::Picture &&
                              viewMode != ViewMode::Document && viewMode != ViewMode::Plugin))
    return false;
  const int count = FileListBox1.Count();
  switch (key) {
    case VK_BACK:
    case VK_PRIOR: ToolButton17Click(); break;
    case VK_SPACE:
    case VK_NEXT: ToolButton18Click(); break;
    case VK_RETURN:
      ::ShellExecuteW(Handle(), nullptr, CurrentPath.c_str(), L"",
                      std::wstring(FolderOf(CurrentPath)).c_str(), SW_SHOW);
      break;
    case VK_END:
    case VK_HOME: {
      // Home on the first file and End on the last do nothing at all.
      const int index = key == VK_HOME ? HomeIndex(CurrentIndex, count) : EndIndex(CurrentIndex, count);
      if (index < 0) return false;
      CurrentIndex = index;
      CommonTail();
      ShowCurrentFile();  // each mode shows its file with its own viewer
      break;
    }
    case VK_LEFT: scrollBox_.SetHorzPosition(scrollBox_.HorzPosition() - win::ScrollBox::kLine); break;
    case VK_UP: scrollBox_.SetVertPosition(scrollBox_.VertPosition() - win::ScrollBox::kLine); break;
    case VK_RIGHT: scrollBox_.SetHorzPosition(scrollBox_.HorzPosition() + win::ScrollBox::kLine); break;
    case VK_DOWN: scrollBox_.SetVertPosition(scrollBox_.VertPosition() + win::ScrollBox::kLine); break;
    case VK_INSERT: ToolButton4Click(); break;
    case VK_DELETE: ToolButton5Click(); break;
    case '8':
    case VK_MULTIPLY: ImageJpgDblClick(); break;
    case VK_ADD:
    case VK_OEM_PLUS: ToolButton1Click(); break;
    case VK_SUBTRACT:
    case VK_OEM_MINUS: ToolButton2Click(); break;
    default: break;
  }
  FocusEditKey();
  return true;
}

bool TForm1::RichEdit1KeyPress(wchar_t key) {
  if (key != 27) return false;
  Close();
  return true;
}

void TForm1::FormMouseWheelUp() { scrollBox_.SetVertPosition(scrollBox_.VertPosition() - win::ScrollBox::kLine); }

void TForm1::FormMouseWheelDown() { scrollBox_.SetVertPosition(scrollBox_.VertPosition() + win::ScrollBox::kLine); }

void TForm1::FileDrop1FileDrop(TFileDrop&, int num, const std::vector<std::wstring>& files, int, int) {
  CloseMedia();
  if (num < 1 || files.empty()) return;
  // Only an existing file is taken; a dropped folder or a vanished file
  // leaves the current file as it is.
  if (!win::IsExistingFile(files.front())) return;
  CurrentPath = files.front();
  ClassifyFile(CurrentPath);
  ShowCurrentFile();
}

}  // namespace mirabo
