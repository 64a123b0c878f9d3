// The steady beat of a capture series: capture k (from 0, the one taken at
// the start) is due at start + k x period on the monotonic clock, whatever
// the captures themselves took, so an hour-long series does not drift.
#pragma once

#include <chrono>
#include <cstdint>

class CIntervalClock {
 public:
  using Clock = std::chrono::steady_clock;

  CIntervalClock() = default;
  CIntervalClock(Clock::time_point start, std::chrono::nanoseconds period) : m_start(start), m_period(period) {}

  Clock::time_point Due(std::int64_t slot) const { return m_start + slot * m_period; }

  // The slot to wait for once `served` has been served at `now`: the next
  // one, or, when the machine was so busy that later slots have passed
  // too, the first still ahead (missed slots are skipped, never bunched).
  std::int64_t NextSlot(std::int64_t served, Clock::time_point now) const {
    std::int64_t next = served + 1;
    if (m_period.count() > 0 && now >= Due(next)) next = (now - m_start) / m_period + 1;
    return next;
  }

  // Whole milliseconds from `now` until the slot is due, rounded up so that
  // a timer never fires before its slot.
  std::chrono::milliseconds DelayUntil(std::int64_t slot, Clock::time_point now) const {
    const auto left = Due(slot) - now;
    if (left <= Clock::duration::zero()) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
  }

 private:
  Clock::time_point m_start{};
  std::chrono::nanoseconds m_period{0};
};
