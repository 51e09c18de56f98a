#pragma once
// What every benchmark measures with: wall time of a piece of work.
#include <chrono>
#include <functional>

namespace bench {

using Clock = std::chrono::steady_clock;

// Milliseconds the work took.
inline double Time(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace bench
