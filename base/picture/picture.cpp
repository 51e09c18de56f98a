#include "base/picture/picture.h"

#include <cstring>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"
#include "base/picture/bitmap_check.h"
#include "base/picture/bitmap_decode.h"
#include "base/picture/jpeg_decode.h"
#include "base/picture/jpeg_metadata.h"
#include "base/picture/metafile_check.h"
#include "base/picture/rotate.h"
#include "base/win/file_ops.h"
#include "base/win/paths.h"
#include "base/win/text.h"

namespace mirabo {
namespace {

struct FormatEntry {
  std::wstring extension;  // lower case, without the dot
  std::wstring description;
  PictureLoader loader;
};

std::vector<FormatEntry>& Formats() {
  static std::vector<FormatEntry> formats = [] {
    std::vector<FormatEntry> f;
    const auto alone = [](Picture (*load)(const std::wstring&)) {
      return [load](const std::wstring& p, Picture*) { return load(p); };
    };
    const auto jpeg = [](const std::wstring& p, Picture* recycle) { return LoadJpegFile(p, 1, recycle); };
    f.push_back({L"bmp", L"Bitmaps", alone(&LoadBitmapFile)});
    // Device-independent bitmaps are bitmap files under another name.
    f.push_back({L"dib", L"Device-independent bitmaps", alone(&LoadBitmapFile)});
    f.push_back({L"ico", L"Icons", alone(&LoadIconFile)});
    f.push_back({L"wmf", L"Metafiles", alone(&LoadMetafile)});
    f.push_back({L"emf", L"Enhanced metafiles", alone(&LoadMetafile)});
    f.push_back({L"jpeg", L"JPEG Image File", jpeg});
    f.push_back({L"jpg", L"JPEG Image File", jpeg});
    return f;
  }();
  return formats;
}

std::string Utf8(const std::wstring& w) { return win::WideToUtf8(w); }

// A 32-bit top-down DIB section of the given size, cleared to colour.
Picture BlankPicture(int width, int height, COLORREF colour, void** bitsOut, bool fill = true) {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) throw EMirabo("メモリが不足しています");
  auto* px = static_cast<uint32_t*>(bits);
  const uint32_t value = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  if (fill) std::fill(px, px + static_cast<size_t>(width) * static_cast<size_t>(height), value);
  if (bitsOut) *bitsOut = bits;
  return Picture(bmp, width, height);
}

// Runs draw on a memory DC holding the picture's bitmap.
template <typename Draw>
void DrawInto(const Picture& picture, Draw draw) {
  win::MemoryDC dc(nullptr);
  win::SelectedObject selected(dc.Get(), picture.Handle());
  draw(dc.Get());
  ::GdiFlush();
}

}  // namespace

DibAllocator DibSectionAllocator::Allocator() {
  return [this](const DibFormat& format) -> uint8_t* {
    format_ = format;
    if (recycle_ && !recycle_->Empty() && recycle_->Width() == format.width &&
        recycle_->Height() == format.height && recycle_->BitsPerPixel() == format.bitsPerPixel &&
        format.bitsPerPixel == 24) {
      DIBSECTION ds{};
      if (::GetObjectW(recycle_->Handle(), sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits) {
        bitmap_.Reset(recycle_->Release());
        return static_cast<uint8_t*>(ds.dsBm.bmBits);
      }
    }
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* bi = reinterpret_cast<BITMAPINFO*>(info.data());
    bi->bmiHeader = {sizeof(BITMAPINFOHEADER), format.width, -format.height, 1,
                     static_cast<WORD>(format.bitsPerPixel), BI_RGB};
    for (size_t i = 0; i < format.palette.size(); ++i) {
      const RgbQuad q = format.palette[i];
      bi->bmiColors[i] = {q.blue, q.green, q.red, 0};
    }
    bi->bmiHeader.biClrUsed = static_cast<DWORD>(format.palette.size());
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    return bitmap_ ? static_cast<uint8_t*>(bits) : nullptr;
  };
}

Picture DibSectionAllocator::Take() {
  ::GdiFlush();
  return Picture(static_cast<HBITMAP>(bitmap_.Release()), format_.width, format_.height, format_.bitsPerPixel);
}

MappedFile::MappedFile(const std::wstring& path) {
  file_ = win::OpenForSharedReading(path, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file_) throw EInOutError(FormatMessageText("ファイル %s を開けません", Utf8(path)));
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file_.Get(), &size))
    throw EInOutError(FormatMessageText("ファイル %s を開けません", Utf8(path)));
  size_ = static_cast<size_t>(size.QuadPart);
  if (size_ == 0) return;  // an empty file cannot be mapped; it has no bytes to show
  mapping_.Reset(::CreateFileMappingW(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (mapping_) data_ = static_cast<const uint8_t*>(::MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!data_) throw EInOutError(FormatMessageText("ファイル %s を開けません", Utf8(path)));
}

MappedFile::~MappedFile() {
  if (data_) ::UnmapViewOfFile(data_);
}

void RegisterPictureFormat(const std::wstring& extension, const std::wstring& description,
                           PictureLoader loader) {
  Formats().push_back({LowerAscii(extension), description, std::move(loader)});
}

Picture LoadPictureFile(const std::wstring& path, Picture* recycle) {
  std::wstring ext(ExtensionOf(path));
  if (!ext.empty()) ext.erase(0, 1);
  const std::wstring lower = LowerAscii(ext);
  const auto& formats = Formats();
  for (auto it = formats.rbegin(); it != formats.rend(); ++it)
    if (it->extension == lower) return it->loader(path, recycle);
  throw EMirabo(FormatMessageText("拡張子 .%s の画像形式は処理できません", Utf8(ext)));
}

namespace {

Picture DecodeJpegData(std::span<const uint8_t> data, JpegDecodeOptions options, Picture* recycle, const JpegViewing& viewing) {
  if (viewing.upright || viewing.colours) {
    // One look at the segments before the first scan says both.
    const JpegMetadata metadata = ReadJpegMetadata(data);
    if (viewing.upright) options.orientation = metadata.orientation;
    if (ColourManager* colours = viewing.colours)
      options.colourFor = [colours, icc = metadata.iccProfile](PixelLayout layout) { return colours->For(icc, layout); };
  }
  DibSectionAllocator target(recycle);
  DecodeJpeg(data, options, target.Allocator());
  Picture picture = target.Take();
  picture.SetKind(PictureKind::Jpeg);
  return picture;
}

Picture DecodeJpegFile(const std::wstring& path, JpegDecodeOptions options, Picture* recycle, const JpegViewing& viewing) {
  MappedFile file(path);
  return DecodeJpegData({file.Data(), file.Size()}, std::move(options), recycle, viewing);
}

}  // namespace

Picture LoadJpegFile(const std::wstring& path, int scaleDenominator, Picture* recycle, const JpegViewing& viewing) {
  return DecodeJpegFile(path, {scaleDenominator, true}, recycle, viewing);
}

Picture LoadJpegMemory(std::span<const uint8_t> data, int scaleDenominator, const JpegViewing& viewing,
                       const std::atomic<bool>* stop, Picture* recycle) {
  JpegDecodeOptions options{scaleDenominator, true};
  options.stop = stop;
  return DecodeJpegData(data, std::move(options), recycle, viewing);
}

Picture LoadJpegFileForPrint(const std::wstring& path, const JpegViewing& viewing) {
  return DecodeJpegFile(path, {1, false}, nullptr, viewing);
}

Picture LoadBitmapFile(const std::wstring& path) {
  MappedFile file(path);
  return LoadBitmapMemory(file.Data(), file.Size());
}

Picture LoadBitmapMemory(const uint8_t* data, size_t size) {
  const std::string invalid = "ビットマップ イメージは有効ではありません";
  const bitmap::LayoutResult checked = bitmap::CheckBitmapFile({data, size});
  if (!checked.ok) throw EMirabo(invalid);
  const bitmap::Layout& l = checked.layout;
  // Our own reader, not the system's: every form the checks pass draws,
  // and draws alike on every system. Real transparency is drawn over the
  // view's own colour.
  const COLORREF back = ::GetSysColor(COLOR_BTNFACE);
  Picture picture;
  const bitmap::DecodeResult decoded = bitmap::DecodeBitmap(
      {data, size}, l, {GetRValue(back), GetGValue(back), GetBValue(back)}, [&]() -> bitmap::Target {
        void* bits = nullptr;
        // Uncompressed rows the file holds cover every pixel: no fill under them.
        const bool covered = !l.compressed && l.bitsAvailable >= l.bitsNeeded;
        picture = BlankPicture(l.width, l.height, RGB(255, 255, 255), &bits, !covered);
        return {static_cast<uint8_t*>(bits), static_cast<size_t>(l.width) * 4};
      });
  if (!decoded.ok) throw EMirabo(invalid);
  ::GdiFlush();
  return picture;
}

Picture LoadIconFile(const std::wstring& path) {
  {
    // The loading error for a missing file, as for the others; then the
    // file's images checked before the system reads them.
    MappedFile file(path);
    if (!bitmap::CheckIconFile({file.Data(), file.Size()}).ok)
      throw EMirabo("アイコン イメージは有効ではありません");
  }
  win::UniqueIcon icon(static_cast<HICON>(
      ::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE)));
  if (!icon) throw EMirabo("アイコン イメージは有効ではありません");
  ICONINFO ii{};
  ::GetIconInfo(icon.Get(), &ii);
  BITMAP bm{};
  ::GetObjectW(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm);
  const int width = bm.bmWidth, height = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
  if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
  if (ii.hbmMask) ::DeleteObject(ii.hbmMask);
  Picture picture = BlankPicture(width, height, ::GetSysColor(COLOR_BTNFACE), nullptr);
  DrawInto(picture, [&](HDC dc) { ::DrawIconEx(dc, 0, 0, icon.Get(), width, height, 0, nullptr, DI_NORMAL); });
  picture.SetKind(PictureKind::Icon);
  return picture;
}

Picture LoadMetafile(const std::wstring& path) {
  const std::string invalid(metafile::kInvalidMessage);
  MappedFile file(path);
  // The system's player believes every size and number in the file: only a
  // file that passed the checks reaches it, and only the bytes its header
  // claims.
  const metafile::CheckResult checked = metafile::Check({file.Data(), file.Size()});
  if (!checked.ok) throw EMirabo(invalid);
  const metafile::Checked& m = checked.metafile;
  const uint8_t* bytes = file.Data() + m.offset;
  const UINT size = static_cast<UINT>(m.size);
  std::vector<uint8_t> mended;
  if (m.headerWords) {  // the header's size put right in a copy
    mended.assign(bytes, bytes + size);
    for (int i = 0; i < 4; ++i) mended[6 + i] = static_cast<uint8_t>(m.headerWords >> (8 * i));
    bytes = mended.data();
  }
  HENHMETAFILE emf = nullptr;
  int64_t width = 0, height = 0;
  win::WindowDC screen(nullptr);
  const int dpiX = ::GetDeviceCaps(screen.Get(), LOGPIXELSX), dpiY = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
  switch (m.format) {
    case metafile::Format::PlaceableWmf: {
      // The header gives the size in units per inch.
      width = metafile::ExtentPixels(m.left, m.right, dpiX, m.unitsPerInch);
      height = metafile::ExtentPixels(m.top, m.bottom, dpiY, m.unitsPerInch);
      METAFILEPICT mfp{MM_ANISOTROPIC, static_cast<LONG>(metafile::ExtentPixels(m.left, m.right, 2540, m.unitsPerInch)),
                       static_cast<LONG>(metafile::ExtentPixels(m.top, m.bottom, 2540, m.unitsPerInch)), nullptr};
      emf = ::SetWinMetaFileBits(size, bytes, screen.Get(), &mfp);
      break;
    }
    case metafile::Format::Emf:
      emf = ::SetEnhMetaFileBits(size, bytes);
      break;
    case metafile::Format::Wmf:
      emf = ::SetWinMetaFileBits(size, bytes, screen.Get(), nullptr);
      break;
  }
  if (!emf) throw EMirabo(invalid);
  win::UniqueEnhMetafile owned(emf);
  if (width <= 0 || height <= 0) {
    // The frame is in hundredths of a millimetre.
    ENHMETAHEADER header{};
    ::GetEnhMetaFileHeader(emf, sizeof header, &header);
    width = metafile::ExtentPixels(header.rclFrame.left, header.rclFrame.right, dpiX, 2540);
    height = metafile::ExtentPixels(header.rclFrame.top, header.rclFrame.bottom, dpiY, 2540);
  }
  // A header may claim any size; a drawing is as good smaller. It is kept
  // as the drawing it is and played as it is painted: its size costs no
  // memory.
  const metafile::DrawSize drawn = metafile::CapDrawSize(width, height);
  if (drawn.width <= 0 || drawn.height <= 0) throw EMirabo(invalid);
  return Picture(std::move(owned), drawn.width, drawn.height);
}

void DrawPicture(HDC dc, const Picture& picture, const RECT& dest) {
  if (const HENHMETAFILE drawing = picture.Drawing()) {
    win::UniqueGdiObject white(::CreateSolidBrush(RGB(255, 255, 255)));
    ::FillRect(dc, &dest, static_cast<HBRUSH>(white.Get()));
    // The player changes the DC's state as the records say; it is put back.
    const int saved = ::SaveDC(dc);
    ::PlayEnhMetaFile(dc, drawing, &dest);
    ::RestoreDC(dc, saved);
    return;
  }
  win::MemoryDC source(dc);
  win::SelectedObject selected(source.Get(), picture.Handle());
  const int w = dest.right - dest.left, h = dest.bottom - dest.top;
  if (w == picture.Width() && h == picture.Height()) {
    ::BitBlt(dc, dest.left, dest.top, w, h, source.Get(), 0, 0, SRCCOPY);
    return;
  }
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchBlt(dc, dest.left, dest.top, w, h, source.Get(), 0, 0, picture.Width(), picture.Height(), SRCCOPY);
}

Picture RenderPicture(const Picture& picture) {
  Picture out = BlankPicture(picture.Width(), picture.Height(), RGB(255, 255, 255), nullptr);
  DrawInto(out, [&](HDC dc) {
    const RECT all{0, 0, picture.Width(), picture.Height()};
    DrawPicture(dc, picture, all);
  });
  out.SetKind(picture.Kind() == PictureKind::Metafile ? PictureKind::Bitmap : picture.Kind());
  return out;
}

namespace {

// A DIB section's header with room for a full colour table or three masks.
struct DibHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
  BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// The picture's pixels as a top-down DIB section of 8, 16, 24 or 32 bits:
// the picture itself when it is one, otherwise a 24-bit copy in working.
bool TurnablePixels(const Picture& picture, win::UniqueGdiObject& working, DIBSECTION& ds, DibHeader& info) {
  // Every picture the program makes is a top-down DIB section (the system
  // reports its height without the sign, so that cannot be asked).
  if (::GetObjectW(picture.Handle(), sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits &&
      BytesPerPixel(ds.dsBmih.biBitCount) != 0 &&
      (ds.dsBmih.biCompression == BI_RGB || ds.dsBmih.biCompression == BI_BITFIELDS)) {
    info.header = ds.dsBmih;
    if (ds.dsBmih.biBitCount <= 8) {
      DrawInto(picture, [&](HDC dc) {
        info.header.biClrUsed = ::GetDIBColorTable(dc, 0, 256, info.colours);
      });
    } else if (ds.dsBmih.biCompression == BI_BITFIELDS) {
      std::memcpy(info.colours, ds.dsBitfields, sizeof ds.dsBitfields);
    }
    return true;
  }
  // 1-, 4- and 15-bit pictures and device bitmaps: as 24 bits.
  const int width = picture.Width(), height = picture.Height();
  info.header = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB};
  void* bits = nullptr;
  working.Reset(::CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!working) return false;
  {
    win::MemoryDC from(nullptr), to(nullptr);
    win::SelectedObject source(from.Get(), picture.Handle()), target(to.Get(), working.Get());
    ::BitBlt(to.Get(), 0, 0, width, height, from.Get(), 0, 0, SRCCOPY);
    ::GdiFlush();
  }
  return ::GetObjectW(working.Get(), sizeof ds, &ds) == sizeof ds;
}

}  // namespace

namespace {

// The bits of recycle when it is a DIB section laid out exactly as the
// turned picture (size, depth, masks); its colour table is then replaced by
// the source's. Reusing memory already in use spares the fresh pages of a
// new bitmap, which cost several times the turn itself.
void* ReusableBits(Picture* recycle, const DibHeader& turned) {
  if (!recycle || recycle->Empty()) return nullptr;
  DIBSECTION ds{};
  if (::GetObjectW(recycle->Handle(), sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits ||
      ds.dsBm.bmWidth != turned.header.biWidth || ds.dsBm.bmHeight != -turned.header.biHeight ||
      ds.dsBmih.biBitCount != turned.header.biBitCount || ds.dsBmih.biCompression != turned.header.biCompression)
    return nullptr;
  if (turned.header.biCompression == BI_BITFIELDS && std::memcmp(ds.dsBitfields, turned.colours, sizeof ds.dsBitfields))
    return nullptr;
  if (turned.header.biBitCount <= 8) {
    DrawInto(*recycle, [&](HDC dc) { ::SetDIBColorTable(dc, 0, turned.header.biClrUsed, turned.colours); });
  }
  return ds.dsBm.bmBits;
}

}  // namespace

Picture RotatePicture(const Picture& source, bool left, const std::function<void(int row)>& progress,
                      Picture* recycle) {
  if (source.Kind() == PictureKind::Icon) throw EMirabo("アイコンは回転できません");
  if (source.Kind() == PictureKind::Metafile) throw EMirabo("メタファイルは回転できません");
  win::UniqueGdiObject working;
  DIBSECTION ds{};
  DibHeader info{};
  if (!TurnablePixels(source, working, ds, info)) throw EMirabo("メモリが不足しています");
  const int width = ds.dsBm.bmWidth, height = ds.dsBm.bmHeight;
  const int bytes = BytesPerPixel(ds.dsBmih.biBitCount);
  // The turned bitmap: the same header and colours with the sides swapped.
  DibHeader turnedInfo = info;
  turnedInfo.header.biWidth = height;
  turnedInfo.header.biHeight = -width;
  turnedInfo.header.biSizeImage = 0;
  win::UniqueGdiObject turned;
  void* bits = ReusableBits(recycle, turnedInfo);
  if (bits) {
    turned.Reset(recycle->Release());
  } else {
    turned.Reset(::CreateDIBSection(nullptr, turnedInfo.Info(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!turned) throw EMirabo("メモリが不足しています");
  }
  const auto stride = [](int w, int bitCount) { return ((static_cast<size_t>(w) * static_cast<size_t>(bitCount) + 31) / 32) * 4; };
  const PixelBuffer from{static_cast<uint8_t*>(ds.dsBm.bmBits), width, height, stride(width, ds.dsBmih.biBitCount), bytes};
  const PixelBuffer to{static_cast<uint8_t*>(bits), height, width, stride(height, ds.dsBmih.biBitCount), bytes};
  ::GdiFlush();
  RotateQuarter(from, to, left, progress);
  return Picture(static_cast<HBITMAP>(turned.Release()), height, width, ds.dsBmih.biBitCount);
}

}  // namespace mirabo
