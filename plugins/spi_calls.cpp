#include "plugins/spi_calls.h"

#include <cstring>

#include "plugins/spi_abi.h"

namespace mirabo::spi {
namespace {

int __stdcall ProgressThunk(int num, int denom, SpiLength data) {
  const auto* progress = reinterpret_cast<const std::function<bool(int, int)>*>(data);
  return progress && *progress && !(*progress)(num, denom) ? 1 : 0;
}

}  // namespace

size_t PictureInfoHandleOffset(const uint8_t* record) {
#if defined(_WIN64)
  return record[22] != 0 || record[23] != 0 ? 22 : 24;
#else
  (void)record;
  return 22;
#endif
}

int CallIsSupported(FARPROC isSupported, const char* ansiName, const uint8_t* head2048) {
  const auto fn = reinterpret_cast<IsSupportedFn>(reinterpret_cast<void*>(isSupported));
  return fn(ansiName, const_cast<uint8_t*>(head2048));
}

int CallGetPicture(FARPROC getInfo, FARPROC getPicture, const uint8_t* data, size_t size,
                   const std::function<bool(int num, int denom)>& progress, HLOCAL& info, HLOCAL& bits) {
  info = bits = nullptr;
  const auto length = static_cast<SpiLength>(size);
  // Zeroed, with room for either form of the record.
  alignas(8) uint8_t record[sizeof(PictureInfo) + 8] = {};
  const auto pictureInfo = reinterpret_cast<GetPictureInfoFn>(reinterpret_cast<void*>(getInfo));
  if (pictureInfo(reinterpret_cast<LPCSTR>(data), length, 1, reinterpret_cast<PictureInfo*>(record)) == 0) {
    HLOCAL text = nullptr;
    std::memcpy(&text, record + PictureInfoHandleOffset(record), sizeof text);
    if (text) ::LocalFree(text);  // the information text is not shown
  }
  HANDLE hInfo = nullptr, hBits = nullptr;
  const auto picture = reinterpret_cast<GetPictureFn>(reinterpret_cast<void*>(getPicture));
  const int rc = picture(reinterpret_cast<LPCSTR>(data), length, 1, &hInfo, &hBits, &ProgressThunk,
                         reinterpret_cast<SpiLength>(&progress));
  info = static_cast<HLOCAL>(hInfo);
  bits = static_cast<HLOCAL>(hBits);
  return rc;
}

}  // namespace mirabo::spi
