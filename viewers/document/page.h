#pragma once
// A document page as the document control keeps it while it is shown:
// top-down rows padded to four bytes, in the smallest form that shows it.
// Black-and-white pages stay one bit a pixel (1 = white, the most
// significant bit leftmost), so a 600-dpi A4 page costs about 4 MB.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"

namespace mirabo {

// A document that cannot be read or shown; the text is the user's message.
class EDocumentError : public EMirabo {
 public:
  using EMirabo::EMirabo;
};

// A page larger than the viewer shows, or than the memory it can get.
class EPageTooLarge : public EDocumentError {
 public:
  using EDocumentError::EDocumentError;
};

enum class PageFormat { Bilevel, Grey, Colour };  // 1, 8 and 24 bits a pixel

// More pixels than this are refused before anything is allocated (the
// limit the JPEG path has too).
inline constexpr uint64_t kMaxPagePixels = 1ull << 28;

struct DocPage {
  int width = 0, height = 0;
  PageFormat format = PageFormat::Bilevel;
  double xdpi = 0, ydpi = 0;  // 0 when the file does not say
  size_t stride = 0;
  std::vector<uint8_t> bits;

  bool Empty() const { return width <= 0 || height <= 0; }
  int BitsPerPixel() const { return BitsPerPixelOf(format); }
  uint8_t* Row(int y) { return bits.data() + static_cast<size_t>(y) * stride; }
  const uint8_t* Row(int y) const { return bits.data() + static_cast<size_t>(y) * stride; }
  // A pixel's grey level or colour as 0xRRGGBB (for tests and checks).
  uint32_t PixelRgb(int x, int y) const;

  static int BitsPerPixelOf(PageFormat format);
  static size_t StrideFor(int width, PageFormat format) {
    return (static_cast<size_t>(width) * static_cast<size_t>(BitsPerPixelOf(format)) + 31) / 32 * 4;
  }
};

// A page of that size filled with zero bytes. Throws EDocumentError when it
// is empty, larger than kMaxPagePixels or more than the process can get.
// recycle: a page no longer needed whose memory is taken over when it is
// large enough (the pages of a fax file are all one size: stepping through
// them then asks the system for no new memory).
DocPage MakePage(int width, int height, PageFormat format, DocPage* recycle = nullptr);

// The refusal of a page too large to show, for the decoders' own checks.
[[noreturn]] void ThrowPageTooLarge(uint64_t width, uint64_t height);

// The message pattern of every unreadable page: its number, then what the
// decoder said.
std::string PageErrorText(int pageNumber, const std::string& detail);

}  // namespace mirabo
