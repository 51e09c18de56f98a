#pragma once
// The reference for turning a JPEG file: libjpeg-turbo's own full decode of
// the same file (with the same speed options the program uses) followed by
// its own encode of the same pixels at the same quality, measured in the
// same run as the program's turn.
#include <cstdint>
#include <functional>
#include <vector>

namespace mirabo::bench {

// A photograph-like picture (smooth shading with fine grain) as a JPEG of
// quality 92, so the entropy coder does realistic work.
std::vector<uint8_t> MakePhotoJpeg(int width, int height);

// Seconds for the reference on jpeg at quality, best of runs.
double ReferenceDecodeEncode(const std::vector<uint8_t>& jpeg, int quality, int runs);

// Runs turn (best of runs) beside the reference, prints both and the ratio.
// turn defaults to the in-memory turn.
void CompareJpegTurn(const std::vector<uint8_t>& jpeg, int quality, int runs,
                     const std::function<void(const std::vector<uint8_t>&, bool left)>& turn = {},
                     const char* what = "turning it in memory");

}  // namespace mirabo::bench
