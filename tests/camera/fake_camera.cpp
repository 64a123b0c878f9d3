#include "fake_camera.h"

#include <algorithm>
#include <cstring>

#include "platform/driver_records.h"

namespace camera_test {

using platform::DeviceHandle;

FakeCamera::FakeCamera() { m_attached.insert(0); }

void FakeCamera::Attach(int number) {
  std::lock_guard lock(m_mutex);
  m_attached.insert(number);
}

void FakeCamera::Unplug() {
  std::lock_guard lock(m_mutex);
  m_plugged = false;
  ++m_plugEpoch;
  m_changed.notify_all();
}

int FakeCamera::OpenHandleCount() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_handles.size());
}

void FakeCamera::SetModeReply(std::vector<std::uint8_t> reply) {
  std::lock_guard lock(m_mutex);
  m_modeReply = std::move(reply);
}

void FakeCamera::SetSpeedReply(std::vector<std::uint8_t> reply) {
  std::lock_guard lock(m_mutex);
  m_speedReply = std::move(reply);
}

void FakeCamera::FailRequests(std::uint8_t code, int count) {
  std::lock_guard lock(m_mutex);
  m_failRequests[code] = count;
}

void FakeCamera::HoldRequests(std::uint8_t code, bool hold) {
  std::lock_guard lock(m_mutex);
  if (hold) {
    m_heldRequests.insert(code);
  } else {
    m_heldRequests.erase(code);
  }
  m_changed.notify_all();
}

void FakeCamera::QueueReplies(std::vector<ReplyStep> steps) {
  std::lock_guard lock(m_mutex);
  for (auto& s : steps) m_replies.push_back(std::move(s));
}

void FakeCamera::AnswerEveryCommand(std::vector<std::uint8_t> reply, std::size_t piece) {
  std::lock_guard lock(m_mutex);
  m_autoReply = std::move(reply);
  m_autoPiece = piece;
}

std::vector<std::vector<std::uint8_t>> FakeCamera::Commands() const {
  std::lock_guard lock(m_mutex);
  return m_commands;
}

void FakeCamera::SetFrameSize(int width, int height) {
  std::lock_guard lock(m_mutex);
  m_width = width;
  m_height = height;
}

SentFrame FakeCamera::LastSentFrame() const {
  std::lock_guard lock(m_mutex);
  return m_lastFrame;
}

void FakeCamera::StallPipe(int pipe, bool stalled) {
  std::lock_guard lock(m_mutex);
  m_pipes.at(pipe).stalled = stalled;
  m_changed.notify_all();
}

void FakeCamera::DelayPipe(int pipe, std::chrono::milliseconds delay) {
  std::lock_guard lock(m_mutex);
  m_pipes.at(pipe).delay = delay;
}

void FakeCamera::FailBulkReads(int pipe, int count) {
  std::lock_guard lock(m_mutex);
  m_pipes.at(pipe).failReads = count;
  m_changed.notify_all();
}

void FakeCamera::SetReadTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(m_mutex);
  m_readTimeout = timeout;
}

int FakeCamera::PendingBulkReads() const {
  std::lock_guard lock(m_mutex);
  return m_pendingReads;
}

DeviceHandle FakeCamera::Open(std::string_view devicePath) {
  std::lock_guard lock(m_mutex);
  const int number = platform::DeviceNumberFromPath(devicePath);
  if (!m_plugged || !m_attached.contains(number)) return DeviceHandle::Null;
  const std::uintptr_t id = m_nextHandle++;
  m_handles[id] = HandleState{number, 0};
  return static_cast<DeviceHandle>(id);
}

bool FakeCamera::Usable(DeviceHandle handle) const {
  return m_plugged && m_handles.contains(static_cast<std::uintptr_t>(handle));
}

void FakeCamera::CancelIo(DeviceHandle handle) {
  std::lock_guard lock(m_mutex);
  auto it = m_handles.find(static_cast<std::uintptr_t>(handle));
  if (it == m_handles.end()) return;
  ++it->second.cancelEpoch;
  m_changed.notify_all();
}

void FakeCamera::Close(DeviceHandle handle) {
  std::lock_guard lock(m_mutex);
  m_handles.erase(static_cast<std::uintptr_t>(handle));
  m_changed.notify_all();
}

bool FakeCamera::DeviceIoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                                 std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  bytesReturned = 0;
  std::unique_lock lock(m_mutex);
  if (!Usable(handle)) return false;
  if (code == platform::kVendorRequestIoctl) {
    const auto block = platform::VendorRequestBlock::Decode(input);
    if (!block || block->requestKind != 2) return false;
    return Vendor(block->requestCode, block->transferDirection == platform::TransferDirection::DeviceToHost, buffer,
                  bytesReturned, lock, handle);
  }
  if (code == platform::kBulkReadIoctl) {
    const auto block = platform::BulkReadBlock::Decode(input);
    if (!block || block->pipeIndex > 3 || buffer.size() > platform::kMaxBulkReadBytes) return false;
    return Bulk(handle, block->pipeIndex, buffer, bytesReturned, lock);
  }
  return false;
}

bool FakeCamera::Vendor(std::uint8_t request, bool in, std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned,
                        std::unique_lock<std::mutex>& lock, DeviceHandle handle) {
  const std::uint64_t epoch = m_handles[static_cast<std::uintptr_t>(handle)].cancelEpoch;
  m_changed.wait(lock, [&] {
    return !m_heldRequests.contains(request) || !Usable(handle) ||
           m_handles[static_cast<std::uintptr_t>(handle)].cancelEpoch != epoch;
  });
  if (!Usable(handle) || m_handles[static_cast<std::uintptr_t>(handle)].cancelEpoch != epoch) return false;
  if (auto it = m_failRequests.find(request); it != m_failRequests.end() && it->second > 0) {
    --it->second;
    return false;
  }
  auto give = [&](std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min(bytes.size(), buffer.size());
    std::copy_n(bytes.begin(), n, buffer.begin());
    bytesReturned = static_cast<std::uint32_t>(n);
  };
  switch (request) {
    case 0xB0:
      if (!in) return false;
      give(m_modeReply);
      return true;
    case 0xB3:
      if (!in) return false;
      give(m_speedReply);
      return true;
    case 0xB4: {
      if (in) return false;
      m_lastFrame = MakeSentFrame(m_width, m_height, ++m_frameCount);
      const auto now = std::chrono::steady_clock::now();
      for (std::size_t p = 0; p < 4; ++p) {
        m_pipes[p].stream = m_lastFrame.pipes[p];
        m_pipes[p].cursor = 0;
        m_pipes[p].readyAt = now + m_pipes[p].delay;
      }
      m_changed.notify_all();
      return true;
    }
    case 0xB5:
    case 0xB7:
    case 0xBE:
      return !in;
    case 0xBC:
      if (in) return false;
      m_commands.emplace_back(buffer.begin(), buffer.end());
      if (!m_autoReply.empty()) {
        const std::size_t piece = m_autoPiece == 0 ? m_autoReply.size() : m_autoPiece;
        for (std::size_t at = 0; at < m_autoReply.size(); at += piece) {
          const std::size_t n = std::min(piece, m_autoReply.size() - at);
          m_replies.push_back({std::vector<std::uint8_t>(m_autoReply.begin() + static_cast<std::ptrdiff_t>(at),
                                                         m_autoReply.begin() + static_cast<std::ptrdiff_t>(at + n)),
                               false});
        }
      }
      return true;
    case 0xBD: {
      if (!in) return false;
      if (m_replies.empty()) return true;  // nothing to read yet
      ReplyStep& step = m_replies.front();
      if (step.fail) {
        m_replies.pop_front();
        return false;
      }
      const std::size_t n = std::min(step.bytes.size(), buffer.size());
      std::copy_n(step.bytes.begin(), n, buffer.begin());
      bytesReturned = static_cast<std::uint32_t>(n);
      step.bytes.erase(step.bytes.begin(), step.bytes.begin() + static_cast<std::ptrdiff_t>(n));
      if (step.bytes.empty()) m_replies.pop_front();
      return true;
    }
    default:
      return false;
  }
}

bool FakeCamera::Bulk(DeviceHandle handle, std::uint32_t pipe, std::span<std::uint8_t> buffer,
                      std::uint32_t& bytesReturned, std::unique_lock<std::mutex>& lock) {
  PipeState& state = m_pipes[pipe];
  if (state.failReads > 0) {
    --state.failReads;
    return false;
  }
  const auto key = static_cast<std::uintptr_t>(handle);
  const std::uint64_t cancelEpoch = m_handles[key].cancelEpoch;
  const auto deadline = std::chrono::steady_clock::now() + m_readTimeout;
  ++m_pendingReads;
  auto interrupted = [&] { return !Usable(handle) || m_handles[key].cancelEpoch != cancelEpoch; };
  for (;;) {
    if (interrupted()) break;
    const auto now = std::chrono::steady_clock::now();
    const bool ready = !state.stalled && state.cursor < state.stream.size() && now >= state.readyAt;
    if (ready) {
      const std::size_t n = std::min(buffer.size(), state.stream.size() - state.cursor);
      std::memcpy(buffer.data(), state.stream.data() + state.cursor, n);
      state.cursor += n;
      bytesReturned = static_cast<std::uint32_t>(n);
      --m_pendingReads;
      return true;
    }
    if (now >= deadline) break;
    auto wakeAt = deadline;
    if (!state.stalled && state.cursor < state.stream.size()) wakeAt = std::min(wakeAt, state.readyAt);
    m_changed.wait_until(lock, wakeAt);
  }
  --m_pendingReads;
  return false;
}

}  // namespace camera_test
