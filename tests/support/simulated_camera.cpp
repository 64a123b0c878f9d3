#include "simulated_camera.h"

#include <algorithm>
#include <cstring>

namespace test_support {

using platform::DeviceHandle;

namespace {

std::uint8_t Checksum(const Bytes& frame, std::size_t first, std::size_t last) {
  unsigned sum = 0;
  for (std::size_t i = first; i <= last; ++i) sum += frame[i];
  return static_cast<std::uint8_t>(sum);
}

Bytes WithChecksum(Bytes frame, std::uint8_t end) {
  frame.push_back(Checksum(frame, 1, frame.size() - 1));
  frame.push_back(end);
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

void Give(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  const std::size_t n = std::min(bytes.size(), buffer.size());
  std::copy_n(bytes.begin(), n, buffer.begin());
  bytesReturned = static_cast<std::uint32_t>(n);
}

}  // namespace

Bytes ReplyFrame(std::uint8_t code, std::uint8_t value, std::uint8_t status) {
  return WithChecksum({0x55, status, 0x00, code, value}, 0x5A);
}
Bytes SetFrame(std::uint8_t code, std::uint8_t value) { return WithChecksum({0xAA, 0x80, 0x00, code, value}, 0xA5); }
Bytes PlainFrame(std::uint8_t code, std::uint8_t value) { return WithChecksum({0xAA, 0x00, 0x00, code, value}, 0xA5); }
Bytes ShortFrame(std::uint8_t code) { return WithChecksum({0xAA, 0x00, 0x00, code}, 0xA5); }

SimulatedCamera::SimulatedCamera(SimulatedCameraOptions options)
    : m_options(std::move(options)), m_sim(sim::CreateSimulatedDriver(m_options.sim)), m_attached(m_options.attached) {
  if (m_options.frames == Frames::Pattern) {
    // XGA at high speed, matching the pattern's default size.
    m_vendorReplies[0xB0] = {2};
    m_vendorReplies[0xB3] = {1};
  }
}

SimulatedCamera::~SimulatedCamera() = default;

sim::SimCamera& SimulatedCamera::Sim() { return m_sim->Camera(0); }

// --- hooks

void SimulatedCamera::Attach(int number) {
  std::lock_guard lock(m_mutex);
  m_attached.insert(number);
}

void SimulatedCamera::Unplug() {
  {
    std::lock_guard lock(m_mutex);
    m_plugged = false;
    m_changed.notify_all();
  }
  Sim().Unplug();  // ends what waits inside the simulated camera
}

int SimulatedCamera::OpenHandleCount() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_handles.size());
}

void SimulatedCamera::SetVendorReply(std::uint8_t code, Bytes reply) {
  std::lock_guard lock(m_mutex);
  m_vendorReplies[code] = std::move(reply);
}

void SimulatedCamera::FailRequests(std::uint8_t code, int count) {
  std::lock_guard lock(m_mutex);
  m_failRequests[code] = count;
}

void SimulatedCamera::HoldRequests(std::uint8_t code, bool hold) {
  std::lock_guard lock(m_mutex);
  if (hold) {
    m_heldRequests.insert(code);
  } else {
    m_heldRequests.erase(code);
  }
  m_changed.notify_all();
}

void SimulatedCamera::QueueReplies(std::vector<ReplyStep> steps) {
  std::lock_guard lock(m_mutex);
  for (auto& s : steps) m_replies.push_back(std::move(s));
}

void SimulatedCamera::AnswerEveryCommand(Bytes reply, std::size_t piece) {
  std::lock_guard lock(m_mutex);
  m_autoReply = std::move(reply);
  m_autoPiece = piece;
}

void SimulatedCamera::SetReadBack(std::uint8_t code, std::uint8_t value) {
  std::lock_guard lock(m_mutex);
  m_readBack[code] = value;
}

void SimulatedCamera::SetSilent(bool silent) {
  std::lock_guard lock(m_mutex);
  m_silent = silent;
}

void SimulatedCamera::SetFrameSize(int width, int height) {
  std::lock_guard lock(m_mutex);
  m_width = width;
  m_height = height;
}

SentFrame SimulatedCamera::LastSentFrame() const {
  std::lock_guard lock(m_mutex);
  return m_lastFrame;
}

void SimulatedCamera::StallPipe(int pipe, bool stalled) {
  std::lock_guard lock(m_mutex);
  m_pipes.at(pipe).stalled = stalled;
  m_changed.notify_all();
}

void SimulatedCamera::DelayPipe(int pipe, std::chrono::milliseconds delay) {
  std::lock_guard lock(m_mutex);
  m_pipes.at(pipe).delay = delay;
}

void SimulatedCamera::FailBulkReads(int pipe, int count) {
  std::lock_guard lock(m_mutex);
  m_pipes.at(pipe).failReads = count;
  m_changed.notify_all();
}

void SimulatedCamera::SetReadTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(m_mutex);
  m_readTimeout = timeout;
}

int SimulatedCamera::PendingBulkReads() const {
  std::lock_guard lock(m_mutex);
  return m_pendingReads;
}

// --- the driver interface

DeviceHandle SimulatedCamera::Open(std::string_view devicePath) {
  DriverCall call;
  call.kind = DriverCall::Kind::Open;
  call.path = std::string(devicePath);
  {
    std::lock_guard lock(m_mutex);
    const int number = platform::DeviceNumberFromPath(devicePath);
    if (m_plugged && m_attached.contains(number)) {
      // Every attached number is the one simulated camera underneath.
      const DeviceHandle simHandle = m_sim->Open(platform::DevicePath(0));
      if (simHandle != DeviceHandle::Null) {
        const std::uintptr_t id = m_nextHandle++;
        m_handles[id] = HandleState{simHandle, 0};
        call.handle = static_cast<DeviceHandle>(id);
      }
    }
  }
  call.ok = call.handle != DeviceHandle::Null;
  const DeviceHandle handle = call.handle;
  Add(std::move(call));
  return handle;
}

void SimulatedCamera::CancelIo(DeviceHandle handle) { EndHandleUse(handle, false); }

void SimulatedCamera::Close(DeviceHandle handle) { EndHandleUse(handle, true); }

void SimulatedCamera::EndHandleUse(DeviceHandle handle, bool closing) {
  DeviceHandle simHandle = DeviceHandle::Null;
  {
    std::lock_guard lock(m_mutex);
    if (auto it = m_handles.find(static_cast<std::uintptr_t>(handle)); it != m_handles.end()) {
      simHandle = it->second.simHandle;
      if (closing)
        m_handles.erase(it);
      else
        ++it->second.cancelEpoch;
      m_changed.notify_all();
    }
  }
  if (simHandle != DeviceHandle::Null) {
    if (closing)
      m_sim->Close(simHandle);
    else
      m_sim->CancelIo(simHandle);
  }
  DriverCall call;
  call.kind = closing ? DriverCall::Kind::Close : DriverCall::Kind::Cancel;
  call.handle = handle;
  Add(std::move(call));
}

bool SimulatedCamera::DeviceIoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                                      std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  DriverCall call = Before(handle, code, input, buffer);
  const bool ok = Control(handle, code, input, buffer, bytesReturned);
  After(std::move(call), ok, buffer, bytesReturned);
  return ok;
}

bool SimulatedCamera::Usable(DeviceHandle handle) const {
  return m_plugged && m_handles.contains(static_cast<std::uintptr_t>(handle));
}

bool SimulatedCamera::Control(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                              std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  bytesReturned = 0;
  std::unique_lock lock(m_mutex);
  if (!Usable(handle)) return false;
  if (code == platform::kVendorRequestIoctl) {
    const auto block = platform::VendorRequestBlock::Decode(input);
    if (!block || block->requestKind != 2) return false;
    return Vendor(handle, *block, input, buffer, bytesReturned, lock);
  }
  if (code == platform::kBulkReadIoctl && m_options.frames == Frames::Pattern) {
    const auto block = platform::BulkReadBlock::Decode(input);
    if (!block || block->pipeIndex > 3 || buffer.size() > platform::kMaxBulkReadBytes) return false;
    return Bulk(handle, block->pipeIndex, buffer, bytesReturned, lock);
  }
  return Forward(handle, code, input, buffer, bytesReturned, lock);
}

bool SimulatedCamera::Vendor(DeviceHandle handle, const platform::VendorRequestBlock& block,
                             std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                             std::uint32_t& bytesReturned, std::unique_lock<std::mutex>& lock) {
  const std::uint8_t request = block.requestCode;
  const bool in = block.transferDirection == platform::TransferDirection::DeviceToHost;
  const auto key = static_cast<std::uintptr_t>(handle);
  const std::uint64_t epoch = m_handles[key].cancelEpoch;
  auto interrupted = [&] { return !Usable(handle) || m_handles[key].cancelEpoch != epoch; };
  m_changed.wait(lock, [&] { return !m_heldRequests.contains(request) || interrupted(); });
  if (interrupted()) return false;
  if (auto it = m_failRequests.find(request); it != m_failRequests.end() && it->second > 0) {
    --it->second;
    return false;
  }
  if (auto it = m_vendorReplies.find(request); it != m_vendorReplies.end()) {
    if (!in) return false;
    Give(it->second, buffer, bytesReturned);
    return true;
  }
  if (m_options.replies != CommandReplies::Camera) {
    if (request == 0xBC) {
      if (in) return false;
      AnswerCommand(Bytes(buffer.begin(), buffer.end()));
      bytesReturned = static_cast<std::uint32_t>(buffer.size());
      return true;
    }
    if (request == 0xBD) return in && ReadReply(buffer, bytesReturned);
  }
  if (m_options.frames == Frames::Pattern) return PatternVendor(request, in);
  return Forward(handle, platform::kVendorRequestIoctl, input, buffer, bytesReturned, lock);
}

bool SimulatedCamera::PatternVendor(std::uint8_t request, bool in) {
  switch (request) {
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
    case 0xBE: return !in;
    default: return false;
  }
}

void SimulatedCamera::AnswerCommand(const Bytes& frame) {
  if (m_options.replies == CommandReplies::ReadBack) {
    m_replies.clear();
    if (m_silent || frame.size() < 6 || frame[0] != 0xAA) return;
    const std::uint8_t commandCode = frame[3];
    std::uint8_t value = 0;
    if (frame.size() == 6) {
      value = m_readBack[commandCode];
    } else {
      value = frame[4];
      m_readBack[commandCode] = OnValue(commandCode, frame[4]);
    }
    m_replies.push_back({ReplyFrame(commandCode, value), false});
    return;
  }
  if (m_silent || m_autoReply.empty()) return;
  const std::size_t piece = m_autoPiece == 0 ? m_autoReply.size() : m_autoPiece;
  for (std::size_t at = 0; at < m_autoReply.size(); at += piece) {
    const std::size_t n = std::min(piece, m_autoReply.size() - at);
    const auto first = m_autoReply.begin() + static_cast<std::ptrdiff_t>(at);
    m_replies.push_back({Bytes(first, first + static_cast<std::ptrdiff_t>(n)), false});
  }
}

bool SimulatedCamera::ReadReply(std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  if (m_replies.empty()) return true;  // nothing to read yet
  ReplyStep& step = m_replies.front();
  if (step.fail) {
    m_replies.pop_front();
    return false;
  }
  Give(step.bytes, buffer, bytesReturned);
  step.bytes.erase(step.bytes.begin(), step.bytes.begin() + static_cast<std::ptrdiff_t>(bytesReturned));
  if (step.bytes.empty()) m_replies.pop_front();
  return true;
}

bool SimulatedCamera::Bulk(DeviceHandle handle, std::uint32_t pipe, std::span<std::uint8_t> buffer,
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

bool SimulatedCamera::Forward(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                              std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned,
                              std::unique_lock<std::mutex>& lock) {
  // The simulated camera waits in its own bulk reads; it must not hold ours.
  const DeviceHandle simHandle = m_handles[static_cast<std::uintptr_t>(handle)].simHandle;
  const int pending = code == platform::kBulkReadIoctl ? 1 : 0;
  m_pendingReads += pending;
  lock.unlock();
  const bool ok = m_sim->DeviceIoControl(simHandle, code, input, buffer, bytesReturned);
  lock.lock();
  m_pendingReads -= pending;
  return ok;
}

}  // namespace test_support
