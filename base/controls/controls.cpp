#include "base/controls/controls.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "base/win/dpi.h"

namespace mirabo::win {

int64_t ScrollRequestTarget(WORD request, int64_t position, int64_t line, int64_t page, int64_t thumb,
                            int64_t bottom) {
  switch (request) {
    case SB_LINEUP: return position - line;
    case SB_LINEDOWN: return position + line;
    case SB_PAGEUP: return position - page;
    case SB_PAGEDOWN: return position + page;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return thumb;
    case SB_TOP: return 0;
    case SB_BOTTOM: return bottom;
    default: return position;
  }
}

HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, HWND parent, int id,
                 DWORD exStyle) {
  HWND hwnd = ::CreateWindowExW(exStyle, className, text, style | WS_CHILD, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                ::GetModuleHandleW(nullptr), nullptr);
  if (hwnd) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont(DpiOf(parent))), FALSE);
  return hwnd;
}

// ---- ScrollBox

void ScrollBox::Create(HWND parent) {
  RegisterClassOnce(L"TScrollBox", CS_DBLCLKS, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  CreateFor(0, L"TScrollBox", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_HSCROLL | WS_VSCROLL,
            0, 0, 0, 0, parent);
}

ScrollBox::Child* ScrollBox::Find(HWND hwnd) {
  for (auto& c : children_)
    if (c.hwnd == hwnd) return &c;
  return nullptr;
}

void ScrollBox::AddChild(HWND child, Align align) {
  RECT r{};
  ::GetWindowRect(child, &r);
  children_.push_back({child, align, {0, 0, r.right - r.left, r.bottom - r.top}});
  Realign();
}

void ScrollBox::SetAlign(HWND child, Align align) {
  if (Child* c = Find(child)) c->align = align;
  Realign();
}

void ScrollBox::MoveChild(HWND child, int x, int y, int width, int height) {
  SetChildContent(child, x, y, width, height);
  Realign();
}

void ScrollBox::SetChildContent(HWND child, int x, int y, int width, int height) {
  if (Child* c = Find(child)) c->content = {x, y, x + width, y + height};
}

void ScrollBox::ResizeChild(HWND child, int width, int height) {
  if (Child* c = Find(child)) MoveChild(child, c->content.left, c->content.top, width, height);
}

namespace {
// Moves a child only when its place changes: every move of a large child
// costs the system a repaint.
void PlaceChild(HWND child, int x, int y, int width, int height) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  if (r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height) return;
  ::SetWindowPos(child, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

void ScrollBox::Realign() {
  // Showing or hiding a bar resizes the box, which comes back here.
  if (realigning_) return;
  realigning_ = true;
  int right = 0, bottom = 0;
  for (const auto& c : children_) {
    if (c.align != Align::None || !(::GetWindowLongW(c.hwnd, GWL_STYLE) & WS_VISIBLE)) continue;
    right = std::max<int>(right, c.content.right);
    bottom = std::max<int>(bottom, c.content.bottom);
  }
  range_[0] = right;
  range_[1] = bottom;
  UpdateBars();
  RECT client{};
  ::GetClientRect(Handle(), &client);
  int top = 0;
  for (const auto& c : children_) {
    if (c.align != Align::Top || !(::GetWindowLongW(c.hwnd, GWL_STYLE) & WS_VISIBLE)) continue;
    const int height = c.content.bottom - c.content.top;
    PlaceChild(c.hwnd, 0, top, client.right, height);
    top += height;
  }
  for (const auto& c : children_) {
    if (c.align == Align::Client) {
      PlaceChild(c.hwnd, 0, top, client.right, std::max<int>(0, client.bottom - top));
    } else if (c.align == Align::None) {
      PlaceChild(c.hwnd, c.content.left - pos_[0], c.content.top - pos_[1], c.content.right - c.content.left,
                 c.content.bottom - c.content.top);
    }
  }
  realigning_ = false;
}

void ScrollBox::UpdateBars() {
  // The bars are set without drawing and the frame is redrawn once at the
  // next paint: each drawing set costs a round trip to the display.
  bool changed = false;
  // Showing one bar can make the other necessary; two passes settle it.
  for (int pass = 0; pass < 2; ++pass) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int extent[2] = {client.right, client.bottom};
    BarState states[2];
    for (int bar = 0; bar < 2; ++bar) {
      const int maxPos = std::max(0, range_[bar] - extent[bar]);
      pos_[bar] = std::clamp(pos_[bar], 0, maxPos);
      const bool visible = range_[bar] > extent[bar];
      states[bar] = {visible, visible ? range_[bar] - 1 : 0, extent[bar] + 1, pos_[bar]};
    }
    const bool showH = states[0].visible != bars_[0].visible, showV = states[1].visible != bars_[1].visible;
    // Both bars appearing (or going) together change the frame once.
    if (showH && showV && states[0].visible == states[1].visible) ::ShowScrollBar(Handle(), SB_BOTH, states[0].visible);
    else if (showH) ::ShowScrollBar(Handle(), SB_HORZ, states[0].visible);
    else if (showV) ::ShowScrollBar(Handle(), SB_VERT, states[1].visible);
    for (int bar = 0; bar < 2; ++bar) {
      if (states[bar] == bars_[bar]) continue;
      bars_[bar] = states[bar];
      SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, states[bar].max, static_cast<UINT>(states[bar].page),
                    states[bar].pos, 0};
      ::SetScrollInfo(Handle(), bar == 0 ? SB_HORZ : SB_VERT, &si, FALSE);
      changed = true;
    }
  }
  if (changed) ::RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void ScrollBox::SetPosition(int bar, int value) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const int extent = bar == 0 ? client.right : client.bottom;
  const int clamped = std::clamp(value, 0, std::max(0, range_[bar] - extent));
  if (clamped == pos_[bar]) return;
  pos_[bar] = clamped;
  bars_[bar].pos = clamped;
  MoveThumb(bar, clamped);
  // Hidden children wait for the realignment that comes with their showing:
  // each move costs the system as much as a visible one.
  for (const auto& c : children_)
    if (c.align == Align::None && (::GetWindowLongW(c.hwnd, GWL_STYLE) & WS_VISIBLE))
      ::SetWindowPos(c.hwnd, nullptr, c.content.left - pos_[0], c.content.top - pos_[1], 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// Draws what a move of the thumb changes on a themed bar — the track on
// either side of the thumb and the thumb — as the system draws them at rest.
// False, having drawn nothing, where the bar may not be at rest (pressed,
// dragged, under the pointer), is disabled or hidden, or has no theme.
bool DrawThumbAndTrack(HWND hwnd, HTHEME theme, int bar) {
  const bool vertical = bar == 1;
  if (!theme || ::GetCapture() || !::IsWindowVisible(hwnd)) return false;
  SCROLLBARINFO info{sizeof info};
  if (!::GetScrollBarInfo(hwnd, vertical ? OBJID_VSCROLL : OBJID_HSCROLL, &info)) return false;
  constexpr DWORD kNotAtRest = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_OFFSCREEN |
                               STATE_SYSTEM_PRESSED | STATE_SYSTEM_HOTTRACKED;
  for (const DWORD state : info.rgstate)
    if (state & kNotAtRest) return false;
  POINT cursor{};
  if (::GetCursorPos(&cursor) && ::PtInRect(&info.rcScrollBar, cursor)) return false;
  RECT window{};
  ::GetWindowRect(hwnd, &window);
  RECT whole = info.rcScrollBar;
  ::OffsetRect(&whole, -window.left, -window.top);
  // Arrows as long as the bar is thick (both systems lay them out so; Wine
  // answers the thumb's length for the arrows' own), on a bar long enough
  // for both.
  const int length = vertical ? whole.bottom - whole.top : whole.right - whole.left;
  const int arrow = vertical ? whole.right - whole.left : whole.bottom - whole.top;
  if (length < 3 * arrow) return false;
  const int start = (vertical ? whole.top : whole.left) + arrow, end = (vertical ? whole.bottom : whole.right) - arrow;
  const int thumbFrom = (vertical ? whole.top : whole.left) + info.xyThumbTop;
  const int thumbTo = (vertical ? whole.top : whole.left) + info.xyThumbBottom;
  if (thumbFrom < start || thumbTo > end || thumbFrom >= thumbTo) return false;
  const auto span = [&](int from, int to) {
    return vertical ? RECT{whole.left, from, whole.right, to} : RECT{from, whole.top, to, whole.bottom};
  };
  const RECT before = span(start, thumbFrom), thumb = span(thumbFrom, thumbTo), after = span(thumbTo, end);
  // The whole window, frame and all, clipped as the system clips its frame.
  WindowDC dc(hwnd, DCX_WINDOW | DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!dc.Get()) return false;
  if (!::IsRectEmpty(&before))
    ::DrawThemeBackground(theme, dc.Get(), vertical ? SBP_UPPERTRACKVERT : SBP_UPPERTRACKHORZ, SCRBS_NORMAL,
                          &before, nullptr);
  if (!::IsRectEmpty(&after))
    ::DrawThemeBackground(theme, dc.Get(), vertical ? SBP_LOWERTRACKVERT : SBP_LOWERTRACKHORZ, SCRBS_NORMAL,
                          &after, nullptr);
  ::DrawThemeBackground(theme, dc.Get(), vertical ? SBP_THUMBBTNVERT : SBP_THUMBBTNHORZ, SCRBS_NORMAL, &thumb,
                        nullptr);
  // The gripper only where the thumb has room for it.
  SIZE grip{};
  const int gripper = vertical ? SBP_GRIPPERVERT : SBP_GRIPPERHORZ;
  if (SUCCEEDED(::GetThemePartSize(theme, dc.Get(), gripper, SCRBS_NORMAL, nullptr, TS_TRUE, &grip)) &&
      (vertical ? grip.cy : grip.cx) < thumbTo - thumbFrom)
    ::DrawThemeBackground(theme, dc.Get(), gripper, SCRBS_NORMAL, &thumb, nullptr);
  return true;
}

}  // namespace

void ScrollBox::SetThumbDrawing(ThumbDrawing how) { thumbDrawing_[0] = thumbDrawing_[1] = how; }

void ScrollBox::MoveThumb(int bar, int value) {
  const int which = bar == 0 ? SB_HORZ : SB_VERT;
  if (thumbDrawing_[bar] == ThumbDrawing::Own) {
    ::SetScrollPos(Handle(), which, value, FALSE);
    if (!theme_) theme_.Reset(::OpenThemeData(Handle(), L"SCROLLBAR"));
    if (!DrawThumbAndTrack(Handle(), theme_.Get(), bar)) ::SetScrollPos(Handle(), which, value, TRUE);
    return;
  }
  // Some themes' bars (Wine's among them) are redrawn whole, arrows and all,
  // for each move, at milliseconds a time: more than the picture's own
  // scroll. A bar that proves that slow has its moves drawn by this box.
  LARGE_INTEGER before{}, after{}, frequency{};
  ::QueryPerformanceCounter(&before);
  ::SetScrollPos(Handle(), which, value, TRUE);
  if (thumbDrawing_[bar] != ThumbDrawing::Measured) return;
  ::GdiFlush();
  ::QueryPerformanceCounter(&after);
  ::QueryPerformanceFrequency(&frequency);
  // Three slow moves in a row: a single one may be the theme's first loading.
  const bool slow = (after.QuadPart - before.QuadPart) * 1000 > frequency.QuadPart;
  slowMoves_[bar] = slow ? slowMoves_[bar] + 1 : 0;
  if (slowMoves_[bar] >= 3) thumbDrawing_[bar] = ThumbDrawing::Own;
}

LRESULT ScrollBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Realign();
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const int bar = msg == WM_HSCROLL ? 0 : 1;
      SCROLLINFO si{sizeof si, SIF_ALL};
      ::GetScrollInfo(Handle(), bar == 0 ? SB_HORZ : SB_VERT, &si);
      SetPosition(bar, static_cast<int>(ScrollRequestTarget(LOWORD(wp), pos_[bar], kLine, kPage, si.nTrackPos,
                                                            range_[bar])));
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      if (OnDblClick) OnDblClick();
      return 0;
    case WM_THEMECHANGED:
      // A new look is measured afresh.
      theme_.Reset();
      for (int bar = 0; bar < 2; ++bar) {
        if (thumbDrawing_[bar] == ThumbDrawing::Own) thumbDrawing_[bar] = ThumbDrawing::Measured;
        slowMoves_[bar] = 0;
      }
      return DefaultProc(msg, wp, lp);
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
      return ::SendMessageW(::GetParent(Handle()), msg, wp, lp);
    default:
      return DefaultProc(msg, wp, lp);
  }
}

// ---- PictureBox

void PictureBox::Create(HWND parent) {
  RegisterClassOnce(L"TImage", CS_DBLCLKS, nullptr, nullptr);
  CreateFor(0, L"TImage", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent);
}

void PictureBox::SetPicture(Picture picture) {
  // The shape of the next decode (same size) or of the next quarter turn
  // (sides swapped) is the one worth keeping.
  const bool sameDepth = picture.BitsPerPixel() == picture_.BitsPerPixel();
  const bool sameShape = picture.Width() == picture_.Width() && picture.Height() == picture_.Height();
  const bool turnedShape = picture.Width() == picture_.Height() && picture.Height() == picture_.Width();
  spare_ = sameDepth && (sameShape || turnedShape) && !picture_.Drawing() ? std::move(picture_) : Picture();
  picture_ = std::move(picture);
  scaled_.Reset();
  scaledSize_ = {0, 0};
  ahead_ = Ahead();
  if (autoSize && !stretch)
    ::SetWindowPos(Handle(), nullptr, 0, 0, picture_.Width(), picture_.Height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void PictureBox::Paint(HDC dc, const RECT& update) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  UniqueGdiObject backgroundBrush(::CreateSolidBrush(background));
  const auto brush = static_cast<HBRUSH>(backgroundBrush.Get());
  if (picture_.Empty()) {
    ::FillRect(dc, &client, brush);
  } else if (stretch) {
    PaintStretched(dc, client);
  } else if (picture_.Drawing()) {
    // Played where it is seen: the DC is clipped to the update, so a
    // drawing of any size costs the records, not its area.
    const RECT shown = ShownRect();
    RECT part{}, clip{};
    if (::IntersectRect(&part, &shown, &update) && ::GetClipBox(dc, &clip) != ERROR &&
        ::IntersectRect(&part, &part, &clip)) {
      if (AheadHolds(shown, part)) {
        MemoryDC memory(dc);
        SelectedObject played(memory.Get(), ahead_.bitmap.Get());
        ::BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, memory.Get(),
                 part.left - ahead_.holds.left, part.top - ahead_.holds.top, SRCCOPY);
      } else {
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        DrawPicture(dc, picture_, shown);
        ::RestoreDC(dc, saved);
      }
    }
    const HRGN around = ::CreateRectRgnIndirect(&client);
    const HRGN picture = ::CreateRectRgnIndirect(&shown);
    ::CombineRgn(around, around, picture, RGN_DIFF);
    ::FillRgn(dc, around, brush);
    ::DeleteObject(picture);
    ::DeleteObject(around);
  } else {
    MemoryDC memory(dc);
    const HDC mem = memory.Get();
    SelectedObject shown(mem, picture_.Handle());
    const int w = picture_.Width(), h = picture_.Height();
    const int x = centre ? (client.right - w) / 2 : 0, y = centre ? (client.bottom - h) / 2 : 0;
    // Around the picture the control shows its background.
    const HRGN around = ::CreateRectRgnIndirect(&client);
    const HRGN picture = ::CreateRectRgn(x, y, x + w, y + h);
    ::CombineRgn(around, around, picture, RGN_DIFF);
    ::FillRgn(dc, around, brush);
    ::DeleteObject(picture);
    ::DeleteObject(around);
    if (transparent && picture_.Kind() != PictureKind::Icon && picture_.Kind() != PictureKind::Metafile) {
      RECT area{x, y, x + w, y + h};
      ::FillRect(dc, &area, brush);
      ::TransparentBlt(dc, x, y, w, h, mem, 0, 0, w, h, ::GetPixel(mem, 0, h - 1));
    } else {
      // Only what the update needs: a large picture costs its whole
      // size on every scroll otherwise.
      RECT shown{x, y, x + w, y + h}, part{};
      if (::IntersectRect(&part, &shown, &update))
        ::BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, mem, part.left - x,
                 part.top - y, SRCCOPY);
    }
  }
}

namespace {
constexpr UINT kPlayAhead = WM_APP + 0x41;
}  // namespace

RECT PictureBox::ShownRect() const {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const int w = picture_.Width(), h = picture_.Height();
  const int x = centre ? (client.right - w) / 2 : 0, y = centre ? (client.bottom - h) / 2 : 0;
  return {x, y, x + w, y + h};
}

RECT PictureBox::SeenPart(const RECT& shown) const {
  RECT view{}, seen{};
  const HWND parent = ::GetParent(Handle());
  if (!parent || !::IsWindowVisible(Handle())) return {};
  ::GetClientRect(parent, &view);
  ::MapWindowPoints(parent, Handle(), reinterpret_cast<POINT*>(&view), 2);
  ::IntersectRect(&seen, &view, &shown);
  return seen;
}

bool PictureBox::AheadHolds(const RECT& shown, const RECT& part) const {
  RECT within{};
  return ahead_.bitmap && ::EqualRect(&ahead_.shown, &shown) && ::IntersectRect(&within, &part, &ahead_.holds) &&
         ::EqualRect(&within, &part);
}

void PictureBox::PlanAhead() {
  if (!picture_.Drawing() || stretch) return;
  const RECT shown = ShownRect();
  const RECT seen = SeenPart(shown);
  const RECT last = std::exchange(ahead_.lastSeen, seen);
  if (::IsRectEmpty(&seen)) return;
  int dx = seen.left - last.left, dy = seen.top - last.top;
  if (::IsRectEmpty(&last)) {
    // Just shown: the first scroll is most often down the page (or along
    // it, on a drawing that only scrolls sideways).
    dx = seen.bottom < shown.bottom || seen.right >= shown.right ? 0 : 1;
    dy = seen.bottom < shown.bottom ? 1 : 0;
  }
  if (dx == 0 && dy == 0) return;
  // A screen further on the way the view went; played again once less than
  // half a screen of it is left.
  const int w = seen.right - seen.left, h = seen.bottom - seen.top;
  const auto further = [&](int fraction) {
    RECT r = seen;
    if (dx > 0) r.right += w / fraction;
    if (dx < 0) r.left -= w / fraction;
    if (dy > 0) r.bottom += h / fraction;
    if (dy < 0) r.top -= h / fraction;
    ::IntersectRect(&r, &r, &shown);
    return r;
  };
  if (AheadHolds(shown, further(2))) return;
  ahead_.wanted = further(1);
  if (!ahead_.posted) ahead_.posted = ::PostMessageW(Handle(), kPlayAhead, 0, 0) != FALSE;
}

void PictureBox::PlayAhead() {
  ahead_.posted = false;
  if (!picture_.Drawing() || stretch) return;
  const RECT shown = ShownRect();
  RECT wanted{};
  if (!::IntersectRect(&wanted, &ahead_.wanted, &shown)) return;
  const int w = wanted.right - wanted.left, h = wanted.bottom - wanted.top;
  WindowDC screen(Handle());
  if (!ahead_.bitmap || ahead_.size.cx < w || ahead_.size.cy < h) {
    const int width = std::max<int>(w, ahead_.size.cx), height = std::max<int>(h, ahead_.size.cy);
    ahead_.bitmap.Reset();
    ahead_.bitmap.Reset(::CreateCompatibleBitmap(screen.Get(), width, height));
    ahead_.size = ahead_.bitmap ? SIZE{width, height} : SIZE{0, 0};
    if (!ahead_.bitmap) return;
  }
  MemoryDC memory(screen.Get());
  SelectedObject played(memory.Get(), ahead_.bitmap.Get());
  ::SetViewportOrgEx(memory.Get(), -wanted.left, -wanted.top, nullptr);
  DrawPicture(memory.Get(), picture_, shown);
  ahead_.holds = wanted;
  ahead_.shown = shown;
}

LRESULT PictureBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (HandlePaint(msg, wp, [this](HDC dc, const RECT& area) { Paint(dc, area); })) {
    if (msg == WM_PAINT) PlanAhead();
    return 0;
  }
  switch (msg) {
    case kPlayAhead:
      PlayAhead();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDBLCLK:
      if (OnDblClick) OnDblClick();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(msg, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (OnMouseUp) OnMouseUp(msg, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return DefaultProc(msg, wp, lp);  // the right button's release opens the context menu
    case WM_CONTEXTMENU:
      return ::SendMessageW(::GetParent(Handle()), msg, wp, lp);
    default:
      return DefaultProc(msg, wp, lp);
  }
}

void PictureBox::PaintStretched(HDC dc, const RECT& client) {
  if (!scaled_ || scaledSize_.cx != client.right || scaledSize_.cy != client.bottom) {
    scaled_.Reset(::CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom)));
    scaledSize_ = {client.right, client.bottom};
    MemoryDC dst(dc);
    SelectedObject to(dst.Get(), scaled_.Get());
    const RECT all{0, 0, client.right, client.bottom};
    DrawPicture(dst.Get(), picture_, all);
  }
  MemoryDC mem(dc);
  SelectedObject scaled(mem.Get(), scaled_.Get());
  ::BitBlt(dc, 0, 0, client.right, client.bottom, mem.Get(), 0, 0, SRCCOPY);
}

// ---- Panel

void Panel::Create(HWND parent, const std::wstring& caption, Style style) {
  caption_ = caption;
  style_ = style;
  RegisterClassOnce(L"TPanel", 0, nullptr, nullptr);
  CreateFor(0, L"TPanel", caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent);
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont(DpiOf(parent))), FALSE);
}

void Panel::SetFont(HFONT font) {
  font_ = font;
  boldFont_.Reset();
  if (style_.bold && font) {
    // The bold face of whatever font the panel is given, at its size.
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    boldFont_.Reset(::CreateFontIndirectW(&lf));
  }
}

void Panel::SetCaption(const std::wstring& caption) {
  // The labels are set again at every step; a repaint of the same text
  // costs a round trip to the display.
  if (caption == caption_ && !caption.empty()) return;
  caption_ = caption;
  ::SetWindowTextW(Handle(), caption.c_str());
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Panel::Paint(HDC dc) {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  UniqueGdiObject brush(::CreateSolidBrush(style_.background));
  ::FillRect(dc, &r, static_cast<HBRUSH>(brush.Get()));
  if (style_.lowered) ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  SelectedObject font(dc, boldFont_ ? boldFont_.Get() : font_);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, style_.text);
  if (!style_.centred) r.left += Scaled(4, DpiOf(Handle()));
  ::DrawTextW(dc, caption_.c_str(), -1, &r,
              (style_.centred ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT Panel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (HandlePaint(msg, wp, [this](HDC dc, const RECT&) { Paint(dc); })) return 0;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (OnSize) OnSize(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_SETFONT:
      SetFont(reinterpret_cast<HFONT>(wp));
      if (LOWORD(lp)) ::InvalidateRect(Handle(), nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_CONTEXTMENU:
      if (OnContextMenu) {
        OnContextMenu({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
      }
      return ::SendMessageW(::GetParent(Handle()), msg, wp, lp);
    default:
      return DefaultProc(msg, wp, lp);
  }
}

// ---- FilterMessages

namespace {
LRESULT CALLBACK FilterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* filter = reinterpret_cast<MessageFilter*>(data);
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &FilterProc, 1);
    std::unique_ptr<MessageFilter> owned(filter);
    return ::DefSubclassProc(hwnd, msg, wp, lp);
  }
  LRESULT result = 0;
  try {
    if ((*filter)(hwnd, msg, wp, lp, result)) return result;
  } catch (const std::exception& e) {
    HandleError(hwnd, e);
    return 0;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}
}  // namespace

void FilterMessages(HWND control, MessageFilter filter) {
  auto* owned = new MessageFilter(std::move(filter));
  ::SetWindowSubclass(control, &FilterProc, 1, reinterpret_cast<DWORD_PTR>(owned));
}

}  // namespace mirabo::win
