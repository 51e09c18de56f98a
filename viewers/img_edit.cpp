#include "viewers/img_edit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/controls/controls.h"
#include "base/errors.h"
#include "base/win/clipboard.h"
#include "base/win/file_ops.h"
#include "base/win/paths.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"
#include "viewers/document/page_ops.h"

namespace mirabo {
namespace {

// A document file read where it lies, shared so that the user may rename
// or delete it while it is shown. Small reads come from one cached block;
// large ones (strips) go straight into the caller's memory. The tiniest
// (a directory's entry count, its next offset) are also remembered: the
// chain of directories is walked when the file opens and again by libtiff
// the first time it moves to another page, and the second walk then reads
// nothing. Reads at an explicit offset cost several times a plain read
// under Wine, so the handle's own position is used and moved only when the
// next read is elsewhere.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::wstring& path)
      : file_(win::OpenForSharedReading(path)) {
    LARGE_INTEGER size{};
    if (!file_ || !::GetFileSizeEx(file_.Get(), &size))
      throw EInOutError(FormatMessageText("ファイル %s を開けません", win::WideToUtf8(path)));
    size_ = static_cast<uint64_t>(size.QuadPart);
  }
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) override {
    auto* out = static_cast<uint8_t*>(buffer);
    if (size >= kBlock) return ReadDirect(offset, out, size);
    if (size <= 8) {
      const uint64_t key = offset << 4 | size;
      if (const auto known = small_.find(key); known != small_.end()) {
        std::memcpy(out, known->second.bytes, known->second.size);
        return known->second.size;
      }
      const size_t n = ReadCached(offset, out, size);
      if (small_.size() < (1u << 20)) {
        Small& kept = small_[key];
        kept.size = static_cast<uint8_t>(n);
        std::memcpy(kept.bytes, out, n);
      }
      return n;
    }
    return ReadCached(offset, out, size);
  }

 private:
  static constexpr size_t kBlock = 4096;
  struct Small {
    uint8_t size;
    uint8_t bytes[8];
  };

  size_t ReadCached(uint64_t offset, uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size) {
      const uint64_t at = offset + done;
      if (at < blockStart_ || at >= blockStart_ + block_.size()) {
        block_.resize(kBlock);
        blockStart_ = at;
        block_.resize(ReadDirect(at, block_.data(), kBlock));
        if (block_.empty()) break;
      }
      const size_t n = std::min<size_t>(size - done, blockStart_ + block_.size() - at);
      std::memcpy(out + done, block_.data() + (at - blockStart_), n);
      done += n;
    }
    return done;
  }

  size_t ReadDirect(uint64_t offset, uint8_t* out, size_t size) {
    if (offset != position_) {
      LARGE_INTEGER to{};
      to.QuadPart = static_cast<LONGLONG>(offset);
      if (!::SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN)) return 0;
      position_ = offset;
    }
    size_t done = 0;
    while (done < size) {
      DWORD got = 0;
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      if (!::ReadFile(file_.Get(), out + done, ask, &got, nullptr) || got == 0) break;
      done += got;
    }
    position_ += done;
    return done;
  }

  win::UniqueFile file_;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  std::vector<uint8_t> block_;
  uint64_t blockStart_ = 0;
  std::unordered_map<uint64_t, Small> small_;
};

// A header and colour table for a page's rows: black and white, 256
// greys, or none for colour.
struct PageBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];

  PageBitmapInfo(const DocPage& page, int rows) : header{}, colours{} {
    header.biSize = sizeof header;
    header.biWidth = page.width;
    header.biHeight = -rows;  // top-down
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(page.BitsPerPixel());
    header.biCompression = BI_RGB;
    const int n = page.format == PageFormat::Bilevel ? 2 : page.format == PageFormat::Grey ? 256 : 0;
    header.biClrUsed = static_cast<DWORD>(n);
    for (int i = 0; i < n; ++i) {
      const BYTE v = static_cast<BYTE>(n == 2 ? i * 255 : i);
      colours[i] = {v, v, v, 0};
    }
  }
  const BITMAPINFO* Get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

// The whole page into a rectangle of a device, smoothed when it shrinks.
void StretchPage(HDC dc, const DocPage& page, int x, int y, int width, int height) {
  const PageBitmapInfo info(page, page.height);
  const bool shrinking = width < page.width || height < page.height;
  ::SetStretchBltMode(dc, shrinking ? HALFTONE : COLORONCOLOR);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchDIBits(dc, x, y, width, height, 0, 0, page.width, page.height, page.bits.data(), info.Get(),
                  DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace

std::unique_ptr<Document> OpenDocumentFile(const std::wstring& path) {
  return OpenDocument(std::make_unique<FileSource>(path));
}

void TImgEdit::Create(HWND parent) {
  RegisterClassOnce(L"TImgEdit", CS_DBLCLKS, nullptr, nullptr);
  CreateFor(0, L"TImgEdit", L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent);
}

void TImgEdit::Clear() {
  // The memory of the page and of its reduced copy is kept for the next
  // page to be decoded into.
  if (!shown_.bits.empty()) spare_ = std::move(shown_);
  shown_ = {};
  shownPage_ = 0;
  reducedFactor_ = 0;
  scroll_[0] = scroll_[1] = 0;
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TImgEdit::SetImage(const std::wstring& path) {
  document_.reset();
  image_ = path;
  page_ = 1;
  Clear();
  if (path.empty()) return;
  document_ = OpenDocumentFile(path);
}

void TImgEdit::SetZoom(float percent) {
  if (!(percent > 0)) return;
  zoom_ = percent;
  if (percent >= 100) reduced_ = {};
  UpdateScrollBars();
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TImgEdit::SetPage(int page) { page_ = page; }

void TImgEdit::SetScrollBars(bool on) {
  scrollBars_ = on;
  UpdateScrollBars();
}

void TImgEdit::ShowPage() {
  if (!document_) return;
  if (shownPage_ != page_) {
    Clear();
    if (page_ < 1 || page_ > document_->PageCount())
      throw EDocumentError(FormatMessageText("ページ %s はありません", std::to_string(page_)));
    shown_ = document_->ReadPage(page_ - 1, &spare_);
    spare_ = {};
    shownPage_ = page_;
  }
  UpdateScrollBars();
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TImgEdit::Turn(int quarterTurnsLeft, int amount) {
  if (amount % 900 != 0)
    throw EDocumentError("回転の角度は 900 (90 度) 単位で指定してください");
  if (shown_.Empty() || quarterTurnsLeft % 4 == 0) return;
  shown_ = TurnPage(shown_, quarterTurnsLeft);
  reducedFactor_ = 0;
  UpdateScrollBars();
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TImgEdit::CopyAreaToClipboard(int left, int top, int width, int height) {
  win::SetClipboardDib(Handle(), PageAreaDib(shown_, left, top, width, height));
}

void TImgEdit::PrintPages(int first, int last, int, bool, const std::wstring& printer, const std::wstring&,
                          const std::wstring&) {
  if (!document_) return;
  const size_t slash = image_.find_last_of(L"\\/");
  const auto device = OpenPrinter(printer, slash == std::wstring::npos ? image_ : image_.substr(slash + 1));
  PrintPagesOn(*device, first, last);
}

void TImgEdit::PrintPagesOn(IPrintDevice& device, int first, int last) {
  if (!document_) return;
  first = std::max(first, 1);
  last = std::min(last, document_->PageCount());
  std::string failure;
  for (int number = first; number <= last; ++number) {
    DocPage page;
    try {
      page = document_->ReadPage(number - 1);
    } catch (const EDocumentError& e) {
      if (failure.empty()) failure = e.what();
      continue;
    }
    const HDC dc = device.StartPage();
    const PlacedRect place = PlaceOnPaper(page.width, page.height, std::max(page.xdpi, page.ydpi),
                                          ::GetDeviceCaps(dc, HORZRES), ::GetDeviceCaps(dc, VERTRES),
                                          ::GetDeviceCaps(dc, LOGPIXELSX), ::GetDeviceCaps(dc, LOGPIXELSY));
    StretchPage(dc, page, place.x, place.y, place.width, place.height);
    device.EndPage();
  }
  if (!failure.empty()) throw EDocumentError(failure);
}

const DocPage& TImgEdit::Display(double& stretch, int firstRow, int endRow) {
  stretch = zoom_ / 100.0;
  if (zoom_ >= 100 - 1e-3) return shown_;
  // Reduced by the largest power of two the zoom allows; only zooms that
  // are not one of the four steps are stretched further.
  int factor = 1;
  while (factor < 1024 && 100.0 / zoom_ >= factor * 2 - 1e-3) factor *= 2;
  stretch = zoom_ * factor / 100.0;
  if (reducedFactor_ != factor) {
    reduced_ = MakeReducedPage(shown_, factor, &reduced_);
    reducedFactor_ = factor;
    bandsDone_.assign(static_cast<size_t>(reduced_.height + kBand - 1) / kBand, false);
  }
  // Only the bands of rows asked for that are not made yet.
  if (std::abs(stretch - 1) > 1e-6) firstRow = 0, endRow = reduced_.height;
  for (int band = std::max(firstRow, 0) / kBand; band * kBand < std::min(endRow, reduced_.height); ++band) {
    if (bandsDone_[static_cast<size_t>(band)]) continue;
    ReduceRows(shown_, factor, reduced_, band * kBand, band * kBand + kBand);
    bandsDone_[static_cast<size_t>(band)] = true;
  }
  return reduced_;
}

void TImgEdit::Paint(HDC dc, const RECT& area) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  RECT page{0, 0, 0, 0};
  if (!shown_.Empty()) {
    double stretch = 1;
    const int x = -scroll_[0], y = -scroll_[1];
    const DocPage& display = Display(stretch, area.top - y, area.bottom - y);
    if (std::abs(stretch - 1) < 1e-6) {
      page = {x, y, x + display.width, y + display.height};
      // Only the rows the update needs, as a band of the top-down rows.
      const int first = std::clamp<int>(area.top - y, 0, display.height);
      const int end = std::clamp<int>(area.bottom - y, 0, display.height);
      // And only its columns: the system converts what it is given, shown
      // or not.
      const int left = std::max<int>(area.left, x), right = std::min<int>(area.right, x + display.width);
      if (end > first && right > left) {
        const PageBitmapInfo info(display, end - first);
        ::SetDIBitsToDevice(dc, left, y + first, static_cast<DWORD>(right - left), static_cast<DWORD>(end - first),
                            left - x, 0, 0, static_cast<UINT>(end - first), display.Row(first), info.Get(),
                            DIB_RGB_COLORS);
      }
    } else {
      const int w = static_cast<int>(display.width * stretch), h = static_cast<int>(display.height * stretch);
      page = {x, y, x + w, y + h};
      StretchPage(dc, display, x, y, w, h);
    }
  }
  // What the page does not cover.
  const HRGN rest = ::CreateRectRgnIndirect(&client);
  const HRGN covered = ::CreateRectRgnIndirect(&page);
  ::CombineRgn(rest, rest, covered, RGN_DIFF);
  ::FillRgn(dc, rest, ::GetSysColorBrush(COLOR_WINDOW));
  ::DeleteObject(covered);
  ::DeleteObject(rest);
}

void TImgEdit::UpdateScrollBars() {
  if (!Handle()) return;
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const int extent[2] = {static_cast<int>(shown_.width * zoom_ / 100), static_cast<int>(shown_.height * zoom_ / 100)};
  const int view[2] = {client.right, client.bottom};
  for (int bar = 0; bar < 2; ++bar) {
    const int type = bar ? SB_VERT : SB_HORZ;
    const bool needed = scrollBars_ && extent[bar] > view[bar];
    scroll_[bar] = needed ? std::clamp(scroll_[bar], 0, extent[bar] - view[bar]) : 0;
    // Showing or hiding a bar resizes the client area, which comes back here.
    if (barShown_[bar] != needed) {
      barShown_[bar] = needed;
      ::ShowScrollBar(Handle(), type, needed);
    }
    if (!needed) continue;
    SCROLLINFO si{sizeof si, SIF_ALL, 0, extent[bar] - 1, static_cast<UINT>(view[bar]), scroll_[bar], 0};
    ::SetScrollInfo(Handle(), type, &si, TRUE);
  }
}

void TImgEdit::Scroll(int bar, WORD request, int thumb) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const int view = bar ? client.bottom : client.right;
  const int extent = static_cast<int>((bar ? shown_.height : shown_.width) * zoom_ / 100);
  const int target = static_cast<int>(std::clamp<int64_t>(
      win::ScrollRequestTarget(request, scroll_[bar], 16, std::max(view - 16, 16), thumb, extent - view), 0,
      std::max(extent - view, 0)));
  if (target == scroll_[bar]) return;
  scroll_[bar] = target;
  ::SetScrollPos(Handle(), bar ? SB_VERT : SB_HORZ, target, TRUE);
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TImgEdit::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (HandlePaint(msg, wp, [this](HDC dc, const RECT& area) { Paint(dc, area); })) return 0;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      UpdateScrollBars();
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      SCROLLINFO si{sizeof si, SIF_TRACKPOS};
      ::GetScrollInfo(Handle(), msg == WM_VSCROLL ? SB_VERT : SB_HORZ, &si);
      Scroll(msg == WM_VSCROLL ? 1 : 0, LOWORD(wp), si.nTrackPos);
      return 0;
    }
    default:
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
