#pragma once
// PCX pictures: 1-bit monochrome, 2- and 4-bit and 4-plane 16-colour
// pictures with the header's palette, 8-bit with the 256-colour palette at
// the file's end (or grey without one), 24-bit as three planes (a fourth
// plane is ignored). Run-length or plain rows, rows padded to any
// BytesPerLine, a window not starting at zero. Every count is checked
// against the file before it is used.
#include <cstdint>
#include <span>

#include "viewers/document/page.h"

namespace mirabo {

// Throws EDocumentError "PCX ファイルが壊れています" (with what is wrong) for
// a file it cannot show.
DocPage DecodePcx(std::span<const uint8_t> file, DocPage* recycle = nullptr);

}  // namespace mirabo
