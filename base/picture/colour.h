#pragma once
// Colour management of photos through Little CMS: the colours a picture's
// embedded profile (or sRGB, when it has none) describes, converted to the
// display's with perceptual intent. Transforms are made once per pair of
// profiles and kept; a picture already in the display's colours gets none.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace mirabo {

// The decoded pixels a transform takes: blue-green-red, or four ink bytes
// (Adobe's inverted form where 0 is full ink).
enum class PixelLayout { Bgr, Cmyk, CmykInverted };

// Between two matrix-and-curves RGB profiles (nearly every photo's and
// display's) the conversion is curves, a matrix and inverse curves; done
// with tables it runs several times faster than the general engine.
struct MatrixShaper {
  // Each input level's linear light times the matrix column it feeds:
  // [b, g, r][level][r, g, b, unused].
  alignas(16) float columns[3][256][4];
  // Output levels indexed by the square root of linear light, which
  // spends the index where the eye sees steps: in the darks.
  static constexpr int kSteps = 1 << 16;
  std::vector<uint8_t> out[3];  // r, g, b
};

class ColourTransform {
 public:
  ColourTransform(void* transform, PixelLayout input, std::unique_ptr<const MatrixShaper> fast = nullptr);
  ~ColourTransform();
  ColourTransform(const ColourTransform&) = delete;
  ColourTransform& operator=(const ColourTransform&) = delete;
  PixelLayout Input() const { return input_; }
  // Whether the tables do the work rather than Little CMS.
  bool Fast() const { return fast_ != nullptr; }
  // in: pixels in the input layout; out: blue-green-red (may be in itself
  // for Bgr). Safe to call from several threads at once.
  void Apply(const uint8_t* in, uint8_t* out, size_t pixels) const;

 private:
  void* transform_;  // a cmsHTRANSFORM
  PixelLayout input_;
  std::unique_ptr<const MatrixShaper> fast_;
};

class ColourManager {
 public:
  ColourManager();
  ~ColourManager();
  ColourManager(const ColourManager&) = delete;
  ColourManager& operator=(const ColourManager&) = delete;

  // The display's profile; empty, unreadable or not RGB: sRGB.
  void SetDisplayProfile(std::span<const uint8_t> icc);
  bool DisplayIsSrgb() const {
    const std::lock_guard lock(mutex_);
    return displayIsSrgb_;
  }
  // The transform for a picture with this embedded profile (empty: none,
  // read as sRGB) whose pixels come in layout; nullptr when the picture's
  // colours are the display's already, or its profile cannot be used (the
  // picture then shows unconverted).
  std::shared_ptr<const ColourTransform> For(std::span<const uint8_t> icc, PixelLayout layout);

  // The profile's own description ("Display P3"); "" when it has none or
  // cannot be read.
  static std::string Description(std::span<const uint8_t> icc);

 private:
  struct Kept {
    std::string key;
    std::shared_ptr<const ColourTransform> transform;
  };
  void* display_ = nullptr;  // a cmsHPROFILE
  std::string displayKey_;
  bool displayIsSrgb_ = true;
  std::list<Kept> kept_;  // most recent first, a few
  // A picture read ahead asks for its transform on its own thread.
  mutable std::mutex mutex_;
};

}  // namespace mirabo
