// The hand-over from the live-view worker to the push thread: at most two
// pictures wait; a third pushes out the oldest. The buffers are reused, so
// the steady state allocates nothing and the worker never waits for the push.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "liveview/frame_taps.h"

struct QueuedFrame {
  int width = 0;
  int height = 0;
  int rowBytes = 0;
  std::vector<std::uint8_t> pixels;  // top-down BGR rows, rowBytes apart
  std::chrono::steady_clock::time_point captured;
};

class CPushFrameQueue {
 public:
  static constexpr std::size_t kCapacity = 2;

  // Copies the picture in; drops the oldest waiting one when full.
  void Push(const ShownFrame& frame);
  // Moves the oldest waiting picture into `out` (whose buffer is taken back
  // for later pictures). False when nothing arrived before `deadline` or
  // the queue was closed.
  bool PopUntil(std::chrono::steady_clock::time_point deadline, QueuedFrame& out);
  // Wakes the reader for good; later pushes are ignored.
  void Close();
  std::uint64_t Dropped() const;

 private:
  mutable std::mutex m_lock;
  std::condition_variable m_ready;
  std::array<QueuedFrame, kCapacity> m_slots;
  std::size_t m_first = 0;
  std::size_t m_count = 0;
  std::uint64_t m_dropped = 0;
  bool m_closed = false;
};
