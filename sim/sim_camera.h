// One simulated camera: its vendor requests, its four bulk pipes, its command
// replies and the faults tests inject. Every call from the driver runs under
// the camera's lock; bulk reads wait on a condition, never holding it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "sim/camera_model.h"
#include "sim/frame_layout.h"
#include "sim/picture_renderer.h"
#include "sim/sim_driver.h"
#include "sim/traffic_log.h"

namespace sim {

class SimCameraImpl;

// An open device file on a camera, shared by the driver's handle table and
// the calls in progress on it, so that closing never frees it under a call.
struct HandleState {
  HandleState(std::shared_ptr<SimCameraImpl> cam, std::uint64_t gen) : camera(std::move(cam)), generation(gen) {}
  const std::shared_ptr<SimCameraImpl> camera;
  const std::uint64_t generation;  // the camera's plug-in count at open
  std::atomic<bool> closed{false};
  std::atomic<std::uint64_t> cancelEpoch{0};
};

class SimCameraImpl final : public SimCamera {
 public:
  SimCameraImpl(const SimOptions& options, std::shared_ptr<TrafficLog> log);

  // For the driver. Open answers the plug-in count, or nothing while unplugged.
  std::optional<std::uint64_t> Open();
  bool Control(const HandleState& handle, std::uint32_t code, std::span<const std::uint8_t> input,
               std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned);
  // Wakes calls waiting inside the camera so they look at their handle again.
  void WakeWaiters();

  // SimCamera
  void Unplug() override;
  void Plug() override;
  bool IsPlugged() const override;
  void StallPipe(int pipe, std::chrono::milliseconds duration) override;
  void StallPipeUntilRecovery(int pipe) override;
  void StallPipeForever(int pipe) override;
  void FailBulkReads(int pipe, int count) override;
  void FailVendorRequests(std::uint8_t requestCode, int count) override;
  void InjectReplyFault(ReplyFault fault, int count) override;
  void SetReplyPieceSize(std::size_t bytes) override;
  void ClearFaults() override;
  CameraSettings Settings() const override;
  Picture LastFramePicture() const override;
  std::vector<std::vector<std::uint8_t>> ReceivedCommands() const override;
  std::uint64_t VendorRequestCount(std::uint8_t requestCode) const override;
  std::vector<std::uint32_t> BulkReadLengths(int pipe) const override;
  void ClearRecords() override;

 private:
  enum class Stall { None, Until, UntilRecovery, Forever };
  struct Pipe {
    std::vector<std::uint8_t> data;  // sized once for the largest share
    std::size_t size = 0;            // bytes of the frame queued, 0 when none
    std::size_t readPos = 0;
    Clock::time_point queuedAt{};
    Stall stall = Stall::None;
    Clock::time_point stallUntil{};
    int failReads = 0;
    std::vector<std::uint32_t> readLengths;
  };

  bool Alive(const HandleState& handle, std::uint64_t cancelEpoch) const;
  bool VendorRequest(const HandleState& handle, std::uint64_t cancelEpoch, std::span<const std::uint8_t> input,
                     std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned);
  bool BulkRead(std::unique_lock<std::mutex>& lock, const HandleState& handle, std::uint64_t cancelEpoch,
                std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned);
  void QueueFrame(Clock::time_point now);
  void ReceiveCommand(std::span<const std::uint8_t> bytes);
  std::size_t ReleasedBytes(const Pipe& pipe, Clock::time_point now) const;
  Clock::time_point ReleaseTime(const Pipe& pipe, std::size_t bytes) const;
  void FlushPipes();
  void ClearStallsLocked(bool includingForever);

  const SimOptions m_options;
  const std::shared_ptr<TrafficLog> m_log;
  const double m_bytesPerMsPerPipe;  // pacing
  const std::chrono::milliseconds m_readTimeout;

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_plugged = true;
  std::uint64_t m_generation = 1;
  std::uint64_t m_abortEpoch = 0;
  CameraModel m_model;
  mutable PictureRenderer m_renderer;
  std::optional<FrameSpec> m_lastFrame;
  // The mode the host last read with 0xB0 and has not fetched a frame in yet:
  // the next frame is sent at that size, so a Monitor Out change that falls
  // between the host's mode query and its frame request cannot leave the
  // readers asking for a share the camera never sends.
  std::optional<int> m_reportedMode;
  std::array<Pipe, kPipeCount> m_pipes;
  int m_failAnyBulkRead = 0;
  std::map<std::uint8_t, int> m_failVendor;
  std::deque<ReplyFault> m_replyFaults;
  std::size_t m_replyPieceSize = 0;
  std::vector<std::uint8_t> m_reply;
  std::size_t m_replyPos = 0;
  std::vector<std::vector<std::uint8_t>> m_commands;
  std::map<std::uint8_t, std::uint64_t> m_vendorCounts;
};

}  // namespace sim
