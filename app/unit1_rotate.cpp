// Turning the picture on screen, turning a JPEG file and writing it back,
// and saving a copy of the current file.
#include <windows.h>
#include <commctrl.h>

#include "app/dialogs.h"
#include "app/unit1.h"
#include "app/view_table.h"
#include "base/picture/jpeg_metadata.h"
#include "base/picture/jpeg_rotate.h"
#include "base/picture/orientation.h"
#include "base/win/file_ops.h"
#include "base/win/paths.h"
#include "base/win/text.h"

namespace mirabo {
namespace {

// What a turn on screen disables: the zoom steps cannot rescale a turned
// bitmap, and rotate-and-save must not take it for the file.
constexpr const char* kJpegOnlyCommands[] = {"ToolButton1", "ToolButton2", "mnuZoomUp", "mnuZoomDown",
                                             "ToolButton14", "ToolButton15", "mnuLeftS", "mnuRightS"};

// The bar moves and the window gets its messages at this pace during a turn
// however fast the rows go: ten times a second repaints and takes input
// without a felt delay, while a bar redraw per ten rows (over a millisecond
// each) would cost more than the turn.
constexpr ULONGLONG kProgressInterval = 100;

}  // namespace

TForm1::BusyScope::BusyScope(TForm1& form) : form_(form) { form_.busy_ = true; }

TForm1::BusyScope::~BusyScope() {
  form_.busy_ = false;
  if (form_.closeAsked_) {
    form_.closeAsked_ = false;
    form_.Close();
  }
}

std::function<void(int row)> TForm1::TurnProgress(int rows) {
  SetProgress(0, rows);
  // The first row always lets the window have its messages.
  auto last = std::make_shared<ULONGLONG>(0);
  return [this, last](int row) {
    const ULONGLONG now = ::GetTickCount64();
    if (now - *last < kProgressInterval) return;
    *last = now;
    SetProgress(row, -1);
    ProcessMessages();
  };
}

// ---- On screen

void TForm1::ToolButton4Click() { TurnInView(true); }
void TForm1::ToolButton5Click() { TurnInView(false); }
void TForm1::RotateLeft() { TurnShownPicture(true); }
void TForm1::RotateRight() { TurnShownPicture(false); }

void TForm1::HideForTurn() {
  ::ShowWindow(imageJpg_.Handle(), SW_HIDE);
  imageJpg_.stretch = false;
  imageJpg_.autoSize = true;
  scrollBox_.SetHorzPosition(0);
  scrollBox_.SetVertPosition(0);
}

void TForm1::ShowAfterFailedTurn() {
  SetProgress(0, -1);
  FitPicture();
}

void TForm1::TurnInView(bool left) {
  if (CurrentPath.empty()) return;
  HideForTurn();
  bool wasEnabled[std::size(kJpegOnlyCommands)];
  for (size_t i = 0; i < std::size(kJpegOnlyCommands); ++i) {
    wasEnabled[i] = IsEnabled(kJpegOnlyCommands[i]);
    SetEnabled(kJpegOnlyCommands[i], false);
  }
  try {
    left ? RotateLeft() : RotateRight();
  } catch (...) {
    // The picture was not touched: it is shown again as it was, with the
    // commands that go with it.
    for (size_t i = 0; i < std::size(kJpegOnlyCommands); ++i) SetEnabled(kJpegOnlyCommands[i], wasEnabled[i]);
    ShowAfterFailedTurn();
    throw;
  }
  FitPicture();
  FocusEditKey();
}

void TForm1::TurnShownPicture(bool left) {
  const Picture& shown = imageJpg_.picture();
  if (shown.Empty()) return;
  BusyScope busy(*this);
  Picture turned = RotatePicture(shown, left, TurnProgress(shown.Height()), imageJpg_.Spare());
  imageJpg_.SetPicture(std::move(turned));
  viewTurns_ = Compose(viewTurns_, left ? kTurnLeft : kTurnRight);
  SetProgress(0, -1);
  FitPicture();
}

// ---- Into the file

void TForm1::ToolButton14Click() { TurnAndSave(true); }
void TForm1::ToolButton15Click() { TurnAndSave(false); }
void TForm1::RotateLeftAndSave(const std::wstring& path) { SaveTurned(path, true); }
void TForm1::RotateRightAndSave(const std::wstring& path) { SaveTurned(path, false); }

void TForm1::TurnAndSave(bool left) {
  if (CurrentPath.empty()) return;
  HideForTurn();
  try {
    left ? RotateLeftAndSave(CurrentPath) : RotateRightAndSave(CurrentPath);
  } catch (...) {
    // The file is as it was, and so is the picture on screen.
    ShowAfterFailedTurn();
    throw;
  }
  try {
    const std::wstring ext = LowerAscii(ExtensionOf(CurrentPath));
    if (ext == L".jpg" || ext == L".jpeg") {
      // Decoded once, straight at the zoom level's scale.
      const int zoom = settings().Zoom;
      imageJpg_.SetPicture(LoadJpegFile(CurrentPath, zoom >= 0 && zoom <= 3 ? ZoomScaleDenominator(zoom) : 1,
                                        imageJpg_.Spare(), Viewing()));
      viewTurns_ = 1;
      ShowZoomLabel();
    } else {
      imageJpg_.SetPicture(LoadPictureFile(CurrentPath));
    }
  } catch (...) {
    FitPicture();  // the picture it had stays in view
    throw;
  }
  FitPicture();
  FocusEditKey();
}

void TForm1::SaveTurned(const std::wstring& path, bool left) {
  if (!win::IsExistingFile(path)) return;
  BusyScope busy(*this);
  // Refused before any work when the file cannot be replaced.
  const win::FileStamp stamp = win::StampForReplace(path);
  std::vector<uint8_t> turned;
  {
    const MappedFile file(path);
    const std::span<const uint8_t> data{file.Data(), file.Size()};
    // The picture as it is seen, turned: its stored orientation first.
    const int stored = settings().Orientation ? ReadJpegMetadata(data).orientation : 1;
    std::function<void(int)> progress;
    turned = OrientJpegData(data, Compose(stored, left ? kTurnLeft : kTurnRight), settings().Comp,
                            [&](int row, int rows) {
                              if (!progress) progress = TurnProgress(rows);
                              progress(row);
                            });
  }
  win::ReplaceKeepingStamp(path, turned, stamp);
  SetProgress(0, -1);
  FitPicture();
}

// ---- A copy into the save folder

void TForm1::ToolButton9Click() {
  if (CurrentPath.empty()) return;
  const std::wstring target = win::Cp932ToWide(settings().SavePath) + std::wstring(FileNameOf(CurrentPath));
  if (win::PathExists(target) &&
      !AskConfirm(Handle(), L"同名のファイルが存在します。\n\r上書きしますか？"))
    return;
  // Nothing to copy (the placeholder, a vanished file) and a copy onto the
  // file itself are no-ops; any other failure would leave the user
  // believing the picture was saved.
  if (!win::IsExistingFile(CurrentPath) || win::SameFile(CurrentPath, target)) return;
  if (viewMode == ViewMode::Jpeg && settings().Orientation) {
    // A photo stored lying is saved as it is seen: upright (and turned as
    // the user turned it on screen), its orientation tag 1.
    const MappedFile file(CurrentPath);
    const std::span<const uint8_t> data{file.Data(), file.Size()};
    if (const int stored = ReadJpegMetadata(data).orientation; stored != 1) {
      BusyScope busy(*this);
      const std::vector<uint8_t> upright = OrientJpegData(data, Compose(stored, viewTurns_), settings().Comp);
      if (!win::WriteReplacing(target, upright))
        throw EInOutError(FormatMessageText("ファイル %s を作成できません", win::WideToUtf8(target)));
      return;
    }
  }
  if (!::CopyFileW(win::ExtendedPath(CurrentPath).c_str(), win::ExtendedPath(target).c_str(), FALSE))
    throw EInOutError(FormatMessageText("ファイル %s を作成できません", win::WideToUtf8(target)));
}

}  // namespace mirabo
