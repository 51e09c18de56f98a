#pragma once
// Print jobs: pages drawn on a device context, a printer reached by name or
// chosen in the print dialog, and the two things the viewer prints itself,
// lines of text and a picture fitted to the page. Tests put a device of
// their own (pages recorded as metafiles) in the dialog's place.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirabo {

// Where printed pages go. The destructor ends the job, or drops it after
// Abort.
class IPrintDevice {
 public:
  virtual ~IPrintDevice() = default;
  // The device context a new page is drawn on; its device capabilities give
  // the printable area and the resolution.
  virtual HDC StartPage() = 0;
  virtual void EndPage() = 0;
  virtual void Abort() {}
};

// The named printer's device context and a job on it, started at once.
// Throws EMirabo "プリンタ %s に印刷できません" when the printer refuses it.
std::unique_ptr<IPrintDevice> OpenPrinter(const std::wstring& printerName, const std::wstring& documentName);

// The print dialog's answer: the printer's names as the system lists them,
// and the job on it, started when it is asked for.
struct PrintChoice {
  std::wstring printer, driver, port;
  std::function<std::unique_ptr<IPrintDevice>(const std::wstring& documentName)> startJob;
};
// Shows the standard print dialog; nothing when it is cancelled.
using PrintDialog = std::function<std::optional<PrintChoice>(HWND owner)>;
std::optional<PrintChoice> ShowPrintDialog(HWND owner);
// Tests answer the dialog themselves; returns the dialog it replaces.
PrintDialog SetPrintDialog(PrintDialog dialog);

// Lines (CP932) in the font named, one printed line each, a new page when
// the next would pass the printable area's bottom; long lines are not
// wrapped.
void PrintTextLines(IPrintDevice& device, const std::vector<std::wstring>& lines, const std::wstring& fontFace,
                    int pointSize);
// The bitmap stretched into FitToPage's rectangle at the page's top left.
void PrintBitmap(IPrintDevice& device, HBITMAP bitmap, int width, int height);
// A drawing of width x height played into the same rectangle, at the
// printer's own resolution.
void PrintDrawing(IPrintDevice& device, HENHMETAFILE drawing, int width, int height);

}  // namespace mirabo
