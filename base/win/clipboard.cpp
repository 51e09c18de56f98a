#include "base/win/clipboard.h"

#include <cstring>

#include "base/win/text.h"
#include "base/win/unique_handle.h"

namespace mirabo::win {
namespace {

void Put(UINT format, const void* data, size_t size) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return;
  std::memcpy(::GlobalLock(block), data, size);
  ::GlobalUnlock(block);
  if (!::SetClipboardData(format, block)) ::GlobalFree(block);
}

}  // namespace

void SetClipboardText(HWND owner, const std::string& cp932) {
  if (!::OpenClipboard(owner)) return;
  ::EmptyClipboard();
  const std::wstring wide = Cp932ToWide(cp932);
  Put(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  Put(CF_TEXT, cp932.c_str(), cp932.size() + 1);
  ::CloseClipboard();
}

void SetClipboardText(HWND owner, const std::wstring& text) {
  if (!::OpenClipboard(owner)) return;
  ::EmptyClipboard();
  Put(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  const std::string cp932 = WideToCp932(text);
  if (Cp932ToWide(cp932) == text) Put(CF_TEXT, cp932.c_str(), cp932.size() + 1);
  ::CloseClipboard();
}

void SetClipboardDib(HWND owner, const std::vector<uint8_t>& packedDib) {
  if (packedDib.empty() || !::OpenClipboard(owner)) return;
  ::EmptyClipboard();
  Put(CF_DIB, packedDib.data(), packedDib.size());
  ::CloseClipboard();
}

void SetClipboardDrawing(HWND owner, HENHMETAFILE drawing, const std::vector<uint8_t>& packedDib) {
  if (!::OpenClipboard(owner)) return;
  ::EmptyClipboard();
  // The clipboard owns the copy once it has taken it.
  if (const HENHMETAFILE copy = ::CopyEnhMetaFileW(drawing, nullptr))
    if (!::SetClipboardData(CF_ENHMETAFILE, copy)) ::DeleteEnhMetaFile(copy);
  if (!packedDib.empty()) Put(CF_DIB, packedDib.data(), packedDib.size());
  ::CloseClipboard();
}

void EmptyClipboardOf(HWND owner) {
  if (!::OpenClipboard(owner)) return;
  ::EmptyClipboard();
  ::CloseClipboard();
}

std::vector<uint8_t> PackedDib(HBITMAP bitmap) {
  DIBSECTION ds{};
  BITMAP bm{};
  int bits = 24;
  if (::GetObjectW(bitmap, sizeof ds, &ds) == sizeof ds) {
    bm = ds.dsBm;
    bits = ds.dsBmih.biBitCount;
  } else if (::GetObjectW(bitmap, sizeof bm, &bm)) {
    bits = bm.bmBitsPixel;
  } else {
    return {};
  }
  // Depths a DIB may have; anything else (15 bits, say) as 24.
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) bits = 24;
  const int colours = bits <= 8 ? 1 << bits : 0;
  const size_t stride = ((static_cast<size_t>(bm.bmWidth) * static_cast<size_t>(bits) + 31) / 32) * 4;
  const size_t header = sizeof(BITMAPINFOHEADER) + static_cast<size_t>(colours) * sizeof(RGBQUAD);
  std::vector<uint8_t> dib(header + stride * static_cast<size_t>(bm.bmHeight));
  auto* info = reinterpret_cast<BITMAPINFO*>(dib.data());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = bm.bmWidth;
  info->bmiHeader.biHeight = bm.bmHeight;  // bottom-up: every reader takes it
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(bits);
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colours);
  WindowDC screen(nullptr);
  if (!::GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(bm.bmHeight), dib.data() + header, info, DIB_RGB_COLORS))
    return {};
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colours);  // GetDIBits may clear it
  info->bmiHeader.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(bm.bmHeight));
  return dib;
}

}  // namespace mirabo::win
