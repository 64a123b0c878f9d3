// The millisecond clock that places movie frames, and the position of a
// frame from it. Tests replace the clock to place frames at will.
#pragma once

#include <cstdint>

using MovieClock = std::uint32_t (*)();

// Milliseconds of the system's wrapping millisecond timer (or the test's).
std::uint32_t MovieClockNow();

// Installs `clock` (null: the system's) and answers the one it replaces.
MovieClock SetMovieClock(MovieClock clock);

// One position per 66 ms since the first frame. The difference is taken in
// unsigned 32 bits, so it stays right when the timer wraps.
inline int MoviePositionAt(std::uint32_t nowMs, std::uint32_t startMs) {
  const std::uint32_t elapsed = nowMs - startMs;
  return static_cast<int>(elapsed * (1.0 / 66));
}
