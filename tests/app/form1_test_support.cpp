#include "tests/app/form1_test_support.h"

#include <shlobj.h>

#include <cstring>

namespace mirabo::testing {

MainWindow::MainWindow(std::vector<std::wstring> arguments)
    : form_({settings_, files_, dir_ / L"mirabo.INI", "C:\\Program\\", std::move(arguments)}) {
  form_.OnDestroyed = [this] { destroyed_ = true; };
  form_.Create();
  ::ShowWindow(form_.Handle(), SW_SHOW);
  ::SetForegroundWindow(form_.Handle());
  PumpMessages();
}

MainWindow::~MainWindow() {
  if (!destroyed_ && form_.Handle()) ::DestroyWindow(form_.Handle());
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
  const HGDIOBJ old = ::SelectObject(dc, picture.Handle());
  const COLORREF c = ::GetPixel(dc, x, y);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return c;
}

}  // namespace mirabo::testing
