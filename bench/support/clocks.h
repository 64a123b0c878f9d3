// Processor and wall clocks in milliseconds, for benchmarks that set a cost
// beside its anchor.
#pragma once

#include <ctime>

namespace bench {

inline double ClockMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace bench
