#include "base/picture/jpeg_rotate.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "base/picture/helper_thread.h"
#include "base/picture/jpeg_decode.h"
#include "base/picture/jpeg_metadata.h"
#include "base/picture/libjpeg_support.h"
#include "base/picture/limits.h"
#include "base/picture/orientation.h"
#include "base/picture/rotate.h"

namespace mirabo {
namespace {

// Source rows are decoded in bands this tall and turned into the
// destination while the next band is decoded: one full-size buffer instead
// of two, and the turn hides behind the decode on a second core.
constexpr int kBand = 64;

constexpr const char* kDamaged = "JPEG データが壊れているため、回転して保存できません";

struct SavedMarker {
  int code;
  std::vector<uint8_t> payload;
};

}  // namespace

std::vector<uint8_t> RotateJpegData(std::span<const uint8_t> data, bool left, int quality,
                                    const TurnProgress& progress) {
  return OrientJpegData(data, left ? kTurnLeft : kTurnRight, quality, progress);
}

std::vector<uint8_t> OrientJpegData(std::span<const uint8_t> data, int orientation, int quality,
                                    const TurnProgress& progress) {
  // Everything with a destructor lives outside the jump points below.
  jpeg::Decompressor d;
  jpeg::Compressor e;
  std::unique_ptr<uint8_t[]> turned, bands[2];
  std::vector<JSAMPROW> rows;
  std::vector<SavedMarker> markers;
  std::vector<uint8_t> out;
  Helper helper;  // after the buffers, so it is done with them before they go
  if (setjmp(d.err.jump)) throw EJpegError(d.err.message);
  if (setjmp(e.err.jump)) throw EJpegError(e.err.message);

  jpeg_decompress_struct& c = d.cinfo;
  jpeg_create_decompress(&c);
  if (data.size() > std::numeric_limits<unsigned long>::max()) throw EJpegError(JpegTooLargeMessage(0, 0));
  jpeg_mem_src(&c, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_save_markers(&c, JPEG_COM, 0xFFFF);
  // APP0 (JFIF, its thumbnails) and APP14 (Adobe) describe the encoding
  // itself; the encoder writes its own.
  for (int n = 1; n <= 15; ++n)
    if (n != 14) jpeg_save_markers(&c, JPEG_APP0 + n, 0xFFFF);
  jpeg_read_header(&c, TRUE);
  if (static_cast<uint64_t>(c.image_width) * c.image_height > kMaxPicturePixels)
    throw EJpegError(JpegTooLargeMessage(c.image_width, c.image_height));

  const bool gray = c.jpeg_color_space == JCS_GRAYSCALE;
  const bool ink = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
  c.out_color_space = gray ? JCS_GRAYSCALE : ink ? JCS_CMYK : JCS_RGB;
  c.dct_method = JDCT_IFAST;  // speed over quality, as the viewer decodes
  jpeg_start_decompress(&c);

  const int w = static_cast<int>(c.output_width), h = static_cast<int>(c.output_height);
  const bool swapped = Transposes(orientation);
  const int shownWidth = swapped ? h : w, shownHeight = swapped ? w : h;
  const int bpp = c.output_components;
  const size_t srcStride = static_cast<size_t>(w) * static_cast<size_t>(bpp);
  const size_t dstStride = static_cast<size_t>(shownWidth) * static_cast<size_t>(bpp);
  // Not value-initialised: every byte is written by the placing.
  turned.reset(new uint8_t[dstStride * static_cast<size_t>(shownHeight)]);
  const PixelBuffer shown{turned.get(), shownWidth, shownHeight, dstStride, bpp};
  for (auto& band : bands) band.reset(new uint8_t[srcStride * kBand]);
  rows.resize(kBand);

  for (int y0 = 0, which = 0; y0 < h; y0 += kBand, which ^= 1) {
    const int n = std::min(kBand, h - y0);
    uint8_t* const band = bands[which].get();
    for (int i = 0; i < n; ++i) rows[static_cast<size_t>(i)] = band + srcStride * static_cast<size_t>(i);
    for (int done = 0; done < n;) {
      const auto got = jpeg_read_scanlines(&c, rows.data() + done, static_cast<JDIMENSION>(n - done));
      if (got == 0) throw EJpegError(kDamaged);
      done += static_cast<int>(got);
    }
    const PixelBuffer from{band, w, n, srcStride, bpp};
    // Start waits for the band before, so its rows count as turned now.
    helper.Start([from, y0, h, shown, orientation] { PlaceBand(from, y0, h, shown, orientation); });
    if (progress && y0 > 0)
      for (int y = (y0 - kBand + 9) / 10 * 10; y < y0; y += 10) progress(y, h);
  }
  helper.Wait();
  FinishOrientation(shown, orientation);
  if (progress)
    for (int y = (std::max(0, (h - 1) / kBand * kBand) + 9) / 10 * 10; y < h; y += 10) progress(y, h);

  // What libjpeg filled in for lost data would be written into the file
  // for good, over the part a repair tool might still recover.
  if (d.err.damaged) throw EJpegError(kDamaged);

  for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
    SavedMarker saved{m->marker, std::vector<uint8_t>(m->data, m->data + m->data_length)};
    if (saved.code == JPEG_APP0 + 1 && !ResetExifAfterTurn(saved.payload, swapped)) ResetXmpOrientation(saved.payload);
    markers.push_back(std::move(saved));
  }

  jpeg_compress_struct& o = e.cinfo;
  jpeg_create_compress(&o);
  jpeg_mem_dest(&o, &e.buffer, &e.size);
  o.image_width = static_cast<JDIMENSION>(shownWidth);
  o.image_height = static_cast<JDIMENSION>(shownHeight);
  o.input_components = bpp;
  o.in_color_space = c.out_color_space;
  jpeg_set_defaults(&o);
  if (ink) {
    jpeg_set_colorspace(&o, c.jpeg_color_space);
    // Inverted ink (Adobe's convention) is marked as the source was.
    o.write_Adobe_marker = c.saw_Adobe_marker;
  } else {
    o.write_JFIF_header = c.saw_JFIF_marker;
    if (c.saw_JFIF_marker) {
      o.density_unit = c.density_unit;
      o.X_density = swapped ? c.Y_density : c.X_density;
      o.Y_density = swapped ? c.X_density : c.Y_density;
    }
  }
  if (o.num_components == c.num_components)
    for (int i = 0; i < o.num_components; ++i) {
      o.comp_info[i].h_samp_factor = swapped ? c.comp_info[i].v_samp_factor : c.comp_info[i].h_samp_factor;
      o.comp_info[i].v_samp_factor = swapped ? c.comp_info[i].h_samp_factor : c.comp_info[i].v_samp_factor;
    }
  jpeg_set_quality(&o, quality, TRUE);
  jpeg_start_compress(&o, TRUE);
  for (const SavedMarker& m : markers)
    jpeg_write_marker(&o, m.code, m.payload.data(), static_cast<unsigned>(m.payload.size()));
  rows.resize(16);
  while (o.next_scanline < o.image_height) {
    const unsigned n = std::min(16u, o.image_height - o.next_scanline);
    for (unsigned i = 0; i < n; ++i) rows[i] = turned.get() + dstStride * (o.next_scanline + i);
    jpeg_write_scanlines(&o, rows.data(), n);
  }
  jpeg_finish_compress(&o);
  out.assign(e.buffer, e.buffer + e.size);
  return out;
}

}  // namespace mirabo
