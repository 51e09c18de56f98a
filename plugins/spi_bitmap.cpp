#include "plugins/spi_bitmap.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"
#include "base/picture/dib.h"
#include "base/picture/picture.h"
#include "base/win/text.h"
#include "plugins/dib_assembly.h"
#include "plugins/spi_abi.h"
#include "plugins/win_spi_host.h"

namespace mirabo {
namespace {

constexpr char kUnrecognised[] = "認識できない画像形式です";

// The name IsSupported is given: ANSI, or the short name when the long one
// has characters the ANSI code page cannot hold.
std::string AnsiName(const std::wstring& name) {
  std::string ansi = win::WideToCp932(name);
  if (win::Cp932ToWide(ansi) == name) return ansi;
  wchar_t shortName[MAX_PATH] = {};
  if (::GetShortPathNameW(name.c_str(), shortName, MAX_PATH)) return win::WideToCp932(shortName);
  return ansi;
}

}  // namespace

const GraphicClass TSPIBitmapClass{"TSPIBitmap"};

Picture TInSPIAble::LoadFromFile(const std::wstring& path) {
  MappedFile file(path);
  filePath_ = path;
  struct Forget {
    std::wstring& path;
    ~Forget() { path.clear(); }
  } forget{filePath_};
  return LoadFromMemory(file.Data(), file.Size(), path);
}

Picture ShownPicture(std::unique_ptr<ISpiPicture> picture, Picture* recycle) {
  // Real transparency is drawn over the view's own colour, not over
  // whatever colour the file stored under it.
  const COLORREF back = ::GetSysColor(COLOR_BTNFACE);
  if (const auto plain = PlainPictureOf(picture->Info(), picture->Bits())) {
    // A photograph's rows straight into the picture, copied once.
    DibSectionAllocator dib(recycle);
    DibFormat format;
    format.width = plain->width;
    format.height = plain->height;
    format.bitsPerPixel = 24;
    uint8_t* bits = dib.Allocator()(format);
    if (!bits) throw EMirabo("メモリが不足しています");
    DrawPlainPicture(*plain, picture->Bits(), GetRValue(back), GetGValue(back), GetBValue(back), bits, format.Stride());
    return dib.Take();
  }
  auto bitmap = AssembleBitmap(picture->Info(), picture->Bits());
  picture.reset();  // the plug-in's blocks go as soon as they are copied
  // A result the plug-in sized wrong ends the load: it is not a format error.
  if (!bitmap) throw EMirabo("ビットマップ イメージは有効ではありません");
  CompositeOverBackground(*bitmap, GetRValue(back), GetGValue(back), GetBValue(back));
  return LoadBitmapMemory(bitmap->file.data(), bitmap->file.size());
}

Picture TInSPIAble::LoadFromMemory(const uint8_t* data, size_t size, const std::wstring& name) {
  // A picture read ahead on another thread and one the user asked for take
  // their turns: plug-ins are called one picture at a time.
  static std::mutex oneAtATime;
  const std::lock_guard lock(oneAtATime);
  name_ = name;
  extension_ = std::wstring(ExtensionOf(name));
  struct Clear {
    TInSPIAble* self;
    ~Clear() {
      self->name_.clear();
      self->extension_.clear();
    }
  } clear{this};
  Picture picture;
  const bool nativeFirst = extension_.empty() || LowerAscii(extension_) == L".bmp";
  const bool ok = nativeFirst ? (TryNative(data, size, picture) || TryPlugins(data, size, picture))
                              : (TryPlugins(data, size, picture) || TryNative(data, size, picture));
  if (!ok) throw EMirabo(kUnrecognised);
  return picture;
}

bool TInSPIAble::TryNative(const uint8_t* data, size_t size, Picture& out) {
  try {
    out = LoadBitmapMemory(data, size);
    return true;
  } catch (const EMirabo&) {
    return false;
  }
}

bool TInSPIAble::TryPlugins(const uint8_t* data, size_t size, Picture& out) {
  if (FixedPlugin) return TryDecodeWith(*FixedPlugin, data, size, out);
  TSPIs* registry = TSPIs::Instance();
  if (!registry) return false;
  std::vector<TSPI*> list;
  registry->CollectPlugins({&TInSPI::Class}, list, win::WideToUtf8(name_));
  for (TSPI* plugin : list)
    if (TryDecodeWith(*plugin, data, size, out)) return true;
  return false;
}

bool TInSPIAble::TryDecodeWith(TSPI& plugin, const uint8_t* data, size_t size, Picture& out) {
  Progress(0, 0);
  struct End {
    TInSPIAble* self;
    ~End() { self->Progress(2, 100); }
  } end{this};
  if (DecodeFromMemory(plugin, data, size, 0, out)) return true;
  return SkipHeaderRetry && size > 128 && DecodeFromMemory(plugin, data + 128, size - 128, 128, out);
}

bool TInSPIAble::DecodeFromMemory(TSPI& plugin, const uint8_t* data, size_t size, uint64_t offset, Picture& out) {
  ISpiLibrary& library = const_cast<ISpiLibrary&>(plugin.Library());
  for (const SpiExport e : {SpiExport::IsSupported, SpiExport::GetPictureInfo, SpiExport::GetPicture})
    if (!library.HasExport(e))
      throw ESPIInvalidAPI(FormatMessageText("%sは[%s]では使えないSusie Plugin APIです", SpiExportName(e), plugin.FileName()));
  // IsSupported may read 2 KB whatever the file's size: short files are
  // given a zero-padded copy (the length passed on stays the real one).
  std::vector<uint8_t> padded;
  const uint8_t* head = data;
  if (size < 2048) {
    padded.assign(2048, 0);
    std::memcpy(padded.data(), data, size);
    head = padded.data();
  }
  if (library.IsSupported(AnsiName(name_), head) == 0) return false;
  SpiSource source;
  source.data = head;
  source.size = size;
  source.filePath = filePath_.empty() ? std::string() : win::WideToUtf8(filePath_);
  source.fileOffset = offset;
  source.name = win::WideToUtf8(name_);
  source.answerEachProgress = static_cast<bool>(OnProgress);
  std::unique_ptr<ISpiPicture> picture;
  // Plug-ins call with 0 for the total, or (1, 1) twice: no division by zero.
  const SpiProgress progress = [this](int num, int denom) {
    const int64_t total = denom > 0 ? denom : 1;
    const int percent = static_cast<int>((static_cast<int64_t>(std::clamp(num, 0, static_cast<int>(total))) * 98 +
                                          total / 2) / total) + 1;
    if (ShouldStop && ShouldStop()) return false;
    return Progress(1, percent);
  };
  if (library.GetPicture(source, progress, picture) != 0 || !picture) return false;
  out = ShownPicture(std::move(picture), Recycle);
  return true;
}

void TSPIBitmap::Prepare() {
  loader_.FixedPlugin = FixedPlugin;
  loader_.SkipHeaderRetry = SkipHeaderRetry;
}

Picture TSPIBitmap::LoadFromFile(const std::wstring& path) {
  Prepare();
  return loader_.LoadFromFile(path);
}

Picture TSPIBitmap::LoadFromStream(const uint8_t* data, size_t size) {
  Prepare();
  return loader_.LoadFromMemory(data, size, L"");
}

Picture TSPIBitmap::LoadFromStreamWithName(const uint8_t* data, size_t size, const std::wstring& name) {
  Prepare();
  return loader_.LoadFromMemory(data, size, name);
}

Picture LoadSpiBitmap(const std::wstring& path, Picture* recycle) {
  TSPIBitmap bitmap;
  bitmap.Loader().Recycle = recycle;
  return bitmap.LoadFromFile(path);
}

}  // namespace mirabo
