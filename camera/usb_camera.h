// The camera link: the only object that talks to the camera. It claims and
// opens a camera, fetches frames over four bulk pipes with four reader
// threads, and carries camera commands with their replies.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "camera/command_log.h"
#include "platform/critical_section.h"
#include "platform/device_claim.h"
#include "platform/driver.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

// Scales the link's time-outs and pauses; 1.0 in the product. Tests shrink it
// to stay fast while keeping every time-out in its real proportion.
struct CameraTiming {
  double scale = 1.0;
  std::uint32_t Ms(std::uint32_t productMs) const;
};

class CUsbCamera {
 public:
  static constexpr std::size_t kPipeCount = 4;
  static constexpr std::size_t kPipeBufferBytes = 0x90000;   // 1024 x 768 x 3 / 4
  static constexpr std::size_t kFrameBytes = 0x240000;       // 1024 x 768 x 3
  static constexpr std::size_t kReplyBufferBytes = 24;

  explicit CUsbCamera(platform::IDriver& driver = platform::CurrentDriver(), CameraTiming timing = {});
  virtual ~CUsbCamera();
  CUsbCamera(const CUsbCamera&) = delete;
  CUsbCamera& operator=(const CUsbCamera&) = delete;

  bool Open();
  void Close();
  bool IsOpen() const;
  bool CheckPresent();
  bool QueryHighSpeed();
  bool QueryMode();

  // Writes m_width x m_height x 3 bytes to dest and answers true, or answers
  // false and leaves dest untouched.
  bool GrabFrame(std::uint8_t* dest);

  void WriteCommandBytes(const std::uint8_t* bytes, int length);
  int ReadReplyBytes(std::uint8_t* buffer, int length);

  int SendCommand(std::uint8_t code, std::uint8_t value);
  int SendPlainCommand(std::uint8_t code, std::uint8_t value);
  int SendShortCommand(std::uint8_t code);

  // The panel's command log; null while there is none.
  void SetLogSink(ICommandLogSink* sink);

  // Fields other subsystems read or write (flags polled across threads).
  std::atomic<std::int32_t> m_highSpeed{0};
  std::atomic<std::int32_t> m_width{640};
  std::atomic<std::int32_t> m_height{480};
  std::atomic<std::int32_t> m_mode{0};
  std::atomic<std::int32_t> m_orientation{0};
  std::atomic<std::int32_t> m_aborted{0};

  // The camera helper fills in the rest of the link's private state here.
 private:
};
