#pragma once
// Colour profiles the tests make with Little CMS itself: Display P3 (the
// profile phones embed) and sRGB, as ICC file bytes.
#include <cstdint>
#include <vector>

namespace mirabo::testing {

std::vector<uint8_t> DisplayP3Profile();
std::vector<uint8_t> SrgbProfile();

}  // namespace mirabo::testing
