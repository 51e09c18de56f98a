#pragma once
// What the picture checks read a file with: little-endian fields where a
// read past the end gives 0 (the checks compare sizes before they read, so a
// slip can never reach outside the data), and the one way a check fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace mirabo::checks {

class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> data) : data_(data) {}
  size_t size() const { return data_.size(); }
  uint32_t U8(uint64_t at) const { return at < data_.size() ? data_[at] : 0; }
  uint32_t U16(uint64_t at) const { return U8(at) | (U8(at + 1) << 8); }
  uint32_t U32(uint64_t at) const { return U16(at) | (U16(at + 2) << 16); }
  int32_t I16(uint64_t at) const { return static_cast<int16_t>(U16(at)); }
  int32_t I32(uint64_t at) const { return static_cast<int32_t>(U32(at)); }
  // At most size bytes from at; empty when at lies beyond the end.
  Bytes Sub(uint64_t at, uint64_t size) const {
    if (at > data_.size()) return Bytes({});
    return Bytes(data_.subspan(at, std::min<uint64_t>(size, data_.size() - at)));
  }
  const uint8_t* Data() const { return data_.data(); }

 private:
  std::span<const uint8_t> data_;
};

// What was wrong with a file; the checks' entry points catch it and report
// its text.
struct Problem {
  std::string text;
};

[[noreturn]] inline void Fail(std::string text) { throw Problem{std::move(text)}; }

inline void Need(bool ok, const char* what) {
  if (!ok) Fail(what);
}

}  // namespace mirabo::checks
