#pragma once
// Pictures as the picture control holds them: a top-down device-independent
// bitmap section, decoded once and painted without decoding again.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <span>
#include <functional>
#include <string>

#include "base/picture/colour.h"
#include "base/picture/dib.h"
#include "base/win/unique_handle.h"

namespace mirabo {

// What a picture was made from: the zoom steps decode a JPEG again from its
// file, and icons and metafiles are drawings, not pixels that can be turned.
enum class PictureKind { Bitmap, Jpeg, Icon, Metafile };

class Picture {
 public:
  Picture() = default;
  Picture(HBITMAP bitmap, int width, int height, int bitsPerPixel = 32, PictureKind kind = PictureKind::Bitmap)
      : bitmap_(bitmap), width_(width), height_(height), bitsPerPixel_(bitsPerPixel), kind_(kind) {}
  // A metafile: drawn when it is painted, at width x height, so showing it
  // costs no memory for its pixels however large it is.
  Picture(win::UniqueEnhMetafile drawing, int width, int height)
      : drawing_(std::move(drawing)), width_(width), height_(height), kind_(PictureKind::Metafile) {}
  // The bitmap; none for a metafile.
  HBITMAP Handle() const { return static_cast<HBITMAP>(bitmap_.Get()); }
  HENHMETAFILE Drawing() const { return drawing_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  PictureKind Kind() const { return kind_; }
  void SetKind(PictureKind kind) { kind_ = kind; }
  bool Empty() const { return !bitmap_ && !drawing_; }
  HBITMAP Release() { return static_cast<HBITMAP>(bitmap_.Release()); }

 private:
  win::UniqueGdiObject bitmap_;
  win::UniqueEnhMetafile drawing_;
  int width_ = 0, height_ = 0, bitsPerPixel_ = 32;
  PictureKind kind_ = PictureKind::Bitmap;
};

// A DIB section for the decoders to fill; the picture takes it over once
// they are done. Throws EMirabo when the system has no memory for it.
class DibSectionAllocator {
 public:
  // recycle: a picture no longer shown whose bitmap may be filled again when
  // it has the same size and depth (stepping through a folder of photos from
  // one camera then allocates nothing).
  explicit DibSectionAllocator(Picture* recycle = nullptr) : recycle_(recycle) {}
  DibAllocator Allocator();
  Picture Take();

 private:
  win::UniqueGdiObject bitmap_;
  DibFormat format_;
  Picture* recycle_;
};

// The whole file, mapped read-only (a folder full of 10-megabyte photos is
// read at the speed of the disk, not of copying).
class MappedFile {
 public:
  // Throws EInOutError "ファイル %s を開けません".
  explicit MappedFile(const std::wstring& path);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  win::UniqueFile file_;
  win::UniqueKernelHandle mapping_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// A picture drawn into dest on dc: a bitmap stretched (halftone when it
// shrinks), a metafile played over white. GDI clips to what dc shows.
void DrawPicture(HDC dc, const Picture& picture, const RECT& dest);
// A metafile's pixels at its own size (within the picture limit), for what
// needs pixels (the clipboard); a bitmap comes back as a copy. Throws
// EMirabo "メモリが不足しています" when it cannot be made.
Picture RenderPicture(const Picture& picture);

// Loading by file name through the process-wide picture format table: the
// newest entry for the extension (without case) wins; "拡張子 .%s の画像形式
// は処理できません" when there is none. recycle: the view's previous picture,
// whose bitmap a loader may take over when the new one has its shape (a
// fresh bitmap's pages cost more than the decode of a large photo).
using PictureLoader = std::function<Picture(const std::wstring& path, Picture* recycle)>;

void RegisterPictureFormat(const std::wstring& extension, const std::wstring& description,
                           PictureLoader loader);
Picture LoadPictureFile(const std::wstring& path, Picture* recycle = nullptr);

// The built-in formats: bmp, dib, ico, wmf, emf, jpeg, jpg.
Picture LoadBitmapFile(const std::wstring& path);
// A bitmap file (or packed DIB) already in memory.
Picture LoadBitmapMemory(const uint8_t* data, size_t size);
Picture LoadIconFile(const std::wstring& path);
Picture LoadMetafile(const std::wstring& path);
// How a JPEG is made ready for the view: upright by its EXIF orientation,
// in the display's colours by its embedded profile (sRGB without one).
struct JpegViewing {
  bool upright = false;
  ColourManager* colours = nullptr;
};
Picture LoadJpegFile(const std::wstring& path, int scaleDenominator, Picture* recycle = nullptr,
                     const JpegViewing& viewing = {});
// The same from the file's bytes already read; stop (set from another
// thread) gives up with EJpegError.
Picture LoadJpegMemory(std::span<const uint8_t> data, int scaleDenominator, const JpegViewing& viewing,
                       const std::atomic<bool>* stop = nullptr, Picture* recycle = nullptr);
// For printing: full size, with the quality options (accurate transform).
Picture LoadJpegFileForPrint(const std::wstring& path, const JpegViewing& viewing = {});

// A quarter turn of a picture's pixels into a new bitmap of the same pixel
// format (palette and bit-field masks kept); pictures of 1, 4 or 15 bits
// and device-dependent bitmaps are turned as 24 bits. progress(row) comes
// on this thread after each source row that is a multiple of ten. recycle:
// a picture no longer shown whose bitmap is taken over when it is laid out
// as the turned picture. Throws EMirabo for icons and metafiles and when
// there is no memory.
Picture RotatePicture(const Picture& source, bool left, const std::function<void(int row)>& progress = {},
                      Picture* recycle = nullptr);

}  // namespace mirabo
