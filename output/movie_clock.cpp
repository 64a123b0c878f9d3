#include "output/movie_clock.h"

#include <atomic>

#include "platform/sleep.h"

namespace {

std::atomic<MovieClock> g_clock{nullptr};

}  // namespace

std::uint32_t MovieClockNow() {
  const MovieClock clock = g_clock.load();
  return clock != nullptr ? clock() : platform::TickCountMs();
}

MovieClock SetMovieClock(MovieClock clock) { return g_clock.exchange(clock); }
