#pragma once
// Calling a loaded plug-in's picture exports: the same code in the 32-bit
// program, which loads plug-ins itself, and in the helper processes that
// load them for the 64-bit program.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace mirabo::spi {

int CallIsSupported(FARPROC isSupported, const char* ansiName, const uint8_t* head2048);

// GetPictureInfo first (its text block freed, at whichever offset the
// plug-in wrote it), then GetPicture on the bytes in memory with a progress
// callback that asks progress(num, denom) whether to go on. The blocks come
// back as the plug-in made them: movable, unlocked, the caller's to free.
int CallGetPicture(FARPROC getInfo, FARPROC getPicture, const uint8_t* data, size_t size,
                   const std::function<bool(int num, int denom)>& progress, HLOCAL& info, HLOCAL& bits);

// Where a PictureInfo record's text handle is: the 64-bit convention puts
// two padding bytes before it, but widely used plug-ins write it packed
// right after colorDepth. A user-space handle's two highest bytes are zero,
// so nonzero bytes at 22 and 23 mean the packed form. (32-bit: always 22.)
size_t PictureInfoHandleOffset(const uint8_t* record);

}  // namespace mirabo::spi
