#include "broadcast/frame_queue.h"

#include <algorithm>
#include <cstring>
#include <utility>

void CPushFrameQueue::Push(const ShownFrame& frame) {
  const std::size_t bytes = static_cast<std::size_t>(frame.rowBytes) * static_cast<std::size_t>(frame.height);
  if (frame.width <= 0 || frame.height <= 0 || frame.rowBytes < frame.width * 3 || frame.pixels.size() < bytes) return;
  {
    const std::lock_guard lock(m_lock);
    if (m_closed) return;
    if (m_count == kCapacity) {
      m_first = (m_first + 1) % kCapacity;
      --m_count;
      ++m_dropped;
    }
    QueuedFrame& slot = m_slots[(m_first + m_count) % kCapacity];
    // Copying under the lock keeps the slot away from a reader swapping it;
    // a 1024x768 copy is far shorter than a camera frame.
    slot.width = frame.width;
    slot.height = frame.height;
    slot.rowBytes = frame.rowBytes;
    slot.captured = frame.captured;
    slot.pixels.resize(bytes);
    std::memcpy(slot.pixels.data(), frame.pixels.data(), bytes);
    ++m_count;
  }
  m_ready.notify_one();
}

bool CPushFrameQueue::PopUntil(std::chrono::steady_clock::time_point deadline, QueuedFrame& out) {
  std::unique_lock lock(m_lock);
  if (!m_ready.wait_until(lock, deadline, [this] { return m_closed || m_count > 0; })) return false;
  if (m_count == 0) return false;
  QueuedFrame& slot = m_slots[m_first];
  out.width = slot.width;
  out.height = slot.height;
  out.rowBytes = slot.rowBytes;
  out.captured = slot.captured;
  // The reader's old buffer goes back into the slot for the next picture.
  std::swap(out.pixels, slot.pixels);
  m_first = (m_first + 1) % kCapacity;
  --m_count;
  return true;
}

void CPushFrameQueue::Close() {
  {
    const std::lock_guard lock(m_lock);
    m_closed = true;
  }
  m_ready.notify_all();
}

std::uint64_t CPushFrameQueue::Dropped() const {
  const std::lock_guard lock(m_lock);
  return m_dropped;
}
