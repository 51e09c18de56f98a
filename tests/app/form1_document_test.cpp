// View mode 3 end to end: multi-page TIFF and PCX documents in the document
// control, the page bar, zoom and turns, the clipboard, printing, and
// files that cannot be shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/app/form1_test_support.h"
#include "tests/app/print_recorder.h"
#include "tests/viewers/tiff_fixtures.h"
#include "viewers/document/page_ops.h"

namespace mirabo {
namespace {

using testing::ErrorRecorder;
using testing::MainWindow;
using testing::WriteBytes;
using test::ExpectedColour;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

SIZE WindowSize(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

// What the control paints, as 0xRRGGBB values row by row.
struct Painted {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

Painted Paint(HWND control) {
  Painted out;
  RECT client{};
  ::GetClientRect(control, &client);
  out.width = client.right;
  out.height = client.bottom;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), out.width, -out.height, 1, 32, BI_RGB};
  void* bits = nullptr;
  const HDC dc = ::CreateCompatibleDC(nullptr);
  const HBITMAP dib = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(dc, dib);
  ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  out.pixels.assign(p, p + static_cast<size_t>(out.width) * out.height);
  ::SelectObject(dc, old);
  ::DeleteObject(dib);
  ::DeleteDC(dc);
  return out;
}

// Three pages: a wide black-and-white fax page, a grey page, a colour page.
std::vector<test::TiffPage> ThreePages() {
  test::TiffPage fax;
  fax.width = 1001;
  fax.height = 40;
  fax.compression = COMPRESSION_CCITTFAX4;
  test::TiffPage grey;
  grey.bits = 8;
  grey.photometric = PHOTOMETRIC_MINISBLACK;
  grey.compression = COMPRESSION_LZW;
  grey.pattern = test::GreyPattern;
  grey.width = 60;
  grey.height = 80;
  test::TiffPage colour = grey;
  colour.samples = 3;
  colour.photometric = PHOTOMETRIC_RGB;
  colour.pattern = test::ColourPattern;
  colour.width = 30;
  colour.height = 20;
  return {fax, grey, colour};
}

TEST(Form1Document, PagesStepZoomAndTurnWithThePageBar) {
  MainWindow w;
  const auto pages = ThreePages();
  const auto path = w.dir() / L"fax.tif";
  WriteBytes(path, Bytes(test::WriteTiff(pages)));
  w.Open(path.wstring());
  const HWND control = w->WindowOf("ImgEdit1");
  ASSERT_EQ(w->viewMode, ViewMode::Document);
  EXPECT_TRUE(w->IsShown("ToolBar3"));
  EXPECT_EQ(w->TextOf("Panel2"), L"1/3");
  SIZE size = WindowSize(control);
  EXPECT_EQ(size.cx, 1001);
  EXPECT_EQ(size.cy, 40);
  Painted shown = Paint(control);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 1001; x += 7)
      ASSERT_EQ(shown.At(x, y), ExpectedColour(pages[0], x, y)) << x << "," << y;

  w.Click("ToolButton21");  // before page 1: nothing
  EXPECT_EQ(w->TextOf("Panel2"), L"1/3");
  EXPECT_EQ(::GetFocus(), w->WindowOf("EditKey"));

  w.Click("ToolButton2");  // zoom 1: 50 %
  EXPECT_EQ(w->TextOf("Panel1"), L"50%");
  size = WindowSize(control);
  EXPECT_EQ(size.cx, 500);
  EXPECT_EQ(size.cy, 20);
  // Black and white averaged to grey: each pixel the share of white in its
  // 2 x 2 block.
  shown = Paint(control);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 500; x += 3) {
      int white = 0;
      for (int d = 0; d < 4; ++d) white += ExpectedColour(pages[0], 2 * x + d % 2, 2 * y + d / 2) != 0;
      ASSERT_EQ(shown.At(x, y), ((white * 255 + 2) / 4) * 0x010101u) << x << "," << y;
    }

  w.Click("ToolButton23");  // turn left: the control's sides swap
  size = WindowSize(control);
  EXPECT_EQ(size.cx, 20);
  EXPECT_EQ(size.cy, 500);
  EXPECT_EQ(w->ImgEdit1.ImageWidth(), 40);
  EXPECT_EQ(w->ImgEdit1.ImageHeight(), 1001);
  EXPECT_EQ(w->TextOf("Panel2"), L"1/3");
  w.Click("ToolButton25");
  w.Click("ToolButton25");  // and right twice: a right turn of the page
  EXPECT_EQ(w->ImgEdit1.ShownPage().PixelRgb(39, 0), ExpectedColour(pages[0], 0, 0));

  w.Click("ToolButton22");  // the next page sizes the control afresh
  EXPECT_EQ(w->TextOf("Panel2"), L"2/3");
  size = WindowSize(control);
  EXPECT_EQ(size.cx, 30);
  EXPECT_EQ(size.cy, 40);
  w.Click("ToolButton22");
  w.Click("ToolButton22");  // beyond the last page: nothing
  EXPECT_EQ(w->TextOf("Panel2"), L"3/3");
  w.Click("ToolButton1");
  shown = Paint(control);
  ASSERT_EQ(shown.width, 30);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(shown.At(x, y), ExpectedColour(pages[2], x, y)) << x << "," << y;
  w.Click("ToolButton21");
  EXPECT_EQ(w->TextOf("Panel2"), L"2/3");
}

// One file of each kind real files showed wrong or were refused, and the
// turned forms, each shown as its author meant.
TEST(Form1Document, TheVariantsOfRealFilesShowAsTheirAuthorsMeant) {
  MainWindow w;
  std::vector<test::VariantPage> files = test::VariantPages();
  for (const uint16_t orientation : {ORIENTATION_LEFTTOP, ORIENTATION_RIGHTTOP, ORIENTATION_RIGHTBOT}) {
    test::TiffPage turned = ThreePages()[2];
    turned.orientation = orientation;
    files.push_back({"RGB, orientation " + std::to_string(orientation), turned});
  }
  test::TiffPage fax = ThreePages()[0];
  fax.width = 61;
  fax.orientation = ORIENTATION_LEFTBOT;
  files.push_back({"G4, orientation 8", fax});
  int index = 0;
  for (const test::VariantPage& file : files) {
    SCOPED_TRACE(file.name);
    const auto path = w.dir() / (L"variant" + std::to_wstring(index++) + L".tif");
    WriteBytes(path, Bytes(test::WriteTiff({file.page})));
    w.Open(path.wstring());
    ASSERT_EQ(w->viewMode, ViewMode::Document);
    EXPECT_EQ(w->ImgEdit1.ImageWidth(), test::ShownWidth(file.page));
    EXPECT_EQ(w->ImgEdit1.ImageHeight(), test::ShownHeight(file.page));
    const Painted shown = Paint(w->WindowOf("ImgEdit1"));
    ASSERT_EQ(shown.width, test::ShownWidth(file.page));
    int wrong = 0;
    for (int y = 0; y < shown.height; ++y)
      for (int x = 0; x < shown.width; ++x) {
        const uint32_t got = shown.At(x, y), want = ExpectedColour(file.page, x, y);
        bool close = true;
        for (int shift : {0, 8, 16}) close &= std::abs(int(got >> shift & 255) - int(want >> shift & 255)) <= file.tolerance;
        if (!close && wrong++ < 3) ADD_FAILURE() << "(" << x << ", " << y << "): got " << std::hex << got << ", expected " << want;
      }
  }
}

TEST(Form1Document, PcxPagesShowAndCopyAsDibs) {
  MainWindow w;
  test::PcxSpec pcx;
  pcx.planes = 3;
  const auto path = w.dir() / L"picture.pcx";
  WriteBytes(path, Bytes(test::WritePcx(pcx)));
  w.Open(path.wstring());
  EXPECT_EQ(w->FileListBox1Mask, L"*.pcx");
  EXPECT_EQ(w->TextOf("Panel2"), L"1/1");
  const Painted shown = Paint(w->WindowOf("ImgEdit1"));
  ASSERT_EQ(shown.width, pcx.width);
  for (int y = 0; y < pcx.height; ++y)
    for (int x = 0; x < pcx.width; ++x) ASSERT_EQ(shown.At(x, y), ExpectedColour(pcx, x, y)) << x << "," << y;

  const auto clipboardDib = [&w]() {
    std::vector<uint8_t> dib;
    if (!::OpenClipboard(w->Handle())) return dib;
    if (const HANDLE h = ::GetClipboardData(CF_DIB)) {
      const auto* p = static_cast<const uint8_t*>(::GlobalLock(h));
      dib.assign(p, p + ::GlobalSize(h));
      ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return dib;
  };
  w->ImgEdit1.CopyAreaToClipboard(0, 0, w->ImgEdit1.ImageWidth(), w->ImgEdit1.ImageHeight());
  std::vector<uint8_t> dib = clipboardDib();
  ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib.data(), sizeof header);
  EXPECT_EQ(header.biWidth, pcx.width);
  EXPECT_EQ(header.biHeight, pcx.height);
  EXPECT_EQ(header.biBitCount, 24);
  const uint8_t* corner = dib.data() + 40 + static_cast<size_t>(pcx.height - 1) * ((pcx.width * 3 + 3) / 4 * 4);
  EXPECT_EQ(uint32_t(corner[2]) << 16 | corner[1] << 8 | corner[0], ExpectedColour(pcx, 0, 0));

  // A black-and-white page, turned: a 1-bit DIB of the turned page.
  const auto tif = w.dir() / L"page.tif";
  WriteBytes(tif, testing::SmallTiff());
  w.Open(tif.wstring());
  w.Click("ToolButton25");
  w->ImgEdit1.CopyAreaToClipboard(0, 0, w->ImgEdit1.ImageWidth(), w->ImgEdit1.ImageHeight());
  dib = clipboardDib();
  ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
  std::memcpy(&header, dib.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 30);
  EXPECT_EQ(header.biHeight, 40);
  EXPECT_EQ(header.biBitCount, 1);
  EXPECT_EQ(header.biClrUsed, 2u);
}

TEST(Form1Document, PrintPagesFitsEveryPageToThePaper) {
  MainWindow w;
  auto pages = ThreePages();
  pages[1].xres = 300;
  pages[1].yres = 300;
  const auto path = w.dir() / L"fax.tif";
  WriteBytes(path, Bytes(test::WriteTiff(pages)));
  w.Open(path.wstring());
  testing::MetafilePrinter printer;
  w->ImgEdit1.PrintPagesOn(printer, 1, w->ImgEdit1.PageCount());
  ASSERT_EQ(printer.pages.size(), 3u);
  const HDC screen = ::GetDC(nullptr);
  const int areaW = ::GetDeviceCaps(screen, HORZRES), areaH = ::GetDeviceCaps(screen, VERTRES);
  const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    const auto records = testing::RecordsOf(printer.pages[i], EMR_STRETCHDIBITS);
    ASSERT_EQ(records.size(), 1u);
    const auto* draw = reinterpret_cast<const EMRSTRETCHDIBITS*>(records[0].data());
    const PlacedRect want = PlaceOnPaper(pages[i].width, pages[i].height, pages[i].xres, areaW, areaH, dpiX, dpiY);
    EXPECT_EQ(draw->xDest, want.x);
    EXPECT_EQ(draw->yDest, want.y);
    EXPECT_EQ(draw->cxDest, want.width);
    EXPECT_EQ(draw->cyDest, want.height);
    EXPECT_EQ(draw->cxSrc, pages[i].width);
    EXPECT_EQ(draw->cySrc, pages[i].height);
  }
  // The grey page at 300 dpi is small enough for its own size.
  EXPECT_EQ(PlaceOnPaper(60, 80, 300, areaW, areaH, dpiX, dpiY).width, 60 * dpiX / 300);

  try {
    w->ImgEdit1.PrintPages(1, 3, 2, false, L"No such printer", L"No such printer", L"LPT9:");
    ADD_FAILURE() << "printed on a printer that does not exist";
  } catch (const EMirabo& e) {
    EXPECT_STREQ(e.what(), "プリンタ No such printer に印刷できません");
  }
}

TEST(Form1Document, FilesThatCannotBeShownAreAnsweredAndTheNextOpens) {
  MainWindow w;
  ErrorRecorder errors;
  const auto good = w.dir() / L"good.tif";
  WriteBytes(good, Bytes(test::WriteTiff(ThreePages())));
  w.Drop({good.wstring()});
  ASSERT_EQ(w->TextOf("Panel2"), L"1/3");

  struct Row {
    const wchar_t* name;
    std::string bytes;
    const char* message;
  } rows[] = {
      {L"broken.tif", std::string("II*\0\xFF\xFF\0\0garbage", 15), "TIFF ファイルを読み込めません。"},
      {L"fax.awd", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'), "AWD 形式の文書は表示できません。"},
      {L"cut.pcx", Bytes(test::WritePcx({})).substr(0, 200), "PCX ファイルが壊れています。"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    errors.messages.clear();
    WriteBytes(w.dir() / r.name, r.bytes);
    w.Drop({(w.dir() / r.name).wstring()});
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0].rfind(r.message, 0), 0u) << errors.messages[0];
    EXPECT_EQ(w->viewMode, ViewMode::Document);
    EXPECT_EQ(w->ImgEdit1.ImageWidth(), 0);
    EXPECT_EQ(w->TextOf("Panel2"), L"");
    EXPECT_EQ(WindowSize(w->WindowOf("ImgEdit1")).cx, 0);
  }

  // A damaged page fails alone: the pages on either side still show.
  const auto damaged = w.dir() / L"damaged.tif";
  WriteBytes(damaged, Bytes(test::DamagePage(test::WriteTiff(ThreePages()), 1)));
  errors.messages.clear();
  w.Drop({damaged.wstring()});
  EXPECT_TRUE(errors.messages.empty());
  w.Click("ToolButton22");
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0].rfind("2 ページ目を読み込めません。", 0), 0u) << errors.messages[0];
  EXPECT_EQ(w->TextOf("Panel2"), L"2/3");
  w.Click("ToolButton22");
  EXPECT_EQ(w->TextOf("Panel2"), L"3/3");
  EXPECT_EQ(w->ImgEdit1.ImageWidth(), 30);
  EXPECT_EQ(errors.messages.size(), 1u);
}

}  // namespace
}  // namespace mirabo
