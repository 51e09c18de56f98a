#include "viewers/document/document.h"

#include <cstring>
#include <new>
#include <vector>

#include "viewers/document/pcx.h"
#include "viewers/document/tiff_document.h"

namespace mirabo {
namespace {

// A PCX file is one picture: one page, decoded from the file in memory.
class PcxDocument : public Document {
 public:
  explicit PcxDocument(ByteSource& source) {
    const uint64_t size = source.Size();
    // Larger than any picture the page limit lets through, even uncompressed.
    try {
      if (size > kMaxPagePixels * 4 + 1024) throw std::bad_alloc();
      bytes_.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      throw EPageTooLarge("PCX ファイルが大きすぎて表示できません");
    }
    bytes_.resize(source.ReadAt(0, bytes_.data(), bytes_.size()));
  }
  int PageCount() const override { return 1; }
  DocPage ReadPage(int index, DocPage* recycle) override {
    if (index != 0) throw EDocumentError(PageErrorText(index + 1, ""));
    return DecodePcx(bytes_, recycle);
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<Document> OpenDocument(std::unique_ptr<ByteSource> source) {
  uint8_t head[8] = {};
  const size_t n = source->ReadAt(0, head, sizeof head);
  const auto starts = [&](const char* magic, size_t length) { return n >= length && std::memcmp(head, magic, length) == 0; };
  if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
    return OpenTiffDocument(std::move(source));
  if (n >= 4 && head[0] == 0x0A && head[1] <= 5 && head[2] <= 1) return std::make_unique<PcxDocument>(*source);
  // AWD fax documents are compound files whose page encoding has never been
  // published.
  if (starts("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
    throw EDocumentError("AWD 形式の文書は表示できません。\n\rTIFF 形式に変換してから開いてください。");
  throw EDocumentError("この文書の形式は表示できません。\n\rTIFF と PCX の文書を表示できます。");
}

}  // namespace mirabo
