// A counter that waiting threads sleep on until it moves: one wake-up per
// waiter and no lock to fight over afterwards, so that a hundred stream
// viewers woken for each new fragment cost a hundred wake-ups, not a
// hundred turns at one mutex.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

class CChangeSignal {
 public:
  // The value to hand to WaitChange: read it before looking at the state.
  std::uint32_t Seen() const { return m_count.load(std::memory_order_acquire); }
  // Moves the counter and wakes every waiter.
  void Notify();
  // Returns once the counter is no longer `seen`, or after about `timeout`.
  void WaitChange(std::uint32_t seen, std::chrono::nanoseconds timeout) const;

 private:
  mutable std::atomic<std::uint32_t> m_count{0};
};
