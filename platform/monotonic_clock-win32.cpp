#include <windows.h>

#include "platform/monotonic_clock.h"

namespace platform {

// The performance counter is there from Windows XP on and never fails there.
MonotonicClock::time_point MonotonicClock::now() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER count{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  const long long whole = count.QuadPart / frequency.QuadPart;
  const long long part = count.QuadPart % frequency.QuadPart;
  return time_point(duration(whole * 1000 + part * 1000 / frequency.QuadPart));
}

}  // namespace platform
