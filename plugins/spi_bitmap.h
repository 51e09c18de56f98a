#pragma once
// TSPIBitmap: a picture that loads through the registry's picture plug-ins.
// Its loader TInSPIAble hands the file's bytes in memory to each plug-in that
// may read it (those claiming the extension first), native bitmap reading
// first for ".bmp" and nameless data, plug-ins first otherwise.
#include <cstdint>
#include <functional>
#include <string>

#include "base/picture/picture.h"
#include "plugins/spis.h"

namespace mirabo {

class TInSPIAble {
 public:
  TSPI* FixedPlugin = nullptr;
  bool SkipHeaderRetry = true;
  // Progress: stage 0 starting, 1 running, 2 ending; percent 0 to 100.
  // Returning false from a running notification asks the plug-in to stop.
  std::function<bool(int stage, int percent)> OnProgress;
  // Asked at every progress note without a round trip per note (a
  // read-ahead no longer wanted): true asks the plug-in to stop.
  std::function<bool()> ShouldStop;
  // The view's previous picture: a plain result of its shape is copied into
  // its bitmap instead of a fresh one.
  Picture* Recycle = nullptr;

  // Raises "認識できない画像形式です" when no way of reading succeeds.
  Picture LoadFromFile(const std::wstring& path);
  Picture LoadFromMemory(const uint8_t* data, size_t size, const std::wstring& name);

  // For the plug-ins' progress callback.
  bool Progress(int stage, int percent) { return OnProgress ? OnProgress(stage, percent) : true; }

 private:
  bool TryNative(const uint8_t* data, size_t size, Picture& out);
  bool TryPlugins(const uint8_t* data, size_t size, Picture& out);
  bool TryDecodeWith(TSPI& plugin, const uint8_t* data, size_t size, Picture& out);
  // offset: where data starts in the file being loaded, if it is one.
  bool DecodeFromMemory(TSPI& plugin, const uint8_t* data, size_t size, uint64_t offset, Picture& out);

  std::wstring name_, extension_;
  std::wstring filePath_;  // while LoadFromFile runs
};

// The picture class of every pattern a plug-in registers: its settings are
// handed to its loader before each load.
class TSPIBitmap {
 public:
  TSPI* FixedPlugin = nullptr;
  bool SkipHeaderRetry = true;
  Picture LoadFromFile(const std::wstring& path);
  // Bytes with no name: the native reader first, then every plug-in.
  Picture LoadFromStream(const uint8_t* data, size_t size);
  Picture LoadFromStreamWithName(const uint8_t* data, size_t size, const std::wstring& name);
  TInSPIAble& Loader() { return loader_; }

 private:
  void Prepare();
  TInSPIAble loader_;
};

// The picture format table's loader for every pattern a plug-in registers.
Picture LoadSpiBitmap(const std::wstring& path, Picture* recycle = nullptr);

// What a plug-in returned, as the viewer shows it (real transparency drawn
// over the view's colour). Throws EMirabo for blocks sized wrong. A plain
// result of recycle's shape takes over recycle's bitmap.
Picture ShownPicture(std::unique_ptr<ISpiPicture> picture, Picture* recycle = nullptr);
extern const GraphicClass TSPIBitmapClass;

}  // namespace mirabo
