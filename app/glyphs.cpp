#include "app/glyphs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "base/win/unique_handle.h"

namespace mirabo::win {
namespace {

constexpr COLORREF kMask = RGB(255, 0, 255);
constexpr COLORREF kInk = RGB(40, 48, 64), kBlue = RGB(30, 100, 190), kGreen = RGB(30, 150, 60),
                   kRed = RGB(200, 40, 40), kPaper = RGB(250, 250, 250), kGold = RGB(230, 170, 40);

// Drawing in a 16 × 16 grid scaled to the real size.
class Pen16 {
 public:
  Pen16(HDC dc, int size) : dc_(dc), size_(size) {}
  int S(double v) const { return static_cast<int>(v * size_ / 16.0 + 0.5); }

  void Line(COLORREF c, double width, std::initializer_list<POINT> pts16) {
    UniqueGdiObject pen(::CreatePen(PS_SOLID, std::max(1, S(width)), c));
    SelectedObject selected(dc_, pen.Get());
    bool first = true;
    for (const POINT p : pts16) {
      if (first) ::MoveToEx(dc_, S(p.x), S(p.y), nullptr);
      else ::LineTo(dc_, S(p.x), S(p.y));
      first = false;
    }
  }
  void Fill(COLORREF fill, COLORREF edge, std::initializer_list<POINT> pts16) {
    std::array<POINT, 16> pts{};
    int n = 0;
    for (const POINT p : pts16) pts[static_cast<size_t>(n++)] = {S(p.x), S(p.y)};
    WithTools(fill, edge, [&] { ::Polygon(dc_, pts.data(), n); });
  }
  void Rect(COLORREF fill, COLORREF edge, double l, double t, double r, double b) {
    WithTools(fill, edge, [&] { ::Rectangle(dc_, S(l), S(t), S(r), S(b)); });
  }
  void Ellipse(COLORREF fill, COLORREF edge, double l, double t, double r, double b) {
    WithTools(fill, edge, [&] { ::Ellipse(dc_, S(l), S(t), S(r), S(b)); });
  }
  // Three quarters of a circle around (8, 8.5) ending in an arrow head:
  // clockwise for a turn to the right, mirrored for a turn to the left.
  void TurnArrow(COLORREF c, bool clockwise) {
    constexpr double kPi = 3.14159265358979;
    const double cx = 8, cy = 8.5, r = 5;
    const auto at = [&](double deg, double radius) {
      const double a = deg * kPi / 180;
      const double x = radius * std::cos(a);
      return POINT{S(cx + (clockwise ? x : -x)), S(cy + radius * std::sin(a))};
    };
    std::array<POINT, 25> arc{};
    const double from = 120, to = 350;  // degrees, y pointing down
    for (size_t i = 0; i < arc.size(); ++i) arc[i] = at(from + (to - from) * static_cast<double>(i) / 24, r);
    {
      UniqueGdiObject pen(::CreatePen(PS_SOLID, std::max(1, S(2)), c));
      SelectedObject selected(dc_, pen.Get());
      ::Polyline(dc_, arc.data(), static_cast<int>(arc.size()));
    }
    // The head: a triangle across the circle at the end, pointing onwards.
    const POINT outer = at(to, r + 3), inner = at(to, r - 3), tip = at(to + 35, r);
    const POINT head[] = {outer, inner, tip};
    WithTools(c, c, [&] { ::Polygon(dc_, head, 3); });
  }
  void Text(COLORREF c, const wchar_t* text, double l, double t, double r, double b, bool bold) {
    UniqueFont font(::CreateFontW(-S(b - t), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0,
                                  SHIFTJIS_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, L"MS UI Gothic"));
    SelectedObject selected(dc_, font.Get());
    ::SetBkMode(dc_, TRANSPARENT);
    ::SetTextColor(dc_, c);
    RECT rc{S(l), S(t), S(r), S(b)};
    ::DrawTextW(dc_, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  }
  void Floppy(double l, double t, double side) {
    Rect(kBlue, kInk, l, t, l + side, t + side);
    Rect(kPaper, kPaper, l + side * 0.2, t + side * 0.1, l + side * 0.8, t + side * 0.45);
  }

 private:
  template <typename F>
  void WithTools(COLORREF fill, COLORREF edge, F draw) {
    UniqueGdiObject brush(::CreateSolidBrush(fill));
    UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, edge));
    SelectedObject selectedBrush(dc_, brush.Get()), selectedPen(dc_, pen.Get());
    draw();
  }
  HDC dc_;
  int size_;
};

void Magnifier(Pen16& p) {
  p.Line(kInk, 2.5, {{9, 9}, {14, 14}});
  p.Ellipse(kPaper, kInk, 1, 1, 11, 11);
  p.Line(kBlue, 1.5, {{3, 6}, {9, 6}});
}

const std::array<std::function<void(Pen16&)>, kGlyphCount> kGlyphs{{
    /* 0 zoom in */ [](Pen16& p) { Magnifier(p); p.Line(kBlue, 1.5, {{6, 3}, {6, 9}}); },
    /* 1 zoom out */ [](Pen16& p) { Magnifier(p); },
    /* 2 rotate left */ [](Pen16& p) { p.TurnArrow(kBlue, false); },
    /* 3 rotate right */ [](Pen16& p) { p.TurnArrow(kBlue, true); },
    /* 4 information */
    [](Pen16& p) {
      p.Ellipse(kBlue, kBlue, 1, 1, 15, 15);
      p.Rect(kPaper, kPaper, 7, 7, 9, 12.5);
      p.Rect(kPaper, kPaper, 7, 3.5, 9, 5.5);
    },
    /* 5 save */ [](Pen16& p) { p.Floppy(2, 2, 12); },
    /* 6 mail */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 1, 3, 15, 13);
      p.Line(kInk, 1, {{1, 3}, {8, 9}, {15, 3}});
    },
    /* 7 print */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 4, 1, 12, 6);
      p.Rect(RGB(160, 160, 170), kInk, 1, 6, 15, 12);
      p.Rect(kPaper, kInk, 4, 10, 12, 15);
    },
    /* 8 settings */
    [](Pen16& p) {
      p.Line(kInk, 3, {{8, 1}, {8, 15}});
      p.Line(kInk, 3, {{1, 8}, {15, 8}});
      p.Line(kInk, 3, {{3, 3}, {13, 13}});
      p.Line(kInk, 3, {{13, 3}, {3, 13}});
      p.Ellipse(RGB(150, 150, 160), kInk, 3, 3, 13, 13);
      p.Ellipse(kPaper, kInk, 6, 6, 10, 10);
    },
    /* 9 rotate left and save */ [](Pen16& p) { p.TurnArrow(kBlue, false); p.Floppy(9, 9, 7); },
    /* 10 rotate right and save */ [](Pen16& p) { p.TurnArrow(kBlue, true); p.Floppy(9, 9, 7); },
    /* 11 back */ [](Pen16& p) { p.Fill(kGreen, RGB(20, 90, 40), {{11, 2}, {11, 14}, {3, 8}}); },
    /* 12 forward */ [](Pen16& p) { p.Fill(kGreen, RGB(20, 90, 40), {{5, 2}, {5, 14}, {13, 8}}); },
    /* 13 rename and advance */
    [](Pen16& p) {
      p.Fill(kGold, kInk, {{2, 12}, {10, 4}, {12, 6}, {4, 14}});
      p.Fill(kGreen, kGreen, {{11, 10}, {16, 13}, {11, 16}});
    },
    /* 14 reset / restore */
    [](Pen16& p) {
      p.TurnArrow(kGreen, false);
      p.Ellipse(kGreen, kGreen, 6.5, 6.5, 9.5, 9.5);
    },
    /* 15 copy */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 1, 1, 10, 11);
      p.Rect(kPaper, kInk, 6, 5, 15, 15);
      p.Line(kBlue, 1, {{8, 8}, {13, 8}});
      p.Line(kBlue, 1, {{8, 11}, {13, 11}});
    },
    /* 16 delete and advance */
    [](Pen16& p) {
      p.Line(kRed, 2.5, {{2, 2}, {10, 10}});
      p.Line(kRed, 2.5, {{10, 2}, {2, 10}});
      p.Fill(kGreen, kGreen, {{10, 9}, {16, 12}, {10, 16}});
    },
    /* 17 fit to window */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 1, 1, 15, 15);
      p.Rect(kBlue, kBlue, 4, 4, 12, 12);
      p.Line(kPaper, 1, {{4, 4}, {12, 12}});
    },
    /* 18 slide show */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 1, 2, 15, 12);
      p.Fill(kGreen, kGreen, {{6, 4}, {6, 10}, {11, 7}});
      p.Line(kInk, 1.5, {{8, 12}, {8, 15}});
      p.Line(kInk, 1.5, {{5, 15}, {11, 15}});
    },
    /* 19 launch */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 1, 4, 12, 15);
      p.Line(kBlue, 2, {{6, 10}, {14, 2}});
      p.Fill(kBlue, kBlue, {{9, 1}, {15, 1}, {15, 7}});
    },
    /* 20 exit */
    [](Pen16& p) {
      p.Rect(RGB(170, 120, 70), kInk, 2, 1, 10, 15);
      p.Fill(kRed, kRed, {{9, 5}, {9, 11}, {15, 8}});
    },
    /* 21 Shift-JIS conversion */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 0, 0, 16, 16);
      p.Text(kBlue, L"あ", 0, 1, 16, 15, true);
    },
    /* 22 original data */
    [](Pen16& p) {
      p.Fill(kPaper, kInk, {{2, 1}, {10, 1}, {14, 5}, {14, 15}, {2, 15}});
      for (int y : {5, 8, 11}) p.Line(kInk, 1, {{4, y}, {12, y}});
    },
    /* 23 binary */
    [](Pen16& p) {
      p.Rect(kPaper, kInk, 0, 0, 16, 16);
      p.Text(kInk, L"01", 0, 2, 16, 14, true);
    },
    /* 24 help */
    [](Pen16& p) {
      p.Ellipse(kGreen, kGreen, 1, 1, 15, 15);
      p.Text(kPaper, L"?", 1, 2, 15, 14, true);
    },
}};

}  // namespace

HIMAGELIST CreateCommandImageList(int size) {
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, kGlyphCount, 0);
  WindowDC screen(nullptr);
  MemoryDC dc(screen.Get());
  for (const auto& draw : kGlyphs) {
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), size, size));
    {
      SelectedObject selected(dc.Get(), bitmap.Get());
      UniqueGdiObject background(::CreateSolidBrush(kMask));
      RECT all{0, 0, size, size};
      ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(background.Get()));
      Pen16 pen(dc.Get(), size);
      draw(pen);
    }
    ImageList_AddMasked(list, static_cast<HBITMAP>(bitmap.Get()), kMask);
  }
  return list;
}

}  // namespace mirabo::win
