#pragma once
// JPEG decoding for viewing: straight into the caller's bitmap at the zoom
// level's reduced scale, with libjpeg-turbo's speed options.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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

class ColourTransform;
enum class PixelLayout;

struct JpegDecodeOptions {
  int scaleDenominator = 1;  // 1, 2, 4 or 8
  bool fast = true;          // fast integer transform, ordered dithering
  // How the stored pixels stand (an EXIF orientation): the bitmap is the
  // picture upright, its sides exchanged for 5 to 8.
  int orientation = 1;
  // To the display's colours: asked, once the decoder knows the picture's
  // pixels (blue-green-red, or ink for CMYK and YCCK), for the transform of
  // that layout; none leaves the colours as they are stored.
  std::function<std::shared_ptr<const ColourTransform>(PixelLayout)> colourFor;
  // Set from another thread to give up (a read-ahead no longer wanted): the
  // decode then ends with EJpegError between bands.
  const std::atomic<bool>* stop = nullptr;
};

struct JpegDecodeResult {
  int sourceWidth = 0, sourceHeight = 0;  // the picture's own size
  int warnings = 0;                       // damage libjpeg worked around
};

std::string JpegTooLargeMessage(unsigned width, unsigned height);

// Colour pictures come out as 24 bits, grayscale as 8 bits with a grey
// palette; CMYK and YCCK (inverted, as Adobe writes them) are converted to
// RGB. A truncated or slightly corrupt file gives what could be decoded.
// Turning and colour conversion run on a second core, band by band, while
// the next band is decoded. Throws EJpegError.
JpegDecodeResult DecodeJpeg(std::span<const uint8_t> data, const JpegDecodeOptions& options,
                            const DibAllocator& allocate);

// Reads only the header: the picture's own width and height. Throws EJpegError.
JpegDecodeResult ReadJpegSize(std::span<const uint8_t> data);

}  // namespace mirabo
