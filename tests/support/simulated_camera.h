// The camera every suite tests against: the simulated TQ400 the program runs
// its demo on, behind the driver interface, with the hooks tests need on top.
// By default each call goes to the simulated camera unchanged. Tests can
// instead attach other device numbers or none, fail requests, hold a
// request, script the vendor answers and the command replies (wrong, short,
// overlong, silent, or a read-back table), and serve place-dependent frames
// whose pipes stall, lag or fail. Every call is recorded, decoded from its
// request record, so a test can check the exact traffic the link made.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "call_record.h"
#include "frame_pattern.h"
#include "platform/driver.h"
#include "sim/sim_driver.h"

namespace test_support {

// Who answers the command frames (requests 0xBC and 0xBD).
enum class CommandReplies {
  Camera,    // the simulated camera, as in the demo run
  Scripted,  // QueueReplies and AnswerEveryCommand, nothing else
  ReadBack,  // a good reply to each; a 6-byte query answers SetReadBack's value
};

// Where the pictures come from (request 0xB4 and the bulk pipes).
enum class Frames {
  Camera,   // the simulated camera's test page
  Pattern,  // MakeSentFrame pictures of SetFrameSize's size, one per 0xB4
};

struct SimulatedCameraOptions {
  CommandReplies replies = CommandReplies::Camera;
  Frames frames = Frames::Camera;
  std::set<int> attached{0};  // device numbers that open; empty: no camera at all
  sim::SimOptions sim;
};

class SimulatedCamera final : public platform::IDriver, public CallRecord {
 public:
  struct ReplyStep {
    Bytes bytes;        // handed out over as many reads as the asked lengths need
    bool fail = false;  // the read fails at the driver
  };

  explicit SimulatedCamera(SimulatedCameraOptions options = {});
  ~SimulatedCamera() override;

  // The simulated camera underneath, for its own faults (its stalled,
  // failing or vanishing pipes with Frames::Camera) and its state.
  sim::SimCamera& Sim();

  // --- devices
  void Attach(int number);
  void Unplug();  // opens fail; calls on old handles fail, pending ones at once
  int OpenHandleCount() const;

  // --- vendor requests
  // The data stage answered to device-to-host request `code` from now on
  // (0xB0 the mode, 0xB3 the speed), whatever the camera would say.
  void SetVendorReply(std::uint8_t code, Bytes reply);
  void FailRequests(std::uint8_t code, int count);
  void HoldRequests(std::uint8_t code, bool hold);  // the request waits while held

  // --- command replies (CommandReplies::Scripted): steps in order, then empty reads
  void QueueReplies(std::vector<ReplyStep> steps);
  // Every command frame gets `reply` back, in pieces of `piece` bytes (0: whole).
  void AnswerEveryCommand(Bytes reply, std::size_t piece = 0);
  // --- command replies (CommandReplies::ReadBack)
  void SetReadBack(std::uint8_t code, std::uint8_t value);
  void SetSilent(bool silent);  // no reply is written at all

  // --- frames (Frames::Pattern)
  void SetFrameSize(int width, int height);
  SentFrame LastSentFrame() const;
  void StallPipe(int pipe, bool stalled);                     // sends nothing while stalled
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
    platform::DeviceHandle simHandle = platform::DeviceHandle::Null;
    std::uint64_t cancelEpoch = 0;
  };
  struct PipeState {
    Bytes stream;
    std::size_t cursor = 0;
    bool stalled = false;
    std::chrono::milliseconds delay{0};
    std::chrono::steady_clock::time_point readyAt{};
    int failReads = 0;
  };

  bool Control(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
               std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned);
  bool Usable(platform::DeviceHandle handle) const;  // lock held
  bool Vendor(platform::DeviceHandle handle, const platform::VendorRequestBlock& block,
              std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned,
              std::unique_lock<std::mutex>& lock);
  // Cancels (or, closing, forgets) our handle, tells the simulated camera and
  // records the call.
  void EndHandleUse(platform::DeviceHandle handle, bool closing);
  bool PatternVendor(std::uint8_t request, bool in);                             // lock held
  void AnswerCommand(const Bytes& frame);                                        // lock held
  bool ReadReply(std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned);  // lock held
  bool Bulk(platform::DeviceHandle handle, std::uint32_t pipe, std::span<std::uint8_t> buffer,
            std::uint32_t& bytesReturned, std::unique_lock<std::mutex>& lock);
  bool Forward(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
               std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned, std::unique_lock<std::mutex>& lock);

  const SimulatedCameraOptions m_options;
  const std::shared_ptr<sim::SimDriver> m_sim;

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::set<int> m_attached;
  bool m_plugged = true;
  std::map<std::uintptr_t, HandleState> m_handles;
  std::uintptr_t m_nextHandle = 100;
  std::map<std::uint8_t, Bytes> m_vendorReplies;
  std::map<std::uint8_t, int> m_failRequests;
  std::set<std::uint8_t> m_heldRequests;
  std::deque<ReplyStep> m_replies;
  Bytes m_autoReply;
  std::size_t m_autoPiece = 0;
  std::map<std::uint8_t, std::uint8_t> m_readBack;
  bool m_silent = false;
  int m_width = 1024;
  int m_height = 768;
  std::uint32_t m_frameCount = 0;
  SentFrame m_lastFrame;
  std::array<PipeState, 4> m_pipes;
  std::chrono::milliseconds m_readTimeout{5000};
  int m_pendingReads = 0;
};

// A command reply as the camera writes it: 0x55, the status (0 done, 1 failed,
// 2 "send the same frame again"), 0, the command code, the value, the checksum
// of the four bytes before it, 0x5A.
Bytes ReplyFrame(std::uint8_t code, std::uint8_t value, std::uint8_t status = 0);

// Command frames as the camera link builds them, for the REMOCON panel's tests:
// a set command, a plain one and a 6-byte query.
Bytes SetFrame(std::uint8_t code, std::uint8_t value);
Bytes PlainFrame(std::uint8_t code, std::uint8_t value);
Bytes ShortFrame(std::uint8_t code);

}  // namespace test_support
