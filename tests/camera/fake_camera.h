// A scripted camera behind the driver interface: attached device numbers,
// vendor request answers, queued command replies and frames dealt over four
// bulk pipes, with stalls, delays, failures and unplugging on request.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "frame_pattern.h"
#include "platform/driver.h"

namespace camera_test {

class FakeCamera final : public platform::IDriver {
 public:
  struct ReplyStep {
    std::vector<std::uint8_t> bytes;  // handed out over as many reads as the asked lengths need
    bool fail = false;                // the read fails at the driver
  };

  FakeCamera();

  // --- devices
  void Attach(int number);
  void Unplug();  // opens fail; calls on old handles fail, pending reads at once
  int OpenHandleCount() const;

  // --- vendor requests
  void SetModeReply(std::vector<std::uint8_t> reply);  // answer to 0xB0
  void SetSpeedReply(std::vector<std::uint8_t> reply);  // answer to 0xB3
  void FailRequests(std::uint8_t code, int count);
  // Request 0xB0 waits until ReleaseRequests while held.
  void HoldRequests(std::uint8_t code, bool hold);

  // --- command replies (request 0xBD): steps in order, then empty reads
  void QueueReplies(std::vector<ReplyStep> steps);
  // Every command frame gets `reply` back, handed out in pieces of `piece` bytes (0: whole).
  void AnswerEveryCommand(std::vector<std::uint8_t> reply, std::size_t piece = 0);
  std::vector<std::vector<std::uint8_t>> Commands() const;

  // --- frames: each request 0xB4 queues a new frame of this size on the pipes
  void SetFrameSize(int width, int height);
  SentFrame LastSentFrame() const;
  void StallPipe(int pipe, bool stalled);            // sends nothing while stalled
  void DelayPipe(int pipe, std::chrono::milliseconds delay);  // after each 0xB4
  void FailBulkReads(int pipe, int count);
  void SetReadTimeout(std::chrono::milliseconds timeout);
  int PendingBulkReads() const;

  platform::DeviceHandle Open(std::string_view devicePath) override;
  bool DeviceIoControl(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override;
  void CancelIo(platform::DeviceHandle handle) override;
  void Close(platform::DeviceHandle handle) override;

 private:
  struct HandleState {
    int device = 0;
    std::uint64_t cancelEpoch = 0;
  };
  struct PipeState {
    std::vector<std::uint8_t> stream;
    std::size_t cursor = 0;
    bool stalled = false;
    std::chrono::milliseconds delay{0};
    std::chrono::steady_clock::time_point readyAt{};
    int failReads = 0;
  };

  bool Usable(platform::DeviceHandle handle) const;  // lock held
  bool Vendor(std::uint8_t request, bool in, std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned,
              std::unique_lock<std::mutex>& lock, platform::DeviceHandle handle);
  bool Bulk(platform::DeviceHandle handle, std::uint32_t pipe, std::span<std::uint8_t> buffer,
            std::uint32_t& bytesReturned, std::unique_lock<std::mutex>& lock);

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::set<int> m_attached;
  bool m_plugged = true;
  std::uint64_t m_plugEpoch = 0;
  std::map<std::uintptr_t, HandleState> m_handles;
  std::uintptr_t m_nextHandle = 100;
  std::vector<std::uint8_t> m_modeReply{2};
  std::vector<std::uint8_t> m_speedReply{1};
  std::map<std::uint8_t, int> m_failRequests;
  std::set<std::uint8_t> m_heldRequests;
  std::deque<ReplyStep> m_replies;
  std::vector<std::uint8_t> m_autoReply;
  std::size_t m_autoPiece = 0;
  std::vector<std::vector<std::uint8_t>> m_commands;
  int m_width = 1024;
  int m_height = 768;
  std::uint32_t m_frameCount = 0;
  SentFrame m_lastFrame;
  std::array<PipeState, 4> m_pipes;
  std::chrono::milliseconds m_readTimeout{5000};
  int m_pendingReads = 0;
};

}  // namespace camera_test
