// Receivers of every new picture the live view shows: the network viewers
// and the broadcast push read the picture here instead of polling the view.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

// One picture as the view shows it: top-down rows of 3-byte pixels (blue,
// green, red) with `rowBytes` bytes from one row to the next. The bytes
// belong to the live-view worker and are valid only during the call.
struct ShownFrame {
  int width = 0;
  int height = 0;
  int rowBytes = 0;
  std::span<const std::uint8_t> pixels;
  // Counts the pictures published since start, from 1.
  std::uint64_t number = 0;
  // When the camera delivered it.
  std::chrono::steady_clock::time_point captured;
};

class IFrameTap {
 public:
  virtual ~IFrameTap() = default;
  // Called on the live-view worker's thread for each new picture. Copy what
  // is needed and return at once: the camera waits while this runs.
  virtual void OnShownFrame(const ShownFrame& frame) = 0;
};

// The list of receivers. Adding and removing may happen on any thread; a
// receiver that Remove() has returned for is never called again.
class CFrameTaps {
 public:
  void Add(IFrameTap& tap);
  void Remove(IFrameTap& tap);
  // Stamps the frame with the next number and hands it to every receiver.
  void Publish(ShownFrame frame);
  bool Empty() const;

 private:
  mutable std::mutex m_lock;
  std::vector<IFrameTap*> m_taps;
  std::uint64_t m_published = 0;
};
