#pragma once
// A multi-page document as the document control reads it: TIFF (through
// libtiff) or PCX (our own decoder), told apart by their first bytes. Pages
// are decoded one at a time when asked for.
#include <memory>

#include "viewers/document/byte_source.h"
#include "viewers/document/page.h"

namespace mirabo {

class Document {
 public:
  virtual ~Document() = default;
  virtual int PageCount() const = 0;
  // Page index from 0, with square pixels (see SquarePixels). Throws
  // EDocumentError for a page that cannot be read; the others still can.
  // recycle: see MakePage.
  virtual DocPage ReadPage(int index, DocPage* recycle = nullptr) = 0;
};

// Throws EDocumentError for what cannot be shown: an unknown kind, an AWD
// fax document, a damaged file.
std::unique_ptr<Document> OpenDocument(std::unique_ptr<ByteSource> source);

}  // namespace mirabo
