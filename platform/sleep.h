#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace platform {

inline void SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Milliseconds of a monotonic clock, wrapping like the system's millisecond timer.
inline std::uint32_t TickCountMs() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace platform
