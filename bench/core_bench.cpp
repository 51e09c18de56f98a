// The platform-free hot paths natively, each beside the machine's plain
// copy speed of the same bytes measured in the same run: ConvertToSjis on
// EUC-JP text, a quarter turn of a 24-megapixel picture, and the turn of a
// 24-megapixel JPEG beside libjpeg-turbo's own decode and encode of it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/picture/jpeg_rotate.h"
#include "base/picture/rotate.h"
#include "bench/jpeg_reference.h"
#include "text/line_index.h"
#include "text/sjisconv.h"

int main() {
  using Clock = std::chrono::steady_clock;
  const std::string line =
      "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8 sample text 0123456789 "
      "\xA4\xA2\xA4\xA4\xA4\xA6\xA4\xA8\xA4\xAA \x8E\xB1\x8E\xB2 abcdefghijklmnopqrstuvwxyz\r\n";
  std::string text;
  while (text.size() < (64u << 20)) text += line;
  const mirabo::LineIndex index(text);
  const mirabo::TAutoSjisConv conv;
  double best = 1e9, copyBest = 1e9;
  size_t bytes = 0;
  for (int run = 0; run < 5; ++run) {
    std::string out;
    out.reserve(text.size());
    auto start = Clock::now();
    for (size_t i = 0; i < index.Count(); ++i) {
      conv.AppendSjis(index.Line(text, i), out);
      out += "\r\n";
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    bytes = out.size();
    start = Clock::now();
    std::string copy = text;
    copyBest = std::min(copyBest, std::chrono::duration<double>(Clock::now() - start).count());
  }
  const double mb = static_cast<double>(text.size()) / (1 << 20);
  std::printf("ConvertToSjis natively on %.0f MB of EUC-JP text (best of 5): %.0f MB/s (target: at least 300 MB/s); "
              "plain copy %.0f MB/s (ratio %.3f); %zu bytes out\n",
              mb, mb / best, mb / copyBest, copyBest / best, bytes);

  // 6000 x 4000 at 24 bits.
  const int w = 6000, h = 4000;
  const size_t srcStride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4, dstStride = (static_cast<size_t>(h) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> src(srcStride * h), dst(dstStride * w), copy(src.size());
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7);
  double turn = 1e9, plain = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto start = Clock::now();
    mirabo::RotateQuarter({src.data(), w, h, srcStride, 3}, {dst.data(), h, w, dstStride, 3}, run % 2 == 0);
    turn = std::min(turn, std::chrono::duration<double>(Clock::now() - start).count());
    start = Clock::now();
    std::memcpy(copy.data(), src.data(), src.size());
    plain = std::min(plain, std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::printf("a quarter turn of 6000 x 4000 x 24 bits (best of 5): %.1f ms; a plain copy of the buffer: %.1f ms "
              "(ratio %.2f; target: at most 4)\n",
              turn * 1000, plain * 1000, turn / plain);

  mirabo::bench::CompareJpegTurn(mirabo::bench::MakePhotoJpeg(6000, 4000), 66, 5);
}
