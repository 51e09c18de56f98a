#pragma once
// JPEG decoding for viewing: straight into the caller's bitmap at the zoom
// level's reduced scale, with libjpeg-turbo's speed options.
#include <cstdint>
#include <span>
#include <string>

#include "base/errors.h"
#include "base/picture/dib.h"

namespace mirabo {

// The file could not be decoded; the text is libjpeg's own message, or ours
// for a picture too large to hold.
class EJpegError : public EMirabo {
 public:
  using EMirabo::EMirabo;
};

struct JpegDecodeOptions {
  int scaleDenominator = 1;  // 1, 2, 4 or 8
  bool fast = true;          // fast integer transform, ordered dithering
};

struct JpegDecodeResult {
  int sourceWidth = 0, sourceHeight = 0;  // the picture's own size
  int warnings = 0;                       // damage libjpeg worked around
};

std::string JpegTooLargeMessage(unsigned width, unsigned height);

// Colour pictures come out as 24 bits, grayscale as 8 bits with a grey
// palette; CMYK and YCCK (inverted, as Adobe writes them) are converted to
// RGB. A truncated or slightly corrupt file gives what could be decoded.
// Throws EJpegError.
JpegDecodeResult DecodeJpeg(std::span<const uint8_t> data, const JpegDecodeOptions& options,
                            const DibAllocator& allocate);

// Reads only the header: the picture's own width and height. Throws EJpegError.
JpegDecodeResult ReadJpegSize(std::span<const uint8_t> data);

}  // namespace mirabo
