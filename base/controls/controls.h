#pragma once
// The small window classes the main window is made of: a scroll box whose
// children scroll with it, a picture control, a panel with a bevelled
// caption, and a subclassing helper that routes a control's keys to its
// owner.
#include <windows.h>
#include <uxtheme.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/picture/picture.h"
#include "base/win/unique_handle.h"
#include "base/win/window.h"

namespace mirabo::win {

// The position a scroll bar request asks for: a line or a page either way,
// the thumb's place, the top or the bottom.
int64_t ScrollRequestTarget(WORD request, int64_t position, int64_t line, int64_t page, int64_t thumb,
                            int64_t bottom);

// Creates a plain child of a system class ("EDIT", "BUTTON", ...) or one of
// ours, and gives it the interface font at its parent's DPI.
HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, HWND parent, int id = 0,
                 DWORD exStyle = 0);

struct ThemeTraits {
  using Type = HTHEME;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseThemeData(h); }
};
using UniqueTheme = UniqueHandle<ThemeTraits>;

// A scroll box: its children lie at positions of their own, the box scrolls
// them by its scroll bars, whose range is the children's extent.
class ScrollBox : public Window<ScrollBox> {
 public:
  static constexpr int kLine = 8, kPage = 80;
  // Top children stack at the top at their own height, Client children fill
  // what is left, None children keep their own place and scroll.
  enum class Align { None, Client, Top };

  void Create(HWND parent);
  void AddChild(HWND child, Align align);
  void SetAlign(HWND child, Align align);
  // Positions are in content coordinates (as if not scrolled).
  void MoveChild(HWND child, int x, int y, int width, int height);
  // The same without the realignment, for a caller that shows the child
  // and then realigns once: a hidden child would first take the scroll
  // bars away, and every change of the bars costs a repaint.
  void SetChildContent(HWND child, int x, int y, int width, int height);
  // A new size for a child that stays where it lies.
  void ResizeChild(HWND child, int width, int height);
  int HorzPosition() const { return pos_[0]; }
  int VertPosition() const { return pos_[1]; }
  void SetHorzPosition(int value) { SetPosition(0, value); }
  void SetVertPosition(int value) { SetPosition(1, value); }
  int HorzRange() const { return range_[0]; }
  int VertRange() const { return range_[1]; }
  // Recomputes the range from the visible children and re-places them.
  void Realign();

  // How a thumb's move is drawn: by the system, or (where the system's
  // own redraw of a themed bar proved slow) the track and thumb by this box.
  enum class ThumbDrawing { Measured, System, Own };
  void SetThumbDrawing(ThumbDrawing how);

  std::function<void()> OnDblClick;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  struct Child {
    HWND hwnd;
    Align align;
    RECT content;  // position when not scrolled
  };
  void SetPosition(int bar, int value);
  void MoveThumb(int bar, int value);
  void UpdateBars();
  Child* Find(HWND hwnd);
  struct BarState {
    bool visible = false;
    int max = -1, page = -1, pos = -1;
    bool operator==(const BarState&) const = default;
  };
  std::vector<Child> children_;
  int pos_[2] = {0, 0};
  int range_[2] = {0, 0};
  BarState bars_[2];
  ThumbDrawing thumbDrawing_[2] = {ThumbDrawing::Measured, ThumbDrawing::Measured};
  int slowMoves_[2] = {0, 0};
  UniqueTheme theme_;
  bool realigning_ = false;
};

// The picture control: shows a picture at its natural size (resizing itself
// when AutoSize is on) or stretched over its client area, in good quality
// when reduced.
class PictureBox : public Window<PictureBox> {
 public:
  void Create(HWND parent);
  // The previous picture is kept as the spare when it has the new one's
  // size or its sides swapped, to be decoded or turned into again.
  void SetPicture(Picture picture);
  const Picture& picture() const { return picture_; }
  Picture* Spare() { return &spare_; }
  // The spare handed over (to a decode on another thread): this box keeps
  // none until the next picture comes.
  Picture TakeSpare() { return std::move(spare_); }
  bool autoSize = true;
  bool stretch = false;
  // At its own size in the middle of the control rather than at the top
  // left; with transparent, a bitmap's bottom-left colour lets the
  // background show, as a picture control's transparency does.
  bool centre = false;
  bool transparent = false;
  COLORREF background = ::GetSysColor(COLOR_BTNFACE);

  std::function<void()> OnDblClick;
  // Press, move and release, with the pointer in the control's coordinates.
  std::function<void(UINT button, int x, int y)> OnMouseDown;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(UINT button, int x, int y)> OnMouseUp;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void Paint(HDC dc, const RECT& update);
  // A stretched picture is scaled once per size with the good (and slow)
  // half-tone filter; paints copy the result.
  void PaintStretched(HDC dc, const RECT& client);
  // Where the picture lies in the control at its own size.
  RECT ShownRect() const;
  // The part of the drawing the parent shows.
  RECT SeenPart(const RECT& shown) const;
  // Whether the bitmap played ahead holds all of part, played where the
  // drawing now lies.
  bool AheadHolds(const RECT& shown, const RECT& part) const;
  void PlanAhead();
  void PlayAhead();
  Picture picture_;
  Picture spare_;
  UniqueGdiObject scaled_;
  SIZE scaledSize_{0, 0};
  // A drawing's next screen in the direction of the last scroll, played
  // while the window is idle, so the scroll to it copies it instead.
  struct Ahead {
    UniqueGdiObject bitmap;
    SIZE size{0, 0};
    RECT holds{};   // in the control's coordinates
    RECT shown{};   // where the drawing lay when it was played
    RECT wanted{};  // what the next play is to hold
    RECT lastSeen{};
    bool posted = false;
  } ahead_;
};

// A panel with a centred or left-aligned caption and a lowered bevel.
class Panel : public Window<Panel> {
 public:
  struct Style {
    COLORREF background = ::GetSysColor(COLOR_BTNFACE);
    COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    bool bold = false;
    bool centred = true;
    bool lowered = true;
  };
  void Create(HWND parent, const std::wstring& caption, Style style);
  void SetCaption(const std::wstring& caption);
  std::wstring Caption() const { return caption_; }
  // A right click on the panel; without it the parent's menu opens.
  std::function<void(POINT screen)> OnContextMenu;
  // The panel's new client size.
  std::function<void(int width, int height)> OnSize;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void SetFont(HFONT font);
  void Paint(HDC dc);
  std::wstring caption_;
  Style style_;
  HFONT font_ = nullptr;  // the interface font the panel was given, not its own
  UniqueFont boldFont_;
};

// Routes a control's messages through a callback before its own procedure;
// the callback returns true when it consumed the message.
using MessageFilter = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;
void FilterMessages(HWND control, MessageFilter filter);

}  // namespace mirabo::win
