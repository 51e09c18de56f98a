#pragma once
// TIFF documents through libtiff: one page a directory. Black-and-white
// pages in the usual orientation are read strip by strip (or tile by tile)
// straight into one bit a pixel; every other layout libtiff knows (grey of
// any depth, palette, RGB with or without alpha, CMYK, YCbCr, separate
// planes, any orientation) through its RGBA reader, kept as grey or colour.
#include <memory>
#include <string>

#include "viewers/document/document.h"

namespace mirabo {

// Throws EDocumentError "TIFF ファイルを読み込めません。" with libtiff's
// own message when the file cannot be opened or holds no page.
std::unique_ptr<Document> OpenTiffDocument(std::unique_ptr<ByteSource> source);

}  // namespace mirabo
