#pragma once

#include <chrono>

namespace platform {

// A clock that never jumps, for waits and update rates: the C++ runtime of
// the Windows build reads the system time for std::chrono::steady_clock.
struct MonotonicClock {
  using duration = std::chrono::milliseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<MonotonicClock>;
  static constexpr bool is_steady = true;

  static time_point now();
};

}  // namespace platform
