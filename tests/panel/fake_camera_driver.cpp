#include "fake_camera_driver.h"

#include <chrono>

#include "platform/driver_records.h"

namespace {

std::uint8_t Checksum(const FakeCameraDriver::Frame& frame, std::size_t first, std::size_t last) {
  unsigned sum = 0;
  for (std::size_t i = first; i <= last; ++i) sum += frame[i];
  return static_cast<std::uint8_t>(sum);
}

FakeCameraDriver::Frame WithChecksum(FakeCameraDriver::Frame frame) {
  frame.push_back(Checksum(frame, 1, frame.size() - 1));
  frame.push_back(0xA5);
  return frame;
}

// What a setting reads back as once a set command switched it on.
std::uint8_t OnValue(std::uint8_t code, std::uint8_t value) {
  if (value == 0) return 0;
  switch (code) {
    case 0x36: return 4;
    case 0x37: return 8;
    case 0x30: return 0x80;
    case 0x31: return 0x20;
    case 0x32: return 0x40;
    case 0x35: return 0x10;
    default: return value;
  }
}

}  // namespace

FakeCameraDriver::Frame SetFrame(std::uint8_t code, std::uint8_t value) { return WithChecksum({0xAA, 0x80, 0x00, code, value}); }
FakeCameraDriver::Frame PlainFrame(std::uint8_t code, std::uint8_t value) { return WithChecksum({0xAA, 0x00, 0x00, code, value}); }
FakeCameraDriver::Frame ShortFrame(std::uint8_t code) { return WithChecksum({0xAA, 0x00, 0x00, code}); }

platform::DeviceHandle FakeCameraDriver::Open(std::string_view devicePath) {
  std::lock_guard lock(m_mutex);
  if (!m_plugged || platform::DeviceNumberFromPath(devicePath) != 0) return platform::DeviceHandle::Null;
  const std::uintptr_t handle = m_nextHandle++;
  m_open.insert(handle);
  return static_cast<platform::DeviceHandle>(handle);
}

bool FakeCameraDriver::DeviceIoControl(platform::DeviceHandle handle, std::uint32_t code,
                                       std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                                       std::uint32_t& bytesReturned) {
  bytesReturned = 0;
  std::unique_lock lock(m_mutex);
  const auto id = static_cast<std::uintptr_t>(handle);
  if (!m_plugged || !m_open.contains(id)) return false;
  if (code == platform::kBulkReadIoctl) {
    // No pictures here: a read waits until it is cancelled, as on a camera
    // that sends nothing.
    const std::uint64_t cancels = m_cancels;
    m_changed.wait_for(lock, std::chrono::seconds(2),
                       [&] { return !m_plugged || !m_open.contains(id) || m_cancels != cancels; });
    return false;
  }
  if (code != platform::kVendorRequestIoctl) return false;
  const auto block = platform::VendorRequestBlock::Decode(input);
  if (!block) return false;
  if (block->requestCode == 0xBC) {
    const Frame frame(buffer.begin(), buffer.end());
    m_commands.push_back(frame);
    AnswerLocked(frame);
    bytesReturned = static_cast<std::uint32_t>(buffer.size());
  } else if (block->requestCode == 0xBD) {
    std::size_t n = 0;
    while (n < buffer.size() && !m_reply.empty()) {
      buffer[n++] = m_reply.front();
      m_reply.pop_front();
    }
    bytesReturned = static_cast<std::uint32_t>(n);
  } else {
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    bytesReturned = static_cast<std::uint32_t>(buffer.size());
  }
  return true;
}

void FakeCameraDriver::AnswerLocked(const Frame& frame) {
  m_reply.clear();
  if (m_silent || frame.size() < 6 || frame[0] != 0xAA) return;
  const std::uint8_t commandCode = frame[3];
  std::uint8_t value = 0;
  if (frame.size() == 6) {
    value = m_readBack[commandCode];
  } else {
    value = frame[4];
    m_readBack[commandCode] = OnValue(commandCode, frame[4]);
  }
  Frame reply = {0x55, 0x00, 0x00, commandCode, value};
  reply.push_back(Checksum(reply, 1, 4));
  reply.push_back(0x5A);
  m_reply.assign(reply.begin(), reply.end());
}

void FakeCameraDriver::CancelIo(platform::DeviceHandle) {
  {
    std::lock_guard lock(m_mutex);
    ++m_cancels;
  }
  m_changed.notify_all();
}

void FakeCameraDriver::Close(platform::DeviceHandle handle) {
  {
    std::lock_guard lock(m_mutex);
    m_open.erase(static_cast<std::uintptr_t>(handle));
  }
  m_changed.notify_all();
}

void FakeCameraDriver::SetReadBack(std::uint8_t code, std::uint8_t value) {
  std::lock_guard lock(m_mutex);
  m_readBack[code] = value;
}

void FakeCameraDriver::SetSilent(bool silent) {
  std::lock_guard lock(m_mutex);
  m_silent = silent;
}

void FakeCameraDriver::Unplug() {
  {
    std::lock_guard lock(m_mutex);
    m_plugged = false;
  }
  m_changed.notify_all();
}

std::vector<FakeCameraDriver::Frame> FakeCameraDriver::Commands() const {
  std::lock_guard lock(m_mutex);
  return m_commands;
}

void FakeCameraDriver::ClearCommands() {
  std::lock_guard lock(m_mutex);
  m_commands.clear();
}
