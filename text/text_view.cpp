#include "text/text_view.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/controls/controls.h"
#include "base/win/clipboard.h"
#include "base/win/dpi.h"
#include "base/win/text.h"
#include "text/encoding.h"

namespace mirabo {
namespace {

constexpr int kTabColumns = 8;

// The scroll bars hold 32-bit positions; longer texts scroll in steps.
int BarValue(uint64_t value) { return static_cast<int>(std::min<uint64_t>(value, INT_MAX)); }

static_assert(sizeof(wchar_t) == sizeof(char16_t), "lines are UTF-16 on Windows");

}  // namespace

TTextControl::TTextControl(HWND parent) : source_(std::make_shared<TextLineSource>(std::string())) {
  RegisterClassOnce(L"TMiraboText", CS_DBLCLKS, nullptr, nullptr);
  CreateFor(WS_EX_CLIENTEDGE, L"TMiraboText", L"", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0, 0, 0,
            parent);
  SetFont(L"FixedSys", 9, win::DpiOf(Handle()));
}

void TTextControl::SetText(std::string cp932) { SetSource(std::make_shared<TextLineSource>(std::move(cp932))); }

void TTextControl::SetSource(std::shared_ptr<const ILineSource> source) {
  source_ = std::move(source);
  top_ = 0;
  left_ = 0;
  caret_ = anchor_ = {};
  UpdateBars();
  PlaceCaret();
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

std::wstring TTextControl::Text() const {
  std::wstring text;
  for (uint64_t i = 0; i < source_->LineCount(); ++i) {
    if (i) text += L"\r\n";
    text += LineText(i);
  }
  return text;
}

std::wstring TTextControl::Decoded(std::string_view bytes) const {
  const text::Encoding encoding = source_->Encoding();
  if (encoding == text::Encoding::ShiftJis) return win::Cp932ToWide(std::string(bytes));
  std::wstring line(text::MaxUtf16Units(bytes.size()), L'\0');
  line.resize(text::DecodeUtf16(bytes, encoding, reinterpret_cast<char16_t*>(line.data())));
  return line;
}

std::wstring TTextControl::LineText(uint64_t index) const { return Decoded(source_->Line(index)); }

size_t TTextControl::NextChar(const std::string& line, size_t at) const {
  return text::NextCharacter(line, at, source_->Encoding());
}

size_t TTextControl::PrevChar(const std::string& line, size_t at) const {
  return text::PreviousCharacter(line, at, source_->Encoding());
}

void TTextControl::SetFont(const std::wstring& face, int pointSize, int dpi) {
  win::WindowDC dc(Handle());
  const int height = -MulDiv(pointSize, dpi, 72);
  font_.Reset(::CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, DEFAULT_QUALITY,
                            FIXED_PITCH, face.c_str()));
  face_ = face;
  size_ = pointSize;
  TEXTMETRICW tm{};
  {
    win::SelectedObject font(dc.Get(), font_.Get());
    ::GetTextMetricsW(dc.Get(), &tm);
  }
  lineHeight_ = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
  charWidth_ = std::max<int>(1, tm.tmAveCharWidth);
  UpdateBars();
  PlaceCaret();
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

int TTextControl::ContentWidth() const {
  return static_cast<int>(std::min<size_t>(source_->MaxLineBytes(), INT_MAX / 64)) * charWidth_ + charWidth_;
}

uint64_t TTextControl::VisibleLines() const {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  return std::max<uint64_t>(1, static_cast<uint64_t>(r.bottom / lineHeight_));
}

std::wstring TTextControl::DisplayText(const std::string& bytes) const {
  // Tabs to the next multiple of eight columns; a control shows them so.
  const text::Encoding encoding = source_->Encoding();
  if (encoding == text::Encoding::ShiftJis) {
    // A Shift-JIS character is as wide as its bytes.
    if (bytes.find('\t') == std::string::npos) return win::Cp932ToWide(bytes);
    std::string expanded;
    for (const char c : bytes) {
      if (c == '\t') expanded.append(kTabColumns - expanded.size() % kTabColumns, ' ');
      else expanded += c;
    }
    return win::Cp932ToWide(expanded);
  }
  const std::wstring line = Decoded(bytes);
  if (line.find(L'\t') == std::wstring::npos) return line;
  const std::u16string_view units(reinterpret_cast<const char16_t*>(line.data()), line.size());
  std::wstring expanded;
  size_t cells = 0;
  for (size_t i = 0, n = 0; i < units.size(); i += n) {
    const char32_t c = text::CodePointAt(units, i, n);
    if (c == U'\t') {
      const size_t spaces = kTabColumns - cells % kTabColumns;
      expanded.append(spaces, L' ');
      cells += spaces;
    } else {
      expanded.append(line, i, n);
      cells += static_cast<size_t>(text::CellWidth(c));
    }
  }
  return expanded;
}

int TTextControl::ColumnX(const std::string& bytes, size_t column) const {
  if (column == 0) return 0;
  win::WindowDC dc(Handle());
  win::SelectedObject font(dc.Get(), font_.Get());
  const std::wstring prefix = DisplayText(bytes.substr(0, std::min(column, bytes.size())));
  SIZE size{};
  ::GetTextExtentPoint32W(dc.Get(), prefix.c_str(), static_cast<int>(prefix.size()), &size);
  return size.cx;
}

size_t TTextControl::ColumnAt(const std::string& bytes, int x) const {
  size_t best = 0;
  for (size_t at = 0; at < bytes.size();) {
    const size_t next = NextChar(bytes, at);
    const int mid = (ColumnX(bytes, at) + ColumnX(bytes, next)) / 2;
    if (x < mid) return at;
    best = next;
    at = next;
  }
  return best;
}

size_t TTextControl::ClampColumn(uint64_t line, size_t column) const {
  const std::string bytes = source_->Line(line);
  if (column >= bytes.size()) return bytes.size();
  // Never inside a double-byte character.
  size_t at = 0;
  while (NextChar(bytes, at) <= column && at < bytes.size()) at = NextChar(bytes, at);
  return at;
}

TextPosition TTextControl::HitTest(int x, int y) const {
  const uint64_t count = source_->LineCount();
  if (count == 0) return {};
  const int64_t row = y < 0 ? -1 : y / lineHeight_;
  uint64_t line = row < 0 ? (top_ > 0 ? top_ - 1 : 0) : top_ + static_cast<uint64_t>(row);
  line = std::min(line, count - 1);
  return {line, ColumnAt(source_->Line(line), x + left_)};
}

void TTextControl::UpdateBars() {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  const uint64_t lines = source_->LineCount();
  SCROLLINFO v{sizeof v, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
               BarValue(lines ? lines - 1 : 0), static_cast<UINT>(VisibleLines()), BarValue(top_), 0};
  ::SetScrollInfo(Handle(), SB_VERT, &v, TRUE);
  const int width = ContentWidth();
  SCROLLINFO h{sizeof h, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, width,
               static_cast<UINT>(std::max<LONG>(1, r.right)), left_, 0};
  ::SetScrollInfo(Handle(), SB_HORZ, &h, TRUE);
}

void TTextControl::ScrollTo(uint64_t top, int left) {
  const uint64_t lines = source_->LineCount();
  const uint64_t page = VisibleLines();
  const uint64_t maxTop = lines > page ? lines - page : 0;
  top_ = std::min(top, maxTop);
  RECT r{};
  ::GetClientRect(Handle(), &r);
  const int maxLeft = std::max<int>(0, ContentWidth() - r.right);
  left_ = std::clamp(left, 0, maxLeft);
  UpdateBars();
  PlaceCaret();
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TTextControl::EnsureVisible() {
  uint64_t top = top_;
  const uint64_t page = VisibleLines();
  if (caret_.line < top) top = caret_.line;
  else if (caret_.line >= top + page) top = caret_.line - page + 1;
  int left = left_;
  RECT r{};
  ::GetClientRect(Handle(), &r);
  const int x = ColumnX(source_->Line(caret_.line), caret_.column);
  if (x < left) left = x;
  else if (x >= left + r.right - charWidth_) left = x - r.right + 2 * charWidth_;
  ScrollTo(top, left);
}

void TTextControl::PlaceCaret() {
  if (::GetFocus() != Handle()) return;
  const int64_t row = static_cast<int64_t>(caret_.line) - static_cast<int64_t>(top_);
  const int x = ColumnX(source_->Line(caret_.line), caret_.column) - left_;
  ::SetCaretPos(x, static_cast<int>(std::clamp<int64_t>(row, -1, 100000)) * lineHeight_);
}

void TTextControl::MoveCaret(TextPosition to, bool extend) {
  caret_ = to;
  if (!extend) anchor_ = to;
  EnsureVisible();
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TTextControl::SetSelStart(TextPosition position) {
  const uint64_t count = source_->LineCount();
  if (count == 0) {
    MoveCaret({}, false);
    return;
  }
  const uint64_t line = std::min(position.line, count - 1);
  MoveCaret({line, ClampColumn(line, position.column)}, false);
}

void TTextControl::SelectAll() {
  const uint64_t count = source_->LineCount();
  anchor_ = {};
  caret_ = count ? TextPosition{count - 1, source_->Line(count - 1).size()} : TextPosition{};
  EnsureVisible();
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

std::string TTextControl::SelectedText() const {
  const TextPosition from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
  if (from == to) return {};
  std::string out;
  for (uint64_t line = from.line; line <= to.line; ++line) {
    const std::string bytes = source_->Line(line);
    const size_t begin = line == from.line ? std::min(from.column, bytes.size()) : 0;
    const size_t end = line == to.line ? std::min(to.column, bytes.size()) : bytes.size();
    if (line != from.line) out += "\r\n";
    out.append(bytes, begin, end - begin);
  }
  return out;
}

std::wstring TTextControl::SelectedWideText() const {
  const std::string bytes = SelectedText();
  if (source_->Encoding() == text::Encoding::ShiftJis) return win::Cp932ToWide(bytes);
  // Decoded line by line: a UTF-16 line break is no pair of bytes.
  const TextPosition from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
  std::wstring out;
  for (uint64_t line = from.line; from != to && line <= to.line; ++line) {
    const std::string lineBytes = source_->Line(line);
    const size_t begin = line == from.line ? std::min(from.column, lineBytes.size()) : 0;
    const size_t end = line == to.line ? std::min(to.column, lineBytes.size()) : lineBytes.size();
    if (line != from.line) out += L"\r\n";
    out += Decoded(std::string_view(lineBytes).substr(begin, end - begin));
  }
  return out;
}

void TTextControl::CopyToClipboard(bool evenEmpty) const {
  if (anchor_ == caret_ && !evenEmpty) {
    win::EmptyClipboardOf(Handle());
  } else if (source_->Encoding() == text::Encoding::ShiftJis) {
    win::SetClipboardText(Handle(), SelectedText());  // the bytes as they are, exactly
  } else {
    win::SetClipboardText(Handle(), SelectedWideText());
  }
}

void TTextControl::OnKey(WPARAM key) {
  const bool shift = ::GetKeyState(VK_SHIFT) < 0, ctrl = ::GetKeyState(VK_CONTROL) < 0;
  const uint64_t count = source_->LineCount();
  if (count == 0) return;
  const uint64_t page = VisibleLines();
  TextPosition to = caret_;
  const std::string line = source_->Line(caret_.line);
  switch (key) {
    case VK_LEFT:
      if (to.column > 0) to.column = PrevChar(line, to.column);
      else if (to.line > 0) to = {to.line - 1, source_->Line(to.line - 1).size()};
      break;
    case VK_RIGHT:
      if (to.column < line.size()) to.column = NextChar(line, to.column);
      else if (to.line + 1 < count) to = {to.line + 1, 0};
      break;
    case VK_UP:
      if (to.line > 0) to = {to.line - 1, ClampColumn(to.line - 1, to.column)};
      break;
    case VK_DOWN:
      if (to.line + 1 < count) to = {to.line + 1, ClampColumn(to.line + 1, to.column)};
      break;
    case VK_PRIOR: {
      const uint64_t l = to.line > page ? to.line - page : 0;
      to = {l, ClampColumn(l, to.column)};
      ScrollTo(top_ > page ? top_ - page : 0, left_);
      break;
    }
    case VK_NEXT: {
      const uint64_t l = std::min(count - 1, to.line + page);
      to = {l, ClampColumn(l, to.column)};
      ScrollTo(top_ + page, left_);
      break;
    }
    case VK_HOME: to = ctrl ? TextPosition{} : TextPosition{to.line, 0}; break;
    case VK_END:
      to = ctrl ? TextPosition{count - 1, source_->Line(count - 1).size()} : TextPosition{to.line, line.size()};
      break;
    case 'A':
      if (ctrl) SelectAll();
      return;
    case 'C':
    case VK_INSERT:
      if (ctrl) CopyToClipboard();
      return;
    default:
      return;
  }
  MoveCaret(to, shift);
}

void TTextControl::Paint(HDC dc, const RECT& dirty) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  win::SelectedObject font(dc, font_.Get());
  ::SetBkMode(dc, OPAQUE);
  const TextPosition from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
  const uint64_t count = source_->LineCount();
  const int firstRow = dirty.top / lineHeight_;
  const int lastRow = dirty.bottom / lineHeight_;
  for (int row = firstRow; row <= lastRow; ++row) {
    RECT band{0, row * lineHeight_, client.right, (row + 1) * lineHeight_};
    const uint64_t line = top_ + static_cast<uint64_t>(row);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    if (line >= count) {
      ::ExtTextOutW(dc, 0, band.top, ETO_OPAQUE, &band, L"", 0, nullptr);
      continue;
    }
    const std::string bytes = source_->Line(line);
    const std::wstring text = DisplayText(bytes);
    ::ExtTextOutW(dc, -left_, band.top, ETO_OPAQUE | ETO_CLIPPED, &band, text.c_str(), static_cast<UINT>(text.size()),
                  nullptr);
    if (from != to && line >= from.line && line <= to.line) {
      const size_t begin = line == from.line ? from.column : 0;
      const size_t end = line == to.line ? to.column : bytes.size();
      const int x0 = ColumnX(bytes, begin) - left_;
      // A selected line break shows as a little extra width.
      const int x1 = ColumnX(bytes, end) - left_ + (line != to.line ? charWidth_ / 2 : 0);
      RECT sel{std::max<LONG>(0, x0), band.top, std::min<LONG>(client.right, x1), band.bottom};
      if (sel.right > sel.left) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
        ::ExtTextOutW(dc, -left_, band.top, ETO_OPAQUE | ETO_CLIPPED, &sel, text.c_str(),
                      static_cast<UINT>(text.size()), nullptr);
      }
    }
  }
}

LRESULT TTextControl::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (HandlePaint(msg, wp, [this](HDC dc, const RECT& area) { Paint(dc, area); })) return 0;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      ScrollTo(top_, left_);
      return 0;
    case WM_SETFOCUS:
      ::CreateCaret(Handle(), nullptr, 2, lineHeight_);
      PlaceCaret();
      ::ShowCaret(Handle());
      return 0;
    case WM_KILLFOCUS:
      ::DestroyCaret();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      OnKey(wp);
      return 0;
    case WM_LBUTTONDOWN: {
      ::SetFocus(Handle());
      const bool shift = (wp & MK_SHIFT) != 0;
      MoveCaret(HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)), shift);
      selecting_ = true;
      ::SetCapture(Handle());
      return 0;
    }
    case WM_MOUSEMOVE:
      if (selecting_) MoveCaret(HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)), true);
      return 0;
    case WM_LBUTTONUP:
      if (selecting_) {
        selecting_ = false;
        ::ReleaseCapture();
      }
      return 0;
    case WM_MOUSEWHEEL: {
      const int notches = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
      const int64_t top = static_cast<int64_t>(top_) - notches * 3;
      ScrollTo(static_cast<uint64_t>(std::max<int64_t>(0, top)), left_);
      return 0;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
      const bool vertical = msg == WM_VSCROLL;
      SCROLLINFO si{sizeof si, SIF_ALL};
      ::GetScrollInfo(Handle(), vertical ? SB_VERT : SB_HORZ, &si);
      const int64_t line = vertical ? 1 : charWidth_;
      const int64_t page = vertical ? static_cast<int64_t>(VisibleLines()) : static_cast<int64_t>(si.nPage);
      const int64_t at = vertical ? static_cast<int64_t>(top_) : left_;
      const int64_t pos = std::max<int64_t>(0, win::ScrollRequestTarget(LOWORD(wp), at, line, page, si.nTrackPos,
                                                                        INT64_MAX / 2));
      if (vertical) ScrollTo(static_cast<uint64_t>(pos), left_);
      else ScrollTo(top_, static_cast<int>(std::min<int64_t>(pos, INT_MAX)));
      return 0;
    }
    case WM_CONTEXTMENU:
      return ::SendMessageW(::GetParent(Handle()), msg, reinterpret_cast<WPARAM>(Handle()), lp);
    default:
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
