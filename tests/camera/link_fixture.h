// A camera link on the simulated camera with scripted replies and place-dependent
// frames, its calls recorded, its command log read back.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/usb_camera.h"
#include "simulated_camera.h"

namespace camera_test {

using test_support::DriverCall;
using test_support::Oriented;
using test_support::SentFrame;
using test_support::SimulatedCamera;

// The camera these tests script: every reply and every frame is the test's.
inline test_support::SimulatedCameraOptions PatternCamera() {
  return {.replies = test_support::CommandReplies::Scripted, .frames = test_support::Frames::Pattern};
}

class RecordingLogSink final : public ICommandLogSink {
 public:
  void AppendHexLog(std::span<const std::uint8_t> bytes) override {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(bytes.begin(), bytes.end());
  }
  std::vector<std::vector<std::uint8_t>> Lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<std::vector<std::uint8_t>> m_lines;
};

// Polls until `done` holds or `limit` passes; for what other threads do later.
inline bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class LinkTest : public ::testing::Test {
 protected:
  // A fiftieth of the product's time-outs and pauses, in the same proportions.
  static constexpr double kFastTiming = 0.02;
  static std::chrono::milliseconds FastMs(std::uint32_t productMs) {
    return std::chrono::milliseconds(CameraTiming{kFastTiming}.Ms(productMs));
  }

  void SetUp() override { MakeLink(kFastTiming); }
  void MakeLink(double scale) {
    link.reset();
    link = std::make_unique<CUsbCamera>(camera, CameraTiming{scale});
    link->SetLogSink(&log);
  }
  // The handle the link's n-th successful Open call got.
  platform::DeviceHandle OpenedHandle(std::size_t n) const {
    std::size_t seen = 0;
    for (const DriverCall& c : camera.Calls()) {
      if (c.kind == DriverCall::Kind::Open && c.ok && seen++ == n) return c.handle;
    }
    return platform::DeviceHandle::Null;
  }

  SimulatedCamera camera{PatternCamera()};
  RecordingLogSink log;
  std::unique_ptr<CUsbCamera> link;
};

}  // namespace camera_test
