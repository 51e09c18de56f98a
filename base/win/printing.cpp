#include "base/win/printing.h"

#include <commdlg.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "base/errors.h"
#include "base/print_fit.h"
#include "base/win/clipboard.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"

namespace mirabo {
namespace {

using SharedDC = std::shared_ptr<HDC__>;

SharedDC OwnDC(HDC dc) { return SharedDC(dc, [](HDC d) { if (d) ::DeleteDC(d); }); }

class PrinterJob : public IPrintDevice {
 public:
  PrinterJob(SharedDC dc, const std::wstring& printerName, const std::wstring& documentName) : dc_(std::move(dc)) {
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = documentName.c_str();
    if (!dc_ || ::StartDocW(dc_.get(), &info) <= 0)
      throw EMirabo(FormatMessageText("プリンタ %s に印刷できません", win::WideToUtf8(printerName)));
  }
  ~PrinterJob() override {
    if (aborted_) ::AbortDoc(dc_.get());
    else ::EndDoc(dc_.get());
  }
  HDC StartPage() override {
    ::StartPage(dc_.get());
    return dc_.get();
  }
  void EndPage() override { ::EndPage(dc_.get()); }
  void Abort() override { aborted_ = true; }

 private:
  SharedDC dc_;
  bool aborted_ = false;
};

PrintDialog& CurrentDialog() {
  static PrintDialog dialog;
  return dialog;
}

std::wstring DevNamesText(const DEVNAMES* names, WORD offset) {
  return offset ? std::wstring(reinterpret_cast<const wchar_t*>(names) + offset) : std::wstring();
}

}  // namespace

std::unique_ptr<IPrintDevice> OpenPrinter(const std::wstring& printerName, const std::wstring& documentName) {
  // The printer's name alone reaches it; its driver and port are the
  // system's business.
  return std::make_unique<PrinterJob>(OwnDC(::CreateDCW(nullptr, printerName.c_str(), nullptr, nullptr)), printerName,
                                      documentName);
}

PrintDialog SetPrintDialog(PrintDialog dialog) { return std::exchange(CurrentDialog(), std::move(dialog)); }

std::optional<PrintChoice> ShowPrintDialog(HWND owner) {
  if (CurrentDialog()) return CurrentDialog()(owner);
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = owner;
  pd.Flags = PD_RETURNDC;
  if (!::PrintDlgW(&pd)) return std::nullopt;
  PrintChoice choice;
  if (pd.hDevNames) {
    const auto* names = static_cast<const DEVNAMES*>(::GlobalLock(pd.hDevNames));
    choice.printer = DevNamesText(names, names->wDeviceOffset);
    choice.driver = DevNamesText(names, names->wDriverOffset);
    choice.port = DevNamesText(names, names->wOutputOffset);
    ::GlobalUnlock(pd.hDevNames);
    ::GlobalFree(pd.hDevNames);
  }
  if (pd.hDevMode) ::GlobalFree(pd.hDevMode);
  SharedDC dc = OwnDC(pd.hDC);
  choice.startJob = [dc, printer = choice.printer](const std::wstring& documentName) -> std::unique_ptr<IPrintDevice> {
    return std::make_unique<PrinterJob>(dc, printer, documentName);
  };
  return choice;
}

void PrintTextLines(IPrintDevice& device, const std::vector<std::wstring>& lines, const std::wstring& fontFace,
                    int pointSize) {
  HDC dc = device.StartPage();
  const int dpi = std::max(::GetDeviceCaps(dc, LOGPIXELSY), 1);
  // The text view's own font at the printer's resolution: its Japanese
  // glyphs are what the printer's default font usually lacks.
  win::UniqueFont font(::CreateFontW(-::MulDiv(std::max(pointSize, 1), dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                     DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, fontFace.c_str()));
  // Each page's device context holds the font until the page ends, so the
  // font is free to go with the last page.
  std::optional<win::SelectedObject> selected;
  const auto select = [&font, &selected](HDC page) {
    selected.emplace(page, font.Get());
    ::SetBkMode(page, TRANSPARENT);
    ::SetTextColor(page, RGB(0, 0, 0));
    TEXTMETRICW tm{};
    ::GetTextMetricsW(page, &tm);
    return std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
  };
  int lineHeight = select(dc);
  const int bottom = ::GetDeviceCaps(dc, VERTRES);
  int y = 0;
  for (const std::wstring& text : lines) {
    if (y > 0 && y + lineHeight > bottom) {
      selected.reset();
      device.EndPage();
      dc = device.StartPage();
      lineHeight = select(dc);
      y = 0;
    }
    ::TabbedTextOutW(dc, 0, y, text.c_str(), static_cast<int>(text.size()), 0, nullptr, 0);
    y += lineHeight;
  }
  selected.reset();
  device.EndPage();
}

void PrintBitmap(IPrintDevice& device, HBITMAP bitmap, int width, int height) {
  const HDC dc = device.StartPage();
  const PrintFit fit = FitToPage(width, height, ::GetDeviceCaps(dc, HORZRES), ::GetDeviceCaps(dc, VERTRES));
  const std::vector<uint8_t> dib = win::PackedDib(bitmap);
  if (!dib.empty()) {
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    const size_t header = sizeof(BITMAPINFOHEADER) + info->bmiHeader.biClrUsed * sizeof(RGBQUAD);
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchDIBits(dc, 0, 0, fit.width, fit.height, 0, 0, width, height, dib.data() + header, info, DIB_RGB_COLORS,
                    SRCCOPY);
  }
  device.EndPage();
}

void PrintDrawing(IPrintDevice& device, HENHMETAFILE drawing, int width, int height) {
  const HDC dc = device.StartPage();
  const PrintFit fit = FitToPage(width, height, ::GetDeviceCaps(dc, HORZRES), ::GetDeviceCaps(dc, VERTRES));
  const RECT area{0, 0, fit.width, fit.height};
  const int saved = ::SaveDC(dc);
  ::PlayEnhMetaFile(dc, drawing, &area);
  ::RestoreDC(dc, saved);
  device.EndPage();
}

}  // namespace mirabo
