#pragma once
// How large a picture the viewer makes: sizes a file's header claims beyond
// these are refused or drawn smaller before anything is allocated (a 16-bit
// side limit alone would still allow 4 gigapixels).
#include <cstdint>

namespace mirabo {

inline constexpr uint64_t kMaxPicturePixels = 1ull << 28;
inline constexpr int kMaxPictureSide = 1 << 15;

}  // namespace mirabo
