// Camera commands: the frame goes out with request 0xBC, the reply comes back
// in pieces with request 0xBD, each on a device handle opened for the request.
#include <algorithm>
#include <string>
#include <vector>

#include "camera/command_frame.h"
#include "camera/usb_camera.h"
#include "platform/driver_records.h"
#include "platform/failure_record.h"
#include "platform/sleep.h"

using camera::CameraError;
using camera::CommandForm;
using camera::ReplyVerdict;
using platform::DeviceHandle;
using platform::TransferDirection;

namespace {

// Empty reads in a row before the camera counts as silent.
constexpr int kReadBudget = 20;

}  // namespace

void CUsbCamera::Log(std::span<const std::uint8_t> bytes) {
  if (ICommandLogSink* sink = m_logSink.load()) sink->AppendHexLog(bytes);
}

void CUsbCamera::WriteCommandBytes(const std::uint8_t* bytes, int length) {
  if (m_hDevice.load() == DeviceHandle::Null) return;
  if (length < 0 || (bytes == nullptr && length > 0)) return;
  const DeviceHandle handle = OpenDevice(m_devicePath.data());
  if (handle == DeviceHandle::Null) return;
  Log({bytes, static_cast<std::size_t>(length)});
  // The driver takes the data stage as a writable buffer, even when it only sends it.
  std::vector<std::uint8_t> data(bytes, bytes + length);
  std::uint32_t moved = 0;
  {
    std::lock_guard requestLock(m_lock);
    platform::SendVendorRequest(m_driver, handle, platform::request::kWriteCommand, TransferDirection::HostToDevice,
                                data, moved);
  }
  m_driver.Close(handle);
}

int CUsbCamera::ReadReplyBytes(std::uint8_t* buffer, int length) {
  if (m_hDevice.load() == DeviceHandle::Null) return -1;
  if (length < 0 || (buffer == nullptr && length > 0)) return -1;
  const DeviceHandle handle = OpenDevice(m_devicePath.data());
  if (handle == DeviceHandle::Null) return -1;
  std::uint32_t received = 0;
  bool ok = false;
  {
    std::lock_guard requestLock(m_lock);
    ok = platform::SendVendorRequest(m_driver, handle, platform::request::kReadReply, TransferDirection::DeviceToHost,
                                     {buffer, static_cast<std::size_t>(length)}, received);
  }
  m_driver.Close(handle);
  if (!ok) return -1;
  // A driver that claims more than it was given room for is not believed beyond the room.
  return static_cast<int>(std::min<std::uint32_t>(received, static_cast<std::uint32_t>(length)));
}

CUsbCamera::ReplyCollection CUsbCamera::CollectReply(std::span<std::uint8_t> reply) {
  ReplyCollection result;
  int budget = kReadBudget;
  while (budget != 0) {
    // Never ask for more than the room left: a camera that talks on past the
    // buffer without an end byte has sent a malformed reply.
    const std::size_t room = reply.size() - result.total;
    if (room == 0) {
      result.overflowed = true;
      break;
    }
    const int r = ReadReplyBytes(reply.data() + result.total, static_cast<int>(room));
    if (r < 0) break;
    if (r == 0) {
      --budget;
      platform::SleepMs(m_timing.Ms(CameraTiming::kReadPauseMs));
      continue;
    }
    result.total += static_cast<std::size_t>(r);
    budget = kReadBudget;
    if (reply[result.total - 1] == camera::kReplyEnd) break;
    platform::SleepMs(m_timing.Ms(CameraTiming::kReadPauseMs));
  }
  result.budgetSpent = budget == 0;
  return result;
}

int CUsbCamera::Exchange(std::span<const std::uint8_t> frame, bool repeatWhenShort) {
  CameraError error = CameraError::RepeatsExhausted;
  for (int attempt = 0; attempt < kMaxCommandAttempts; ++attempt) {
    WriteCommandBytes(frame.data(), static_cast<int>(frame.size()));
    platform::SleepMs(m_timing.Ms(CameraTiming::kReplyDelayMs));

    std::array<std::uint8_t, kReplyBufferBytes> reply{};
    const ReplyCollection collected = CollectReply(reply);
    const std::span<const std::uint8_t> received(reply.data(), collected.total);
    Log(received);

    if (collected.budgetSpent || collected.total == 0) {
      error = m_hDevice.load() == DeviceHandle::Null ? CameraError::NotOpen : CameraError::NoReply;
      break;
    }
    if (collected.overflowed) {
      error = CameraError::MalformedReply;
      break;
    }
    const camera::ReplyCheck check = camera::CheckReply(received, repeatWhenShort);
    if (check.verdict == ReplyVerdict::Value) {
      m_lastCommandError = CameraError::None;
      return check.value;
    }
    if (check.verdict == ReplyVerdict::Repeat) continue;
    error = check.verdict == ReplyVerdict::Refused ? CameraError::CommandRefused : CameraError::MalformedReply;
    break;
  }
  m_lastCommandError = error;
  std::string sent = camera::FormatHexLogLine(frame);
  sent.erase(sent.find_last_not_of(" \r\n") + 1);
  platform::Failures().Record("camera command " + sent, camera::CameraErrorText(error));
  return 0;
}

int CUsbCamera::SendCommand(std::uint8_t code, std::uint8_t value) {
  // Unlike the other two, this form has never repeated on a short reply; such a reply is malformed.
  return Exchange(camera::BuildCommandFrame(CommandForm::Tagged, code, value).View(), false);
}

int CUsbCamera::SendPlainCommand(std::uint8_t code, std::uint8_t value) {
  return Exchange(camera::BuildCommandFrame(CommandForm::Plain, code, value).View(), true);
}

int CUsbCamera::SendShortCommand(std::uint8_t code) {
  return Exchange(camera::BuildCommandFrame(CommandForm::Short, code).View(), true);
}
