#pragma once
// What every benchmark measures with: wall time on the steady clock.
#include <chrono>
#include <functional>

namespace mirabo::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

inline double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Milliseconds the work took.
inline double Time(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return Milliseconds(start);
}

}  // namespace mirabo::bench
