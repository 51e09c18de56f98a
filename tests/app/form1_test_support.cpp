#include "tests/app/form1_test_support.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/viewers/tiff_fixtures.h"

namespace mirabo::testing {

MainWindow::MainWindow(std::vector<std::wstring> arguments, const std::string& ini, const std::string& exeFolder)
    : iniWritten_((ini.empty() ? void() : WriteBytes(dir_ / L"mirabo.INI", ini), true)),
      form_({settings_, files_, dir_ / L"mirabo.INI", exeFolder, std::move(arguments)}, tray_) {
  form_.OnDestroyed = [this] { destroyed_ = true; };
  form_.Create();
  ::ShowWindow(form_.Handle(), SW_SHOW);
  ::SetForegroundWindow(form_.Handle());
  PumpMessages();
}

MainWindow::~MainWindow() {
  if (!destroyed_ && form_.Handle()) ::DestroyWindow(form_.Handle());
}

void MainWindow::Click(std::string_view command) {
  const Command* c = CommandNamed(command);
  if (!c) {
    ADD_FAILURE() << "no command " << command;
    return;
  }
  ::SendMessageW(form_.Handle(), WM_COMMAND, static_cast<WPARAM>(CommandId(c->id)),
                 reinterpret_cast<LPARAM>(form_.Handle()));
}

void MainWindow::Open(const std::wstring& path) {
  form_.CurrentPath = path;
  form_.ClassifyFile(path);
  form_.ShowCurrentFile();
  PumpMessages();
}

void MainWindow::PressKey(HWND control, WORD key) {
  ::SendMessageW(control, WM_KEYDOWN, key, 1);
  MSG msg{control, WM_KEYDOWN, key, 1};
  ::TranslateMessage(&msg);
  PumpMessages();
  ::SendMessageW(control, WM_KEYUP, key, 0xC0000001);
  PumpMessages();
}

void MainWindow::Drop(const std::vector<std::wstring>& paths, POINT at) {
  SendDrop(form_.Handle(), paths, at);
  PumpMessages();
}

void SendDrop(HWND target, const std::vector<std::wstring>& paths, POINT at) {
  size_t chars = 1;
  for (const auto& p : paths) chars += p.size() + 1;
  const SIZE_T bytes = sizeof(DROPFILES) + chars * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GHND, bytes);
  auto* df = static_cast<DROPFILES*>(::GlobalLock(block));
  df->pFiles = sizeof(DROPFILES);
  df->pt = at;
  df->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(df + 1);
  for (const auto& p : paths) {
    std::memcpy(out, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
    out += p.size() + 1;
  }
  *out = L'\0';
  ::GlobalUnlock(block);
  // The receiver releases the block with DragFinish.
  ::SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

COLORREF BmpColour(int x, int y) {
  return RGB((x * 37) & 0xFF, (y * 53) & 0xFF, ((x + y) * 11) & 0xFF);
}

std::string MakeBmp(int width, int height, int bitsPerPixel, bool topDown) {
  const int stride = ((width * bitsPerPixel + 31) / 32) * 4;
  const int colours = bitsPerPixel == 8 ? 256 : 0;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = width;
  ih.biHeight = topDown ? -height : height;
  ih.biPlanes = 1;
  ih.biBitCount = static_cast<WORD>(bitsPerPixel);
  ih.biClrUsed = static_cast<DWORD>(colours);
  fh.bfType = 0x4D42;
  fh.bfOffBits = static_cast<DWORD>(sizeof fh + sizeof ih + colours * 4);
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(stride * height);
  std::string out(fh.bfSize, '\0');
  std::memcpy(out.data(), &fh, sizeof fh);
  std::memcpy(out.data() + sizeof fh, &ih, sizeof ih);
  // The 8-bit palette is a grey ramp; pixel values are (x + y) & 0xFF.
  for (int i = 0; i < colours; ++i) {
    RGBQUAD q{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    std::memcpy(out.data() + sizeof fh + sizeof ih + i * 4, &q, 4);
  }
  for (int y = 0; y < height; ++y) {
    const int row = topDown ? y : height - 1 - y;
    char* line = out.data() + fh.bfOffBits + row * stride;
    for (int x = 0; x < width; ++x) {
      if (bitsPerPixel == 8) {
        line[x] = static_cast<char>((x + y) & 0xFF);
      } else {
        const COLORREF c = BmpColour(x, y);
        line[x * 3] = static_cast<char>(GetBValue(c));
        line[x * 3 + 1] = static_cast<char>(GetGValue(c));
        line[x * 3 + 2] = static_cast<char>(GetRValue(c));
      }
    }
  }
  return out;
}

COLORREF PixelOf(const Picture& picture, int x, int y) {
  win::WindowDC screen(nullptr);
  const HDC dc = ::CreateCompatibleDC(screen.Get());
  if (picture.Drawing()) {
    // A drawing played into one pixel's bitmap, moved so (x, y) lands on it.
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, -1, 1, 32, BI_RGB};
    void* bits = nullptr;
    const HBITMAP one = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(dc, one);
    ::SetViewportOrgEx(dc, -x, -y, nullptr);
    DrawPicture(dc, picture, RECT{0, 0, picture.Width(), picture.Height()});
    ::SetViewportOrgEx(dc, 0, 0, nullptr);
    const COLORREF c = ::GetPixel(dc, 0, 0);
    ::SelectObject(dc, old);
    ::DeleteObject(one);
    ::DeleteDC(dc);
    return c;
  }
  const HGDIOBJ old = ::SelectObject(dc, picture.Handle());
  const COLORREF c = ::GetPixel(dc, x, y);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return c;
}

}  // namespace mirabo::testing

namespace mirabo::testing {
namespace {

void Put(std::string& out, const void* data, size_t size) {
  out.append(static_cast<const char*>(data), size);
}
template <typename T>
void Put(std::string& out, const T& value) {
  Put(out, &value, sizeof value);
}

}  // namespace

COLORREF ExpectedBmpPixel(BmpLayout layout, int x, int y) {
  switch (layout) {
    case BmpLayout::Mono: return (x + y) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    case BmpLayout::Rle8: return x < 4 ? RGB(200, 0, 0) : RGB(0, 0, 200);
    case BmpLayout::Masks565: return y < 2 ? RGB(255, 0, 0) : RGB(0, 255, 0);
    case BmpLayout::Rgb32: return RGB(x * 30, y * 60, 90);
  }
  return 0;
}

std::string MakeBmpOfLayout(BmpLayout layout) {
  constexpr int w = 8, h = 4;
  BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 0, BI_RGB};
  std::string table, bits;
  switch (layout) {
    case BmpLayout::Mono: {
      ih.biBitCount = 1;
      Put(table, RGBQUAD{0, 0, 0, 0});
      Put(table, RGBQUAD{255, 255, 255, 0});
      for (int row = h - 1; row >= 0; --row) {  // bottom-up
        uint8_t byte = 0;
        for (int x = 0; x < w; ++x) byte = static_cast<uint8_t>(byte << 1 | ((x + row) % 2));
        Put(bits, byte);
        bits.append(3, '\0');
      }
      break;
    }
    case BmpLayout::Rle8: {
      ih.biBitCount = 8;
      ih.biCompression = BI_RLE8;
      ih.biClrUsed = 2;
      Put(table, RGBQUAD{0, 0, 200, 0});
      Put(table, RGBQUAD{200, 0, 0, 0});
      for (int row = 0; row < h; ++row) {
        const uint8_t line[] = {4, 0, 4, 1, 0, 0};  // 4 x red, 4 x blue, end of line
        Put(bits, line, sizeof line);
      }
      const uint8_t end[] = {0, 1};
      Put(bits, end, sizeof end);
      ih.biSizeImage = static_cast<DWORD>(bits.size());
      break;
    }
    case BmpLayout::Masks565: {
      ih.biBitCount = 16;
      ih.biCompression = BI_BITFIELDS;
      const DWORD masks[] = {0xF800, 0x07E0, 0x001F};
      Put(table, masks, sizeof masks);
      for (int row = h - 1; row >= 0; --row)
        for (int x = 0; x < w; ++x) Put(bits, static_cast<uint16_t>(row < 2 ? 0xF800 : 0x07E0));
      break;
    }
    case BmpLayout::Rgb32: {
      ih.biBitCount = 32;
      for (int row = h - 1; row >= 0; --row)
        for (int x = 0; x < w; ++x) Put(bits, RGBQUAD{90, static_cast<BYTE>(row * 60), static_cast<BYTE>(x * 30), 0});
      break;
    }
  }
  BITMAPFILEHEADER fh{0x4D42};
  fh.bfOffBits = static_cast<DWORD>(sizeof fh + sizeof ih + table.size());
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + bits.size());
  std::string out;
  Put(out, fh);
  Put(out, ih);
  return out + table + bits;
}

std::string SmallTiff() {
  const std::vector<uint8_t> bytes = test::WriteTiff({test::TiffPage{}});
  return std::string(bytes.begin(), bytes.end());
}

std::string MakeIcon() {
  constexpr int side = 16;
  std::string image;
  BITMAPINFOHEADER ih{sizeof ih, side, side * 2, 1, 32, BI_RGB};
  Put(image, ih);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      Put(image, x < side / 2 ? RGBQUAD{0, 0, 255, 255} : RGBQUAD{255, 0, 0, 255});
  image.append(side * 4, '\0');  // the AND mask: all opaque
  std::string out;
  const uint16_t dir[] = {0, 1, 1};
  Put(out, dir, sizeof dir);
  const uint8_t entry[] = {side, side, 0, 0};
  Put(out, entry, sizeof entry);
  const uint16_t planesBits[] = {1, 32};
  Put(out, planesBits, sizeof planesBits);
  Put(out, static_cast<uint32_t>(image.size()));
  Put(out, static_cast<uint32_t>(6 + 16));
  return out + image;
}

std::string MakePlaceableMetafile() {
  win::WindowDC screen(nullptr);
  HDC dc = ::CreateMetaFileW(nullptr);
  ::SetMapMode(dc, MM_ANISOTROPIC);
  ::SetWindowExtEx(dc, 2880, 1440, nullptr);
  ::Rectangle(dc, 0, 0, 2880, 1440);
  HMETAFILE mf = ::CloseMetaFile(dc);
  const UINT size = ::GetMetaFileBitsEx(mf, 0, nullptr);
  std::string bits(size, '\0');
  ::GetMetaFileBitsEx(mf, size, bits.data());
  ::DeleteMetaFile(mf);
  std::string out;
  const uint32_t key = 0x9AC6CDD7;
  Put(out, key);
  const int16_t header[] = {0, 0, 0, 2880, 1440, 1440};  // handle, box left, top, right, bottom, inch
  Put(out, header, sizeof header);
  Put(out, static_cast<uint32_t>(0));
  uint16_t checksum = 0;
  for (size_t i = 0; i < out.size(); i += 2) checksum ^= static_cast<uint16_t>(static_cast<uint8_t>(out[i]) | static_cast<uint8_t>(out[i + 1]) << 8);
  Put(out, checksum);
  return out + bits;
}

}  // namespace mirabo::testing
