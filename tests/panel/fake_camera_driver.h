// A scripted camera behind the driver interface: it keeps the settings the
// panel reads back, answers every command frame with a good reply (or stays
// silent, or answers a chosen value), and records every frame it receives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/driver.h"

class FakeCameraDriver : public platform::IDriver {
 public:
  using Frame = std::vector<std::uint8_t>;

  platform::DeviceHandle Open(std::string_view devicePath) override;
  bool DeviceIoControl(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override;
  void CancelIo(platform::DeviceHandle handle) override;
  void Close(platform::DeviceHandle handle) override;

  // The value the camera reads back for a short (6-byte) query of `code`.
  void SetReadBack(std::uint8_t code, std::uint8_t value);
  // A silent camera writes no reply at all.
  void SetSilent(bool silent);
  void Unplug();

  std::vector<Frame> Commands() const;
  void ClearCommands();

 private:
  void AnswerLocked(const Frame& frame);

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::set<std::uintptr_t> m_open;
  std::uintptr_t m_nextHandle = 1;
  bool m_plugged = true;
  bool m_silent = false;
  std::uint64_t m_cancels = 0;
  std::map<std::uint8_t, std::uint8_t> m_readBack;
  std::vector<Frame> m_commands;
  std::deque<std::uint8_t> m_reply;
};

// The command frame the camera link builds for a set command.
FakeCameraDriver::Frame SetFrame(std::uint8_t code, std::uint8_t value);
FakeCameraDriver::Frame PlainFrame(std::uint8_t code, std::uint8_t value);
FakeCameraDriver::Frame ShortFrame(std::uint8_t code);
