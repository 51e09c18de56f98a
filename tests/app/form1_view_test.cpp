// The main window arranges itself for each kind of file and shows it with
// the right viewer.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/view_table.h"
#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/app/media_fixtures.h"
#include "tests/base/picture/bitmap_fixtures.h"
#include "tests/base/picture/jpeg_fixtures.h"
#include "tests/base/picture/metafile_fixtures.h"

namespace mirabo {
namespace {

using testing::MainWindow;
using testing::WriteBytes;
using testing::TempDir;
using testing::PumpMessages;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::string U8(const std::wstring& w) { return win::WideToUtf8(w); }

// A placeable drawing of wide x high inches whose records count in tenths
// of an inch, drawing with no pen: the records that follow fill shapes.
testing::WmfSpec InchDrawing(int16_t wide, int16_t high, uint16_t objects) {
  testing::WmfSpec made;
  made.placeable = true;
  made.unitsPerInch = 1;
  made.box[0] = 0, made.box[1] = 0, made.box[2] = wide, made.box[3] = high;
  made.objects = objects;
  made.records = {
      {0x0103, {8}},  // SETMAPMODE anisotropic
      {0x020B, {0, 0}},  // SETWINDOWORG
      {0x020C, {static_cast<uint16_t>(high * 10), static_cast<uint16_t>(wide * 10)}},  // SETWINDOWEXT (y, x)
      {0x02FA, {5, 0, 0, 0, 0}},  // CREATEPENINDIRECT: none
      {0x012D, {0}},  // SELECTOBJECT
  };
  return made;
}

TEST(Form1View, TheWindowIsCompleteAndStartsOnTheEmptyTextView) {
  MainWindow w;
  EXPECT_EQ(w->viewMode, ViewMode::Text);
  EXPECT_EQ(w->CurrentPath, kNoFile);
  EXPECT_EQ(w->TextOf("PanelCou"), L"1/0");
  EXPECT_EQ(w->TextOf("Panel1"), L"100%");
  EXPECT_EQ(w->TextOf("Label1"), L"Path:");
  EXPECT_EQ(w->TextOf("EditFix"), L"無題");
  EXPECT_EQ(w->TextOf("Label4"), L"題名固定部");
  for (const char* bar : {"ToolBar2", "ToolBar3", "ToolBar4", "ToolBar5", "PanelDrop", "PanelBin"})
    EXPECT_FALSE(w->IsShown(bar)) << bar;
  for (const char* shown : {"ToolBar1", "PanelStatus", "ScrollBox1", "RichEdit1", "EditKey", "ToolButton32",
                            "ToolButton33", "ToolButton13"})
    EXPECT_TRUE(w->IsShown(shown)) << shown;
  EXPECT_FALSE(w->IsShown("ToolButton8"));
  EXPECT_FALSE(w->IsShown("mnuLeftS"));
  EXPECT_FALSE(w->IsShown("mnuNKF"));
  EXPECT_TRUE(w->IsEnabled("mnuMax"));
  EXPECT_FALSE(w->IsEnabled("mnuNom"));
  EXPECT_EQ(ImageList_GetImageCount(w->ImageList1()), 25);
  EXPECT_EQ(w->TimerInterval(), 3000);
}

TEST(Form1View, EveryModeShowsAndEnablesByTheTable) {
  for (const bool renBar : {false, true}) {
    MainWindow w;
    w->settings().RenBar = renBar;
    const auto dir = w.dir().path();
    struct Row {
      const wchar_t* name;
      std::string content;
      ViewMode mode;
    };
    const Row rows[] = {
        {L"a.txt", "hello", ViewMode::Text},
        {L"b.jpg", Bytes(testing::MakeJpeg(testing::JpegKind::Rgb, 64, 48)), ViewMode::Jpeg},
        {L"c.bmp", testing::MakeBmp(20, 10, 24, false), ViewMode::Picture},
        {L"d.tif", testing::SmallTiff(), ViewMode::Document},
        {L"f.htm", "<p>x</p>", ViewMode::Web},
        {L"g.wav", testing::MakeWav(300), ViewMode::Media},
        {L"h.txt", "again", ViewMode::Text},
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(U8(r.name) + (renBar ? " RenBar" : ""));
      WriteBytes(dir / r.name, r.content);
      w.Open((dir / r.name).wstring());
      ASSERT_EQ(w->viewMode, r.mode);
      for (const ViewRow& row : ViewTable()) {
        const Wanted wanted = WantedState(row, r.mode, renBar);
        if (wanted == Wanted::Keep) continue;
        const bool actual = row.property == ViewProperty::Visible ? w->IsShown(row.control) : w->IsEnabled(row.control);
        EXPECT_EQ(actual, wanted == Wanted::On) << row.control << " in mode " << static_cast<int>(r.mode);
      }
      EXPECT_EQ(w->PopupMenu(Surface::PopupMenu1).autoPopup, r.mode == ViewMode::Text);
      EXPECT_EQ(w->TextOf("LabelPath"), (dir / r.name).wstring());
    }
  }
}

TEST(Form1View, EachDisplayStepAsksItsViewer) {
  MainWindow w;
  const auto dir = w.dir().path();
  WriteBytes(dir / L"scan.TIFF", testing::SmallTiff());
  w.Open((dir / L"scan.TIFF").wstring());
  EXPECT_EQ(w->FileListBox1Mask, L"*.tif;*.tiff");
  EXPECT_EQ(w->ImgEdit1.ImageWidth(), 40);
  EXPECT_EQ(w->TextOf("Panel2"), L"1/1");

  WriteBytes(dir / L"page.eml", "From: x");
  std::vector<NavigationRequest> navigations;
  w->WebBrowser1.OnBeforeNavigate = [&](const NavigationRequest& r) { navigations.push_back(r); };
  w.Open((dir / L"page.eml").wstring());
  ASSERT_TRUE(w->WebBrowser1.Embedded());
  ASSERT_FALSE(navigations.empty());
  EXPECT_EQ(navigations.back().url, (dir / L"page.eml").wstring());
  RECT browser{}, box{};
  ::GetWindowRect(w->WindowOf("WebBrowser1"), &browser);
  ::GetClientRect(w->ScrollBox1().Handle(), &box);
  EXPECT_EQ(browser.right - browser.left, box.right) << "the browser fills the scroll box";

  WriteBytes(dir / L"song.wav", testing::MakeWav(1500));
  w.Open((dir / L"song.wav").wstring());
  EXPECT_TRUE(w->MediaPlayer1.IsOpen());
  EXPECT_EQ(w->TextOf("PanelM_Pos"), L"0/1500");
  EXPECT_EQ(w->TimerInterval(), 250);
  EXPECT_TRUE(w->IsShown("ToolBar4"));
  EXPECT_FALSE(w->IsShown("ToolBar5"));

  // Leaving the browser collapses it to one pixel.
  w.Open((dir / L"scan.TIFF").wstring());
  ::GetWindowRect(w->WindowOf("WebBrowser1"), &browser);
  EXPECT_EQ(browser.right - browser.left, 1);
  EXPECT_EQ(w->TimerInterval(), 3000);
}

TEST(Form1View, JpegScalesGiveTheExactSizes) {
  MainWindow w;
  const auto path = w.dir() / L"big.jpg";
  WriteBytes(path, Bytes(testing::MakeJpeg(testing::JpegKind::Rgb, 1001, 751)));
  struct Row {
    int zoom, width, height;
    const wchar_t* label;
  };
  const Row rows[] = {{0, 1001, 751, L"100%"}, {1, 501, 376, L"50%"}, {2, 251, 188, L"25%"}, {3, 126, 94, L"12.5%"}};
  for (const Row& r : rows) {
    SCOPED_TRACE("zoom " + std::to_string(r.zoom));
    w->settings().Zoom = r.zoom;
    w.Open(path.wstring());
    EXPECT_EQ(w->ImageJpg().picture().Width(), r.width);
    EXPECT_EQ(w->ImageJpg().picture().Height(), r.height);
    RECT rc{};
    ::GetClientRect(w->ImageJpg().Handle(), &rc);
    EXPECT_EQ(rc.right, r.width);
    EXPECT_EQ(rc.bottom, r.height);
    EXPECT_EQ(w->TextOf("Panel1"), r.label);
  }
}

TEST(Form1View, BitmapsOfEveryLayoutShowTheirPixels) {
  MainWindow w;
  struct Row {
    const wchar_t* name;
    int bits;
    bool topDown;
  };
  const Row rows[] = {{L"up.bmp", 24, false}, {L"down.bmp", 24, true}, {L"grey.dib", 8, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(U8(r.name));
    const auto path = w.dir() / r.name;
    WriteBytes(path, testing::MakeBmp(33, 17, r.bits, r.topDown));
    w.Open(path.wstring());
    ASSERT_EQ(w->viewMode, ViewMode::Picture);
    const Picture& p = w->ImageJpg().picture();
    ASSERT_EQ(p.Width(), 33);
    ASSERT_EQ(p.Height(), 17);
    for (const auto& [x, y] : {std::pair{0, 0}, {32, 0}, {5, 16}, {20, 9}}) {
      const COLORREF expected = r.bits == 8 ? RGB((x + y) & 0xFF, (x + y) & 0xFF, (x + y) & 0xFF) : testing::BmpColour(x, y);
      EXPECT_EQ(testing::PixelOf(p, x, y), expected) << "(" << x << "," << y << ")";
    }
  }
}

TEST(Form1View, OtherBitmapLayoutsIconsAndPlaceableMetafiles) {
  MainWindow w;
  using testing::BmpLayout;
  const struct {
    BmpLayout layout;
    const wchar_t* name;
  } layouts[] = {{BmpLayout::Mono, L"mono.bmp"}, {BmpLayout::Rle8, L"rle.bmp"},
                 {BmpLayout::Masks565, L"masks.bmp"}, {BmpLayout::Rgb32, L"rgb32.bmp"}};
  for (const auto& l : layouts) {
    SCOPED_TRACE(U8(l.name));
    const auto path = w.dir() / l.name;
    WriteBytes(path, testing::MakeBmpOfLayout(l.layout));
    w.Open(path.wstring());
    const Picture& p = w->ImageJpg().picture();
    ASSERT_EQ(p.Width(), 8);
    ASSERT_EQ(p.Height(), 4);
    for (const auto& [x, y] : {std::pair{0, 0}, {7, 0}, {3, 3}, {6, 2}})
      EXPECT_EQ(testing::PixelOf(p, x, y), testing::ExpectedBmpPixel(l.layout, x, y)) << "(" << x << "," << y << ")";
  }

  const auto icon = w.dir() / L"app.ico";
  WriteBytes(icon, testing::MakeIcon());
  w.Open(icon.wstring());
  ASSERT_EQ(w->viewMode, ViewMode::Picture);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 16);
  EXPECT_EQ(w->ImageJpg().picture().Height(), 16);
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 2, 8), RGB(255, 0, 0));
  EXPECT_EQ(testing::PixelOf(w->ImageJpg().picture(), 13, 8), RGB(0, 0, 255));

  const auto wmf = w.dir() / L"shape.wmf";
  WriteBytes(wmf, testing::MakePlaceableMetafile());
  w.Open(wmf.wstring());
  win::WindowDC screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 2 * dpi);
  EXPECT_EQ(w->ImageJpg().picture().Height(), dpi);
}

// Forms the system's loader refused or drew wrong, by our own reader; and
// a metafile whose header counts the placeable header in its size.
TEST(Form1View, BitmapVariantsAndOverstatedMetafilesShow) {
  MainWindow w;
  namespace bmp = testing::bmp;
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  struct Row {
    const wchar_t* name;
    bmp::Bitmap made;
    std::function<COLORREF(int x, int y)> expected;
    int tolerance = 0;
  };
  const auto fromRgb = [](uint32_t c) { return RGB(c >> 16 & 255, c >> 8 & 255, c & 255); };
  const auto paletted = [&](int bits) { return [=](int x, int y) { return fromRgb(bmp::Palette(1 << bits)[bmp::Index(x, y, bits)]); }; };
  std::vector<Row> rows = {{L"two.bmp", bmp::Paletted(40, 2), paletted(2)}, {L"os2.bmp", bmp::Paletted(16, 8), paletted(8)}};
  bmp::Bitmap alpha;
  alpha.bits = 32;
  alpha.pixels = bmp::ColourRows(alpha, [](int x, int y) { return bmp::Colour(x, y) | static_cast<uint32_t>(x * 40) << 24; });
  rows.push_back({L"alpha.bmp", alpha, [&](int x, int y) {
                    const uint32_t c = bmp::Colour(x, y);
                    const unsigned a = static_cast<unsigned>(x * 40);
                    const auto mix = [a](unsigned v, unsigned under) { return (v * a + under * (255 - a) + 127) / 255; };
                    return RGB(mix(c >> 16 & 255, GetRValue(face)), mix(c >> 8 & 255, GetGValue(face)), mix(c & 255, GetBValue(face)));
                  }});
  bmp::Bitmap jpeg;
  jpeg.compression = 4;  // BI_JPEG
  jpeg.width = 16, jpeg.height = 8;
  jpeg.pixels = testing::MakeRgbJpeg(16, 8, 100, [](int y, uint8_t* rgb) {
    for (int x = 0; x < 16; ++x) rgb[3 * x] = static_cast<uint8_t>(100 + x * 4), rgb[3 * x + 1] = static_cast<uint8_t>(60 + y * 6), rgb[3 * x + 2] = 90;
  });
  rows.push_back({L"jpeg.bmp", jpeg, [](int x, int y) { return RGB(100 + x * 4, 60 + y * 6, 90); }, 6});
  for (const Row& r : rows) {
    SCOPED_TRACE(U8(r.name));
    const auto path = w.dir() / r.name;
    WriteBytes(path, Bytes(bmp::Write(r.made)));
    w.Open(path.wstring());
    ASSERT_EQ(w->viewMode, ViewMode::Picture);
    const Picture& p = w->ImageJpg().picture();
    ASSERT_EQ(p.Width(), r.made.width);
    ASSERT_EQ(p.Height(), r.made.height);
    for (int y = 0; y < p.Height(); ++y)
      for (int x = 0; x < p.Width(); ++x) {
        const COLORREF got = testing::PixelOf(p, x, y), want = r.expected(x, y);
        ASSERT_NEAR(GetRValue(got), GetRValue(want), r.tolerance) << "(" << x << "," << y << ")";
        ASSERT_NEAR(GetGValue(got), GetGValue(want), r.tolerance) << "(" << x << "," << y << ")";
        ASSERT_NEAR(GetBValue(got), GetBValue(want), r.tolerance) << "(" << x << "," << y << ")";
      }
  }

  // Drawn exactly as the same drawing with a right header.
  testing::WmfSpec drawing = testing::DrawingWmf();
  drawing.placeable = true;
  const auto right = w.dir() / L"right.wmf", counted = w.dir() / L"counted.wmf";
  WriteBytes(right, testing::MakeWmf(drawing));
  drawing.sizeAdjustWords = 11;
  WriteBytes(counted, testing::MakeWmf(drawing));
  testing::ErrorRecorder errors;
  w.Open(right.wstring());
  const Picture& first = w->ImageJpg().picture();
  std::vector<COLORREF> expected;
  for (int y = 0; y < first.Height(); y += 3)
    for (int x = 0; x < first.Width(); x += 3) expected.push_back(testing::PixelOf(first, x, y));
  w.Open(counted.wstring());
  EXPECT_TRUE(errors.messages.empty()) << errors.messages[0];
  const Picture& second = w->ImageJpg().picture();
  std::vector<COLORREF> shown;
  for (int y = 0; y < second.Height(); y += 3)
    for (int x = 0; x < second.Width(); x += 3) shown.push_back(testing::PixelOf(second, x, y));
  EXPECT_TRUE(shown == expected) << "the drawing differs";
}

// A metafile is kept as the drawing it is and played where it is seen: one
// of 200 x 140 inches (a 60-byte file could say as much) costs the screen,
// not its 19200 x 13440 pixels.
TEST(Form1View, AHugeMetafileCostsTheScreenNotItsSize) {
  MainWindow w;
  const HWND box = w->WindowOf("ImageJpg");
  const auto workingSet = [] {
    PROCESS_MEMORY_COUNTERS pmc{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<double>(pmc.WorkingSetSize) / (1 << 20);
  };
  // The control's paint of one area (its own coordinates) into a bitmap
  // of that area alone.
  const auto paintedAt = [box](int x0, int y0, int x, int y) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, -64, 1, 32, BI_RGB};
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(dc, bmp);
    ::SetViewportOrgEx(dc, -x0, -y0, nullptr);
    ::SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    const uint32_t v = static_cast<const uint32_t*>(bits)[(y - y0) * 64 + (x - x0)];
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    return RGB(v >> 16 & 255, v >> 8 & 255, v & 255);
  };
  testing::WmfSpec made = InchDrawing(200, 140, 3);
  made.records.insert(made.records.end(), {
      {0x02FC, {0, 0x00FF, 0, 0}},      // CREATEBRUSHINDIRECT: red
      {0x012D, {1}},
      {0x041B, {100, 100, 0, 0}},       // RECTANGLE (bottom, right, top, left): the top left inches
      {0x02FC, {0, 0x0000, 0x00FF, 0}}, // blue
      {0x012D, {2}},
      {0x041B, {1400, 2000, 1300, 1900}},  // the far corner
  });
  ::UpdateWindow(w->Handle());
  testing::PumpMessages();
  const double idle = workingSet();
  const auto path = w.dir() / L"huge.wmf";
  WriteBytes(path, testing::MakeWmf(made));
  w.Open(path.wstring());
  ASSERT_EQ(w->viewMode, ViewMode::Picture);
  win::WindowDC screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
  const int width = 200 * dpi, height = 140 * dpi;
  ASSERT_EQ(w->ImageJpg().picture().Width(), width);
  ASSERT_EQ(w->ImageJpg().picture().Height(), height);
  ::UpdateWindow(w->Handle());
  testing::PumpMessages();
  EXPECT_LT(workingSet() - idle, 150.0) << "MB above the idle " << idle << " MB";

  // The far corner: scrolled to, then painted where the box now shows it.
  win::ScrollBox& scroll = w->ScrollBox1();
  scroll.SetHorzPosition(scroll.HorzRange());
  scroll.SetVertPosition(scroll.VertRange());
  ::UpdateWindow(w->Handle());
  RECT shown{}, view{};
  ::GetWindowRect(box, &shown);
  ::GetWindowRect(scroll.Handle(), &view);
  EXPECT_GT(view.right - shown.left, 0);
  EXPECT_EQ(shown.right - shown.left, width) << "the box keeps the drawing's size";
  EXPECT_GE(shown.right, view.right - 40) << "scrolled to the right edge";
  const int blueX = width - dpi / 2, blueY = height - dpi / 2;  // inside the last inch
  EXPECT_EQ(paintedAt(blueX - 32, blueY - 32, blueX, blueY), RGB(0, 0, 255));
  const int whiteX = width - 12 * dpi;  // left of the last ten inches
  EXPECT_EQ(paintedAt(whiteX - 32, blueY - 32, whiteX, blueY), RGB(255, 255, 255));
  EXPECT_LT(workingSet() - idle, 150.0) << "MB above the idle " << idle << " MB";

  // Fitted to the window: both corners' colours where they belong.
  const HWND toolbar = ::GetParent(w->WindowOf("PanelCou"));
  ::SendMessageW(toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(CommandId(Cmd::ToolButton30)), TRUE);
  w->RunCommand(Cmd::ToolButton30);
  RECT fitted{};
  ::GetClientRect(box, &fitted);
  ASSERT_LT(fitted.right, width);
  ASSERT_GT(fitted.right, 40);
  EXPECT_EQ(paintedAt(0, 0, 2, 2), RGB(255, 0, 0));
  EXPECT_EQ(paintedAt(fitted.right - 64, fitted.bottom - 64, fitted.right - 2, fitted.bottom - 2), RGB(0, 0, 255));
  EXPECT_LT(workingSet() - idle, 150.0) << "MB above the idle " << idle << " MB";
}

// A drawing's next screen is played ahead while the window is idle; the
// scroll that shows it copies it, and what it shows must be exactly what
// playing the drawing there gives, row by row, whichever way the view goes.
TEST(Form1View, AScrolledDrawingShowsWhatPlayingItThereGives) {
  MainWindow w;
  // 60 stripes an inch tall, red, green and blue in turn, on 20 x 60 inches.
  testing::WmfSpec made = InchDrawing(20, 60, 4);
  made.records.insert(made.records.end(), {
      {0x02FC, {0, 0x00FF, 0, 0}},       // CREATEBRUSHINDIRECT: red
      {0x02FC, {0, 0xFF00, 0, 0}},       // green
      {0x02FC, {0, 0x0000, 0x00FF, 0}},  // blue
  });
  for (uint16_t i = 0; i < 60; ++i) {
    made.records.push_back({0x012D, {static_cast<uint16_t>(1 + i % 3)}});
    made.records.push_back({0x041B, {static_cast<uint16_t>(i * 10 + 11), 201, static_cast<uint16_t>(i * 10), 0}});
  }
  const auto path = w.dir() / L"stripes.wmf";
  WriteBytes(path, testing::MakeWmf(made));
  w.Open(path.wstring());
  ASSERT_EQ(w->viewMode, ViewMode::Picture);
  const HWND box = w->WindowOf("ImageJpg");
  win::ScrollBox& scroll = w->ScrollBox1();
  const Picture& picture = w->ImageJpg().picture();
  ASSERT_TRUE(picture.Drawing());
  ::UpdateWindow(w->Handle());
  PumpMessages();
  RECT view{};
  ::GetClientRect(scroll.Handle(), &view);
  ASSERT_GT(scroll.VertRange(), 3 * view.bottom);
  // One column of the box as the screen has it, and as a play of the
  // drawing there gives it.
  const int x = 40;
  const auto column = [&](HDC from, int left, int top) {
    std::vector<COLORREF> c;
    for (int y = 0; y < view.bottom; ++y) c.push_back(::GetPixel(from, left, top + y) & 0xFFFFFF);
    return c;
  };
  const auto played = [&](int top) {
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    const HBITMAP bmp = ::CreateCompatibleBitmap(screen, 64, view.bottom);
    const HGDIOBJ old = ::SelectObject(dc, bmp);
    const RECT all{-(x - 8), -top, picture.Width() - (x - 8), picture.Height() - top};
    DrawPicture(dc, picture, all);
    auto c = column(dc, 8, 0);
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return c;
  };
  const int step = view.bottom - 16;
  const int stops[] = {step, 2 * step, 3 * step, 3 * step + 40, 3 * step + 80, 2 * step + 80, step + 80};
  for (const int top : stops) {
    SCOPED_TRACE(::testing::Message() << "scrolled to " << top);
    scroll.SetVertPosition(top);
    ::UpdateWindow(w->Handle());
    ASSERT_EQ(scroll.VertPosition(), top);
    const HDC dc = ::GetDC(box);
    const auto shown = column(dc, x, top);
    ::ReleaseDC(box, dc);
    const auto expected = played(top);
    int differ = 0, first = -1;
    for (size_t y = 0; y < shown.size(); ++y)
      if (shown[y] != expected[y] && differ++ == 0) first = static_cast<int>(y);
    EXPECT_EQ(differ, 0) << "first at row " << first << ": shown " << std::hex
                         << (first >= 0 ? shown[first] : 0) << ", played " << (first >= 0 ? expected[first] : 0);
    PumpMessages();  // idle: the next screen is played ahead
  }
}

// Where the box draws a thumb's move itself, the bar must look exactly as
// the system draws it: the old thumb gone, the new one where the system
// puts it, the track on both sides.
TEST(Form1View, ThumbsTheBoxMovesLookAsTheSystemDrawsThem) {
  MainWindow w;
  win::ScrollBox& scroll = w->ScrollBox1();
  const HWND hwnd = scroll.Handle();
  ::SetCursorPos(0, 0);  // at rest: not over a bar
  // The bar as it is on the screen now.
  const auto barPixels = [hwnd](LONG object) {
    SCROLLBARINFO info{sizeof info};
    ::GetScrollBarInfo(hwnd, object, &info);
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    const RECT& r = info.rcScrollBar;
    const int width = r.right - r.left, height = r.bottom - r.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    void* bits = nullptr;
    const HDC from = ::GetWindowDC(hwnd);
    const HDC dc = ::CreateCompatibleDC(from);
    const HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(dc, bmp);
    ::BitBlt(dc, 0, 0, width, height, from, r.left - window.left, r.top - window.top, SRCCOPY);
    ::GdiFlush();
    std::copy_n(static_cast<const uint32_t*>(bits), pixels.size(), pixels.begin());
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    ::ReleaseDC(hwnd, from);
    return pixels;
  };
  // Drawings of 40 x 28 and 200 x 140 inches of nothing: thumbs of a
  // quarter of the bar and of the least length.
  const struct {
    int16_t inches;
    bool vertical;
    int from, to;
  } moves[] = {{40, true, 0, 700},        {40, true, 700, 2000},     {40, true, 2000, 40},
               {40, false, 0, 1500},      {40, false, 1500, 2500},   {200, true, 0, 12000},
               {200, true, 12000, 11950}, {200, false, 18000, 100}};
  int16_t opened = 0;
  for (const auto& m : moves) {
    SCOPED_TRACE(::testing::Message() << m.inches << " inches, " << (m.vertical ? "vertical " : "horizontal ")
                                      << m.from << " -> " << m.to);
    if (opened != m.inches) {
      const testing::WmfSpec made = InchDrawing(m.inches, static_cast<int16_t>(m.inches * 7 / 10), 1);
      const auto path = w.dir() / (std::to_wstring(m.inches) + L".wmf");
      WriteBytes(path, testing::MakeWmf(made));
      w.Open(path.wstring());
      ASSERT_EQ(w->viewMode, ViewMode::Picture);
      ::UpdateWindow(w->Handle());
      PumpMessages();
      scroll.SetThumbDrawing(win::ScrollBox::ThumbDrawing::Own);
      opened = m.inches;
    }
    const auto set = [&](int value) {
      m.vertical ? scroll.SetVertPosition(value) : scroll.SetHorzPosition(value);
      ::GdiFlush();
    };
    set(m.from);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    const auto before = barPixels(m.vertical ? OBJID_VSCROLL : OBJID_HSCROLL);
    set(m.to);
    EXPECT_EQ(::GetScrollPos(hwnd, m.vertical ? SB_VERT : SB_HORZ), m.to);
    const auto drawn = barPixels(m.vertical ? OBJID_VSCROLL : OBJID_HSCROLL);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    const auto system = barPixels(m.vertical ? OBJID_VSCROLL : OBJID_HSCROLL);
    ASSERT_EQ(drawn.size(), system.size());
    EXPECT_NE(before, system) << "the thumb moved";
    size_t differ = 0, first = drawn.size();
    for (size_t i = 0; i < drawn.size(); ++i)
      if (drawn[i] != system[i]) differ++, first = std::min(first, i);
    EXPECT_EQ(differ, 0u) << "first at " << first << ": drawn " << std::hex
                          << (first < drawn.size() ? drawn[first] : 0) << ", system "
                          << (first < drawn.size() ? system[first] : 0);
  }
}

TEST(Form1View, EveryButtonHasItsHintAndPicture) {
  MainWindow w;
  const auto map = CommandMap();
  int buttons = 0;
  for (size_t i = 0; i < map.size(); ++i) {
    const Command& c = map[i];
    if (c.kind != CommandKind::Button && c.kind != CommandKind::Toggle) continue;
    ++buttons;
    SCOPED_TRACE(std::string(c.name));
    NMTTDISPINFOW info{};
    info.hdr.code = TTN_GETDISPINFOW;
    info.hdr.idFrom = static_cast<UINT_PTR>(CommandId(c.id));
    ::SendMessageW(w->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.lpszText ? std::wstring(info.lpszText) : L"", c.text ? c.text : L"");
    // Buttons of the view table are shown by the mode (the text view at start).
    bool byMode = false;
    for (const ViewRow& row : ViewTable()) byMode |= row.control == c.name && row.property == ViewProperty::Visible;
    if (!byMode) {
      EXPECT_EQ(w->IsShown(c.name), c.visible);
    }
  }
  EXPECT_EQ(buttons, 27);
  // Hidden menu items are left out of the menu the user sees.
  HMENU menu = w->PopupMenu(Surface::PopupMenu2).Build(w->ImageList1());
  std::vector<std::wstring> captions;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    captions.emplace_back(text);
  }
  ::DestroyMenu(menu);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"拡大", L"縮小", L"", L"左回転", L"右回転", L"", L"コピー", L"保存",
                                                 L"メール", L"印刷", L"", L"終了"}));
}

TEST(Form1View, EveryNameTheTablesUseIsAnElementOfTheWindow) {
  // A misspelt name in either table would otherwise be skipped without a word.
  MainWindow w;
  for (const ViewRow& row : ViewTable()) EXPECT_TRUE(w->HasElement(row.control)) << "view table: " << row.control;
  for (const Command& c : CommandMap()) EXPECT_TRUE(w->HasElement(c.name)) << "command map: " << c.name;
  EXPECT_FALSE(w->HasElement("ToolButton99"));
}

TEST(Form1View, MetafilesAreDrawnAtTheirOwnSize) {
  MainWindow w;
  const auto path = w.dir() / L"shape.emf";
  {
    win::WindowDC screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
    // A frame of 50.8 mm x 25.4 mm: 2 x 1 inches.
    RECT frame{0, 0, 5080, 2540};
    HDC dc = ::CreateEnhMetaFileW(screen.Get(), path.c_str(), &frame, nullptr);
    ::Rectangle(dc, 0, 0, dpi, dpi / 2);
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(dc));
    w.Open(path.wstring());
    ASSERT_EQ(w->viewMode, ViewMode::Picture);
    EXPECT_NEAR(w->ImageJpg().picture().Width(), 2 * dpi, 2);
    EXPECT_NEAR(w->ImageJpg().picture().Height(), dpi, 2);
  }
}

TEST(Form1View, DamagedMetafilesAreRefusedBeforeTheSystemPlaysThem) {
  MainWindow w;
  using testing::EmfRecord;
  using testing::WmfRecord;
  const auto wmf = [](std::vector<WmfRecord> records) {
    testing::WmfSpec s;
    s.records = std::move(records);
    return testing::MakeWmf(s);
  };
  const auto emf = [](std::vector<EmfRecord> records) {
    testing::EmfSpec s;
    s.records = std::move(records);
    return testing::MakeEmf(s);
  };
  const std::vector<uint32_t> text = {0, 0, 9, 9, 1, 0, 0, 0, 0, 5000, 76, 0, 0, 0, 0, 0, 0, 0x00690048};
  struct Row {
    const wchar_t* name;
    std::string bytes;
  };
  const Row rows[] = {
      {L"select9999.wmf", wmf({{0x012D, {9999}}})},
      {L"delete9999.wmf", wmf({{0x01F0, {9999}}})},
      {L"polygon.wmf", wmf({{0x0324, {4000, 1, 2}}})},
      {L"select.emf", emf({{37, {9}}})},
      {L"brush.emf", emf({{39, {9, 0, 0, 0}}})},
      {L"polygon.emf", emf({{3, {0, 0, 9, 9, 100000, 1, 1}}})},
      {L"polygon16.emf", emf({{86, {0, 0, 9, 9, 100000, 1}}})},
      {L"text.emf", emf({{84, text}})},
      {L"stretch.emf", emf({{81, {0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 0x7FFFFF00, 40, 80, 16, 0, 0xCC0020, 2, 2}}})},
      {L"zero.emf", emf({{43, {1, 1, 2, 2}, 0}})},
  };
  const auto good = w.dir() / L"good.emf";
  WriteBytes(good, testing::MakeEmf(testing::DrawingEmf()));
  for (const Row& r : rows) {
    SCOPED_TRACE(U8(r.name));
    std::string bytes = r.bytes;
    if (std::wstring(r.name) == L"zero.emf") bytes[108 + 4] = bytes[108 + 5] = 0;  // a record of size 0
    const auto path = w.dir() / r.name;
    WriteBytes(path, bytes);
    try {
      w.Open(path.wstring());
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), "メタファイルは有効ではありません");
    }
    // The window goes on: the next file shows.
    w.Open(good.wstring());
    EXPECT_EQ(w->viewMode, ViewMode::Picture);
    EXPECT_GT(w->ImageJpg().picture().Width(), 0);
  }
  // Our own drawings, placeable and enhanced, are played at their sizes.
  win::WindowDC screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
  const auto placeable = w.dir() / L"drawing.wmf";
  WriteBytes(placeable, testing::MakeWmf(testing::DrawingWmf()));
  w.Open(placeable.wstring());
  EXPECT_NEAR(w->ImageJpg().picture().Width(), dpi, 1);
  EXPECT_NEAR(w->ImageJpg().picture().Height(), dpi / 2, 1);
}

TEST(Form1View, PicturesThatCannotBeLoadedReportTheirError) {
  MainWindow w;
  struct Row {
    const wchar_t* name;
    std::string content;
    std::string message;
  };
  const Row rows[] = {
      {L"bad.jpg", "BM not a jpeg", "Not a JPEG file: starts with 0x42 0x4d"},
      {L"bad.bmp", "BMxx", "ビットマップ イメージは有効ではありません"},
      {L"bad.emf", "nothing", "メタファイルは有効ではありません"},
      {L"huge.jpg", Bytes(testing::WithClaimedSize(testing::MakeJpeg(testing::JpegKind::Rgb, 16, 16), 65500, 65500)),
       "JPEG 画像が大きすぎます (65500 × 65500)"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(U8(r.name));
    const auto path = w.dir() / r.name;
    WriteBytes(path, r.content);
    try {
      w.Open(path.wstring());
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), r.message);
    }
  }
  try {
    LoadPictureFile((w.dir() / L"x.xyz").wstring());
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "拡張子 .xyz の画像形式は処理できません");
  }
}

TEST(Form1View, TheNewestPictureFormatForAnExtensionWins) {
  int calls = 0;
  RegisterPictureFormat(L"TSTX", L"first", [&](const std::wstring&, Picture*) {
    ++calls;
    return Picture();
  });
  RegisterPictureFormat(L"tstx", L"second", [&](const std::wstring&, Picture*) {
    calls += 10;
    return Picture();
  });
  LoadPictureFile(L"C:\\a.TsTx");
  EXPECT_EQ(calls, 10);
}

TEST(Form1View, TextAndFoldersInTheTextView) {
  MainWindow w;
  const auto path = w.dir() / L"notes.txt";
  WriteBytes(path, "line one\nline two\r\n\x96\xB3\x91\xE8\rend");
  w.Open(path.wstring());
  EXPECT_EQ(w->RichEdit1().Text(), L"line one\r\nline two\r\n無題\r\nend");
  w.Open(w.dir().path().wstring());
  EXPECT_EQ(w->RichEdit1().Text(), L"ﾃﾞｨﾚｸﾄﾘです");
  EXPECT_EQ(w->RichEdit1().FontName(), L"Terminal");
  EXPECT_EQ(w->RichEdit1().FontSize(), 10);
}

TEST(Form1View, CommandLineArgumentsAreMadeAbsoluteAndLong) {
  TempDir dir(L"-Långer Ordner");
  const auto file = dir / L"Mixed Case Photo.JPG";
  WriteBytes(file, Bytes(testing::MakeJpeg(testing::JpegKind::Gray, 8, 8)));
  wchar_t shortPath[MAX_PATH] = {};
  ::GetShortPathNameW(file.c_str(), shortPath, MAX_PATH);
  EXPECT_EQ(TForm1::ExpandLongPath(shortPath), file.wstring()) << U8(shortPath);
  const std::wstring lowered = file.wstring().substr(0, 2) + LowerAscii(file.wstring().substr(2));
  EXPECT_EQ(TForm1::ExpandLongPath(lowered), file.wstring());
  EXPECT_EQ(TForm1::ExpandLongPath(L"C:\\"), L"C:");

  const std::wstring oldCwd = std::filesystem::current_path().wstring();
  std::filesystem::current_path(dir.path());
  {
    MainWindow w({L"Mixed Case Photo.JPG"});
    PumpMessages();
    EXPECT_EQ(w->CurrentPath, file.wstring());
    EXPECT_EQ(w->viewMode, ViewMode::Jpeg);
    EXPECT_EQ(w->TextOf("LabelPath"), file.wstring());
  }
  std::filesystem::current_path(oldCwd);
}

}  // namespace
}  // namespace mirabo
