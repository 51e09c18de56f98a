#pragma once
// Colour profiles the tests make with Little CMS itself: Display P3 (the
// profile phones embed), sRGB and Adobe RGB (a pure 2.2 curve, as some
// wide-gamut displays have), as ICC file bytes.
#include <cstdint>
#include <vector>

namespace mirabo::testing {

std::vector<uint8_t> DisplayP3Profile();
std::vector<uint8_t> SrgbProfile();
std::vector<uint8_t> AdobeRgbProfile();

}  // namespace mirabo::testing
