// The text view's presentations of the current file: its own text, the
// text converted to Shift-JIS, and the hexadecimal dump. Nothing is written
// to disk: every presentation is built in memory or read on demand.
#include <windows.h>

#include "app/file_info.h"
#include "app/unit1.h"
#include "base/errors.h"
#include "base/picture/colour.h"
#include "base/picture/jpeg_metadata.h"
#include "base/picture/picture.h"
#include "base/win/file_ops.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "text/dump.h"
#include "text/encoding.h"

namespace mirabo {
namespace {

constexpr char kFolderLine[] = "\xC3\xDE\xA8\xDA\xB8\xC4\xD8\x82\xC5\x82\xB7";  // ﾃﾞｨﾚｸﾄﾘです (CP932)

// The lines the sheet adds for the file's content: the encoding the text
// view finds in its head, and for a JPEG how it stands and its profile.
std::string ContentLines(const std::wstring& path) {
  const win::UniqueFile file = win::OpenForSharedReading(path);
  std::string head(text::kDetectionHead, '\0');
  DWORD got = 0;
  if (!file || !::ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr)) got = 0;
  head.resize(got);
  std::string lines = FileInfoEncodingLine(text::EncodingName(text::DetectEncoding(head, got < text::kDetectionHead).encoding));
  if (head.size() >= 2 && head[0] == '\xFF' && head[1] == '\xD8') {
    const MappedFile jpeg(path);
    const JpegMetadata metadata = ReadJpegMetadata({jpeg.Data(), jpeg.Size()});
    lines += "\r\n" + FileInfoOrientationLine(metadata.orientation);
    const std::string description = ColourManager::Description(metadata.iccProfile);
    if (!description.empty()) lines += "\r\n" + FileInfoProfileLine(win::WideToCp932(win::Utf8ToWide(description)));
  }
  return lines;
}

}  // namespace

void TForm1::SetProgress(int position, int maximum) {
  const HWND bar = WindowOf("ProgressBar1");
  // The bar would draw itself at once for each message; it is drawn at the
  // window's next paint instead, once. (Turning drawing back on shows a
  // window, so only a shown bar goes through it.)
  const bool shown = (::GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown) ::SendMessageW(bar, WM_SETREDRAW, FALSE, 0);
  if (maximum >= 0) ::SendMessageW(bar, PBM_SETRANGE32, 0, maximum);
  ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  if (shown) {
    ::SendMessageW(bar, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(bar, nullptr, FALSE);
  }
}

void TForm1::ShowText() {
  if (CurrentPath.empty() || CurrentPath == kNoFile) return;
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  if (win::IsFolder(CurrentPath)) {
    richEdit1_->SetText(kFolderLine);
    return;
  }
  ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The file stays mapped while it is shown: only the lines on screen are read.
  auto file = std::make_shared<MappedFile>(CurrentPath);
  const std::string_view bytes(reinterpret_cast<const char*>(file->Data()), file->Size());
  richEdit1_->SetSource(std::make_shared<TextLineSource>(bytes, file));
  ::SetForegroundWindow(Handle());
  if (::IsWindowVisible(Handle())) ::SetFocus(richEdit1_->Handle());
}

void TForm1::TextPresentationFont() {
  ::ShowWindow(panelBin_.Handle(), SW_HIDE);
  scrollBox_.Realign();
  richEdit1_->SetFont(win::Cp932ToWide(settings().FontName), settings().FontSize, dpi_);
}

void TForm1::N6Click() {
  if (CurrentPath.empty() || richEdit1_->LineCount() == 0) return;
  TextPresentationFont();
  ShowText();
}

void TForm1::mnuToSJISClick() {
  if (CurrentPath.empty() || richEdit1_->LineCount() == 0) return;
  ShowText();
  TextPresentationFont();
  // A Unicode file is shown as its characters already: the conversion,
  // which knows JIS, EUC-JP and Shift-JIS bytes, would only damage it.
  if (richEdit1_->Encoding() != text::Encoding::ShiftJis) return;
  const uint64_t lines = richEdit1_->LineCount();
  SetProgress(0, static_cast<int>(std::min<uint64_t>(lines, INT_MAX)));
  const TextPosition caret = richEdit1_->SelStart();
  std::string converted;
  int shownPercent = -1;
  for (uint64_t i = 0; i < lines; ++i) {
    if (i) converted += "\r\n";
    AutoSjisConv1.AppendSjis(richEdit1_->Line(i), converted);
    // Every hundred lines, but the bar is redrawn only when it visibly moves:
    // a redraw per hundred lines would cost more than the conversion.
    if (i % 100 == 0 && static_cast<int>(i * 100 / lines) != shownPercent) {
      shownPercent = static_cast<int>(i * 100 / lines);
      SetProgress(static_cast<int>(std::min<uint64_t>(i, INT_MAX)), -1);
    }
  }
  richEdit1_->SetText(std::move(converted));
  SetProgress(0, -1);
  richEdit1_->SetSelStart(caret);
}

void TForm1::mnuBinClick() {
  if (CurrentPath.empty() || richEdit1_->LineCount() == 0) return;
  richEdit1_->SetFont(L"Terminal", MulDiv(13, 72, 96), dpi_);
  ::ShowWindow(panelBin_.Handle(), SW_SHOWNA);
  scrollBox_.Realign();
  // Read-only and shared: read-only files and files others hold open dump too.
  auto file = std::make_shared<win::UniqueFile>(win::OpenForSharedReading(CurrentPath));
  LARGE_INTEGER size{};
  if (!*file || !::GetFileSizeEx(file->Get(), &size)) {
    richEdit1_->SetText("\x82\xB1\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCD\x83\x5F\x83\x93\x83\x76\x82\xC5\x82\xAB"
                        "\x82\xDC\x82\xB9\x82\xF1");  // このファイルはダンプできません
    return;
  }
  const HANDLE handle = file->Get();
  richEdit1_->SetSource(std::make_shared<DumpLineSource>(
      static_cast<uint64_t>(size.QuadPart), [file, handle](uint64_t offset, uint8_t* buffer, size_t count) -> size_t {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!::ReadFile(handle, buffer, static_cast<DWORD>(count), &got, &at)) return 0;
        return got;
      }));
  richEdit1_->SetSelStart({});
}

void TForm1::Copy1Click() {
  richEdit1_->CopyToClipboard();
  richEdit1_->SetSelStart(richEdit1_->SelStart());  // the selection collapses to its start
}

void TForm1::ToolButton7Click() {
  if (CurrentPath.empty() || richEdit1_->LineCount() == 0) return;
  ::ShowWindow(panelBin_.Handle(), SW_HIDE);
  scrollBox_.Realign();
  richEdit1_->SetFont(L"Terminal", MulDiv(13, 72, 96), dpi_);
  ShowFileInfo();
}

void TForm1::ShowFileInfo() {
  ::SetWindowTextW(WindowOf("LabelPath"), CurrentPath.c_str());
  // Attributes, time and size come from the folder entry: nothing is opened,
  // so read-only files, folders and files held open by others get a full sheet.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool found = ::GetFileAttributesExW(win::ExtendedPath(CurrentPath).c_str(), GetFileExInfoStandard, &data);
  FileFacts facts;
  facts.path = win::WideToCp932(CurrentPath);
  facts.folder = win::WideToCp932(std::wstring(FolderOf(CurrentPath)));
  facts.name = win::WideToCp932(std::wstring(FileNameOf(CurrentPath)));
  // A file that cannot be found reports every attribute, as the system does.
  facts.attributes = found ? data.dwFileAttributes : 0xFFFFFFFFu;
  std::string sheet;
  for (const std::string& line : FileInfoHead(facts)) sheet += line + "\r\n";
  if (!found) {
    richEdit1_->SetText(sheet);
    throw EInOutError(FormatMessageText("ファイル %s を開けません", win::WideToUtf8(CurrentPath)));
  }
  // Local time at the two-second resolution of the old directory entries.
  FILETIME local{}, rounded{};
  WORD dosDate = 0, dosTime = 0;
  ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  ::FileTimeToDosDateTime(&local, &dosDate, &dosTime);
  ::DosDateTimeToFileTime(dosDate, dosTime, &rounded);
  SYSTEMTIME st{};
  ::FileTimeToSystemTime(&rounded, &st);
  wchar_t date[64] = {}, time[64] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 64);
  std::wstring stamp = date;
  if (st.wHour || st.wMinute || st.wSecond) {
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 64);
    stamp += L" ";
    stamp += time;
  }
  sheet += FileInfoTimestampLine(win::WideToCp932(stamp)) + "\r\n";
  wchar_t separator[8] = L",";
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SMONTHOUSANDSEP, separator, 8);
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  sheet += FileInfoSizeLine(GroupDigits(size, win::WideToCp932(separator)));
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) sheet += "\r\n" + ContentLines(CurrentPath);
  richEdit1_->SetText(sheet);
}

}  // namespace mirabo
