#include "viewers/document/page.h"

#include <new>

namespace mirabo {

int DocPage::BitsPerPixelOf(PageFormat format) {
  switch (format) {
    case PageFormat::Bilevel: return 1;
    case PageFormat::Grey: return 8;
    case PageFormat::Colour: return 24;
  }
  return 24;
}

uint32_t DocPage::PixelRgb(int x, int y) const {
  const uint8_t* row = Row(y);
  switch (format) {
    case PageFormat::Bilevel: return (row[x >> 3] >> (7 - (x & 7)) & 1) ? 0xFFFFFFu : 0u;
    case PageFormat::Grey: return row[x] * 0x010101u;
    case PageFormat::Colour: {
      const uint8_t* p = row + static_cast<size_t>(x) * 3;
      return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
  }
  return 0;
}

void ThrowPageTooLarge(uint64_t width, uint64_t height) {
  throw EPageTooLarge("ページが大きすぎて表示できません (" + std::to_string(width) + " × " +
                       std::to_string(height) + ")");
}

std::string PageErrorText(int pageNumber, const std::string& detail) {
  std::string text = std::to_string(pageNumber) + " ページ目を読み込めません。";
  if (!detail.empty()) text += "\n\r" + detail;
  return text;
}

DocPage MakePage(int width, int height, PageFormat format, DocPage* recycle) {
  if (width <= 0 || height <= 0) throw EDocumentError("ページの大きさが正しくありません");
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPagePixels)
    ThrowPageTooLarge(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
  DocPage page;
  page.width = width;
  page.height = height;
  page.format = format;
  page.stride = DocPage::StrideFor(width, format);
  const size_t bytes = page.stride * static_cast<size_t>(height);
  if (recycle && recycle->bits.capacity() >= bytes) {
    page.bits = std::move(recycle->bits);
    *recycle = {};
  }
  try {
    page.bits.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    ThrowPageTooLarge(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
  }
  return page;
}

}  // namespace mirabo
