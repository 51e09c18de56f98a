#pragma once
// The reference for turning a JPEG file: libjpeg-turbo's own full decode of
// the same file (with the same speed options the program uses) followed by
// its own encode of the same pixels at the same quality, measured in the
// same run as the program's turn.
#include <cstdint>
#include <vector>

namespace mirabo::bench {

// Gradients, waves and grain as a JPEG of quality 90, so the coefficients
// look like a photograph's rather than flat colour that codes unrealistically
// fast.
std::vector<uint8_t> MakePhotoJpeg(int width, int height);

// The reference's work once: the decoded picture encoded again at quality.
std::vector<uint8_t> DecodeEncode(const std::vector<uint8_t>& jpeg, int quality);

// Seconds for the reference on jpeg at quality, best of runs.
double ReferenceDecodeEncode(const std::vector<uint8_t>& jpeg, int quality, int runs);

// The program's in-memory turn (best of runs) beside the reference,
// printed with the ratio.
void CompareJpegTurn(const std::vector<uint8_t>& jpeg, int quality, int runs);

}  // namespace mirabo::bench
