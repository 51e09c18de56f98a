// The commands that hand the file, or what is shown of it, to something
// outside the viewer: the clipboard, the mail program, the printer, the
// associated program, a program of the launch menu and the help page.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/unit1.h"
#include "base/picture/picture.h"
#include "base/win/clipboard.h"
#include "base/win/paths.h"
#include "base/win/printing.h"
#include "base/win/text.h"

namespace mirabo {
void TForm1::ToolButton26Click() {
  if (CurrentPath.empty()) return;
  switch (viewMode) {
    case ViewMode::Text:
      // The selection stays; with none the clipboard still gets a text.
      richEdit1_->CopyToClipboard(true);
      break;
    case ViewMode::Jpeg:
    case ViewMode::Picture:
    case ViewMode::Plugin:
      if (const Picture& shown = imageJpg_.picture(); shown.Drawing()) {
        // Its pixels exist only for this copy, and go with it.
        const Picture pixels = RenderPicture(shown);
        win::SetClipboardDrawing(Handle(), shown.Drawing(), win::PackedDib(pixels.Handle()));
      } else if (!shown.Empty()) {
        win::SetClipboardDib(Handle(), win::PackedDib(shown.Handle()));
      }
      break;
    case ViewMode::Document:
      ImgEdit1.CopyAreaToClipboard(0, 0, ImgEdit1.ImageWidth(), ImgEdit1.ImageHeight());
      break;
    case ViewMode::Web:
    case ViewMode::Media:
      break;
  }
}

void TForm1::ToolButton10Click() {
  const Settings& s = settings();
  if (CurrentPath.empty() || s.MailPath.empty()) return;
  std::wstring command = win::Cp932ToWide(s.MailPath);
  if (!s.BndOp.empty()) command += L" " + win::Cp932ToWide(s.BndOp);
  command += L" \"" + CurrentPath + L"\"";
  // The command line as a WinExec would take it, through the Unicode call:
  // a path outside the ANSI code page reaches the mail program intact.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNOACTIVATE;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

void TForm1::PrintPicture(IPrintDevice& device) {
  try {
    // The file again at full size, a JPEG with the quality options.
    imagePrt_.SetPicture(viewMode == ViewMode::Jpeg ? LoadJpegFileForPrint(CurrentPath, {settings().Orientation != 0, nullptr}) : LoadPictureFile(CurrentPath));
  } catch (...) {
    device.Abort();  // the job it started ends before the error is shown
    throw;
  }
  const Picture& picture = imagePrt_.picture();
  if (picture.Drawing()) PrintDrawing(device, picture.Drawing(), picture.Width(), picture.Height());
  else PrintBitmap(device, picture.Handle(), picture.Width(), picture.Height());
}

void TForm1::ToolButton11Click() {
  if (CurrentPath.empty()) return;
  const std::wstring documentName(FileNameOf(CurrentPath));
  switch (viewMode) {
    case ViewMode::Text: {
      const auto choice = ShowPrintDialog(Handle());
      if (!choice) return;
      // The characters, whatever the file's encoding.
      std::vector<std::wstring> lines;
      const uint64_t count = richEdit1_->LineCount();
      lines.reserve(static_cast<size_t>(count));
      for (uint64_t i = 0; i < count; ++i) lines.push_back(richEdit1_->LineText(i));
      PrintTextLines(*choice->startJob(documentName), lines, richEdit1_->FontName(), richEdit1_->FontSize());
      break;
    }
    case ViewMode::Jpeg:
    case ViewMode::Picture:
    case ViewMode::Plugin: {
      const auto choice = ShowPrintDialog(Handle());
      if (choice) PrintPicture(*choice->startJob(documentName));
      break;
    }
    case ViewMode::Document: {
      // The names of the printer the dialog chose, as the system gives them
      // (not split from a display string, which some systems lack).
      const auto choice = ShowPrintDialog(Handle());
      if (choice && !choice->printer.empty())
        ImgEdit1.PrintPages(1, ImgEdit1.PageCount(), 2, false, choice->printer, choice->driver, choice->port);
      break;
    }
    case ViewMode::Web:
      iePrinterSet1.PrintWithSettings();
      break;
    case ViewMode::Media:
      break;
  }
}

void TForm1::ToolButton32Click() {
  if (CurrentPath.empty()) return;
  ::ShellExecuteW(Handle(), nullptr, CurrentPath.c_str(), L"", std::wstring(FolderOf(CurrentPath)).c_str(), SW_SHOW);
}

void TForm1::LaunchPopup1ItemClick() {
  if (CurrentPath.empty()) return;
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
    return;
  std::wstring target;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(LaunchPopup1().SelectedFile().c_str(), STGM_READ))) {
      // Room for any path the system allows, not 255 characters.
      std::wstring buffer(32768, L'\0');
      if (SUCCEEDED(link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, SLGP_UNCPRIORITY)))
        target = buffer.c_str();
    }
    file->Release();
  }
  link->Release();
  if (target.empty()) return;
  const std::wstring parameters = L"\"" + CurrentPath + L"\"";
  ::ShellExecuteW(Handle(), nullptr, target.c_str(), parameters.c_str(), win::FolderWithSlash(target).c_str(),
                  SW_SHOWNORMAL);
}

void TForm1::ToolButton33Click() {
  const std::wstring folder = win::Cp932ToWide(env_.exeFolder) + L"mirabo_help\\";
  ::ShellExecuteW(Handle(), nullptr, L"help.htm", L"help.htm", folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace mirabo
