#pragma once
// Sound and video files the tests write themselves: a 16-bit mono PCM
// wave of a given length and an uncompressed 24-bit AVI.
#include <string>

namespace mirabo::testing {

std::string MakeWav(int milliseconds);
std::string MakeAvi(int width, int height, int frames, int framesPerSecond);

}  // namespace mirabo::testing
