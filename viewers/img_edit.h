#pragma once
// The document imaging control: a child window of its owner that shows one
// page of a TIFF or PCX document at a zoom, turns the page, copies a
// rectangle of it to the clipboard and prints pages. The page is decoded
// once when it is selected and kept; zooms and repaints work from that copy
// (below 100 % from one reduced copy made at the first paint).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win/printing.h"
#include "base/win/window.h"
#include "viewers/document/document.h"
#include "viewers/platform_controls.h"

namespace mirabo {

// A TIFF or PCX document read from its file where it lies (shared, so the
// user may rename or delete the file while it is shown). Throws
// EInOutError when the file cannot be opened, EDocumentError as
// OpenDocument does.
std::unique_ptr<Document> OpenDocumentFile(const std::wstring& path);

class TImgEdit : public IDocumentImaging, public win::Window<TImgEdit> {
 public:
  void Create(HWND parent);

  // Opens the document at once (the page is read by ShowPage); "" closes it.
  // Throws EInOutError or EDocumentError, leaving the control empty.
  void SetImage(const std::wstring& path) override;
  void SetZoom(float percent) override;
  void SetPage(int page) override;
  int Page() override { return page_; }
  int PageCount() override { return document_ ? document_->PageCount() : 0; }
  // The shown page's size at 100 %, turned as it is shown; 0 when none.
  int ImageWidth() override { return shown_.width; }
  int ImageHeight() override { return shown_.height; }
  void SetScrollBars(bool on) override;
  // Reads the selected page when it is not the one kept (a turn is then
  // forgotten) and draws it. Throws EDocumentError for a page that cannot
  // be read or does not exist; the control is then empty until another
  // page is shown.
  void ShowPage() override;
  void CopyAreaToClipboard(int left, int top, int width, int height) override;
  void TurnLeft(int amount) override { Turn(amount / 900, amount); }
  void TurnRight(int amount) override { Turn(-(amount / 900), amount); }
  // Prints on the named printer; the driver and port are what the printer
  // list says and are not needed to reach it.
  void PrintPages(int first, int last, int outputFormat, bool annotations, const std::wstring& printer,
                  const std::wstring& driver, const std::wstring& port) override;
  // Pages first..last (from 1) of the document as stored, each fitted to
  // the device's printable area (see PlaceOnPaper). A page that cannot be
  // read is left out and reported once the others are printed.
  void PrintPagesOn(IPrintDevice& device, int first, int last);

  float Zoom() const { return zoom_; }
  const DocPage& ShownPage() const { return shown_; }
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void Turn(int quarterTurnsLeft, int amount);
  void Clear();
  // The copy painted at this zoom, with at least rows firstRow..endRow made,
  // and how much it is still to be stretched.
  const DocPage& Display(double& stretch, int firstRow, int endRow);
  void Paint(HDC dc, const RECT& area);
  void UpdateScrollBars();
  void Scroll(int bar, WORD request, int thumb);

  std::wstring image_;
  std::unique_ptr<Document> document_;
  int page_ = 1;
  float zoom_ = 100;
  bool scrollBars_ = true;
  int scroll_[2] = {0, 0};
  bool barShown_[2] = {false, false};
  DocPage shown_;       // the kept page, turned as shown
  DocPage spare_;       // the page before, to be decoded into
  int shownPage_ = 0;   // its number; 0 when none is kept
  DocPage reduced_;     // shown_ reduced for the current zoom, made in bands
  int reducedFactor_ = 0;
  static constexpr int kBand = 64;
  std::vector<bool> bandsDone_;
};

}  // namespace mirabo
