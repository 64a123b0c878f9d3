#include "sim/sim_camera.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/driver_records.h"
#include "sim/command_frames.h"

namespace sim {

namespace {

// Picture data rates of the two bus speeds, in bytes a second over all four pipes.
constexpr double kHighSpeedRate = 40e6;
constexpr double kFullSpeedRate = 1e6;

// Longer than the host's two waits for a frame together (7 s at high speed,
// 12 s at full speed), so a stalled pipe is the host's to give up, not ours.
constexpr double kReadTimeoutMs = 15000.0;

constexpr std::size_t kMaxReadRecords = 65536;

}  // namespace

SimCameraImpl::SimCameraImpl(const SimOptions& options, std::shared_ptr<TrafficLog> log)
    : m_options(options),
      m_log(std::move(log)),
      m_bytesPerMsPerPipe((options.highSpeed ? kHighSpeedRate : kFullSpeedRate) / kPipeCount / 1000.0 /
                          options.timeScale),
      m_readTimeout(std::max<long long>(1, std::llround(kReadTimeoutMs * options.timeScale))),
      m_model(options),
      m_renderer(options.seed) {
  for (Pipe& pipe : m_pipes) pipe.data.assign(kMaxShareBytes, 0);
}

std::optional<std::uint64_t> SimCameraImpl::Open() {
  std::lock_guard guard(m_mutex);
  if (!m_plugged) return std::nullopt;
  return m_generation;
}

bool SimCameraImpl::Alive(const HandleState& handle, std::uint64_t cancelEpoch) const {
  return m_plugged && handle.generation == m_generation && !handle.closed.load() &&
         handle.cancelEpoch.load() == cancelEpoch;
}

void SimCameraImpl::WakeWaiters() {
  // Taking the lock orders the caller's handle change before any waiter's next look.
  std::lock_guard guard(m_mutex);
  m_wake.notify_all();
}

bool SimCameraImpl::Control(const HandleState& handle, std::uint32_t code, std::span<const std::uint8_t> input,
                            std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  bytesReturned = 0;
  const std::uint64_t cancelEpoch = handle.cancelEpoch.load();
  std::unique_lock lock(m_mutex);
  if (code == platform::kVendorRequestIoctl) return VendorRequest(handle, cancelEpoch, input, buffer, bytesReturned);
  if (code == platform::kBulkReadIoctl) return BulkRead(lock, handle, cancelEpoch, input, buffer, bytesReturned);
  return false;
}

bool SimCameraImpl::VendorRequest(const HandleState& handle, std::uint64_t cancelEpoch,
                                  std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                                  std::uint32_t& bytesReturned) {
  const auto block = platform::VendorRequestBlock::Decode(input);
  if (!block || block->requestKind != platform::kVendorRequestKind) return false;
  const std::uint8_t request = block->requestCode;
  ++m_vendorCounts[request];
  if (!Alive(handle, cancelEpoch)) return false;
  if (auto it = m_failVendor.find(request); it != m_failVendor.end() && it->second > 0) {
    --it->second;
    return false;
  }
  const bool in = block->transferDirection == platform::TransferDirection::DeviceToHost;
  const auto now = Clock::now();
  switch (request) {
    case platform::request::kQueryMode: {
      if (!in || buffer.empty()) return false;
      const std::size_t n = std::min(buffer.size(), platform::kModeReplyBytes);
      std::fill_n(buffer.begin(), n, std::uint8_t{0});
      buffer[0] = static_cast<std::uint8_t>(static_cast<std::int8_t>(m_model.ModeCode()));
      m_reportedMode = m_model.ModeCode();
      bytesReturned = static_cast<std::uint32_t>(n);
      return true;
    }
    case platform::request::kQuerySpeed:
      if (!in || buffer.empty()) return false;
      buffer[0] = m_options.highSpeed ? 1 : 0;
      bytesReturned = 1;
      return true;
    case platform::request::kStartFrame:
      if (in) return false;
      QueueFrame(now);
      return true;
    case platform::request::kRecover:
      if (in) return false;
      for (Pipe& pipe : m_pipes) {
        if (pipe.stall == Stall::UntilRecovery) pipe.stall = Stall::None;
      }
      m_wake.notify_all();
      return true;
    case platform::request::kGiveUp:
      if (in) return false;
      // The host gave the frame up: drop what is left of it and end the reads
      // still waiting for it.
      FlushPipes();
      ++m_abortEpoch;
      m_wake.notify_all();
      return true;
    case platform::request::kWriteCommand:
      if (in) return false;
      ReceiveCommand(buffer);
      bytesReturned = static_cast<std::uint32_t>(buffer.size());
      return true;
    case platform::request::kReadReply: {
      if (!in) return false;
      std::size_t n = std::min(buffer.size(), m_reply.size() - m_replyPos);
      if (m_replyPieceSize > 0) n = std::min(n, m_replyPieceSize);
      std::copy_n(m_reply.begin() + static_cast<std::ptrdiff_t>(m_replyPos), n, buffer.begin());
      m_replyPos += n;
      if (m_replyPos == m_reply.size()) {
        m_reply.clear();
        m_replyPos = 0;
      }
      bytesReturned = static_cast<std::uint32_t>(n);
      return true;
    }
    case platform::request::kAttach:
      if (in) return false;
      m_reply.clear();
      m_replyPos = 0;
      return true;
    default: return false;
  }
}

void SimCameraImpl::QueueFrame(Clock::time_point now) {
  // A new frame replaces whatever the host left unread of the previous one, so
  // the pipes never drift out of step with the frames.
  FrameSpec next = m_model.NextFrame(now);
  if (m_reportedMode) next.key.mode = *std::exchange(m_reportedMode, std::nullopt);
  const auto geometry = GeometryForMode(next.key.mode);
  PipeSpans shares;
  for (int p = 0; p < kPipeCount; ++p) {
    Pipe& pipe = m_pipes[p];
    pipe.size = geometry ? std::min<std::size_t>(geometry->Share(m_options.highSpeed), pipe.data.size()) : 0;
    pipe.readPos = 0;
    pipe.queuedAt = now;
    shares[p] = std::span(pipe.data).first(pipe.size);
  }
  if (geometry && m_renderer.ProduceFrame(next.key, next.number, shares)) {
    m_lastFrame = next;
  } else {
    FlushPipes();  // a mode without a picture size sends nothing
  }
  m_wake.notify_all();
}

void SimCameraImpl::ReceiveCommand(std::span<const std::uint8_t> bytes) {
  m_log->Write("CMD", bytes);
  m_commands.emplace_back(bytes.begin(), bytes.end());

  std::optional<ReplyFault> fault;
  if (!m_replyFaults.empty()) {
    fault = m_replyFaults.front();
    m_replyFaults.pop_front();
  }
  const auto frame = ParseCommandFrame(bytes);
  const std::uint8_t code = frame ? frame->code : (bytes.size() > 3 ? bytes[3] : 0);
  CommandAnswer answer{1, 0};  // a frame the camera cannot read is refused
  if (fault == ReplyFault::Status1) {
    answer = {1, 0};
  } else if (fault == ReplyFault::Status2) {
    answer = {2, 0};
  } else if (frame) {
    const auto now = Clock::now();
    answer = frame->value ? m_model.Apply(frame->code, *frame->value, now) : m_model.ReadBack(frame->code, now);
  }

  m_reply.clear();
  m_replyPos = 0;
  if (fault == ReplyFault::NoReply) return;
  m_reply = BuildReply(answer.status, code, answer.value);
  if (fault) m_reply = GarbleReply(std::move(m_reply), *fault);
  m_log->Write("RPL", m_reply);
}

std::size_t SimCameraImpl::ReleasedBytes(const Pipe& pipe, Clock::time_point now) const {
  if (!m_options.paced) return pipe.size;
  const double ms = std::chrono::duration<double, std::milli>(now - pipe.queuedAt).count();
  const double bytes = std::max(0.0, ms) * m_bytesPerMsPerPipe;
  return bytes >= static_cast<double>(pipe.size) ? pipe.size : static_cast<std::size_t>(bytes);
}

Clock::time_point SimCameraImpl::ReleaseTime(const Pipe& pipe, std::size_t bytes) const {
  const double ms = static_cast<double>(bytes) / m_bytesPerMsPerPipe;
  return pipe.queuedAt + std::chrono::microseconds(static_cast<long long>(std::ceil(ms * 1000.0)));
}

bool SimCameraImpl::BulkRead(std::unique_lock<std::mutex>& lock, const HandleState& handle, std::uint64_t cancelEpoch,
                             std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                             std::uint32_t& bytesReturned) {
  const auto block = platform::BulkReadBlock::Decode(input);
  if (!block || block->pipeIndex >= kPipeCount || buffer.size() > platform::kMaxBulkReadBytes) return false;
  Pipe& pipe = m_pipes[block->pipeIndex];
  // The record keeps the recent reads only: a live view reads for hours.
  if (pipe.readLengths.size() >= kMaxReadRecords) {
    pipe.readLengths.erase(pipe.readLengths.begin(), pipe.readLengths.begin() + kMaxReadRecords / 2);
  }
  pipe.readLengths.push_back(static_cast<std::uint32_t>(buffer.size()));
  if (!Alive(handle, cancelEpoch)) return false;
  if (pipe.failReads > 0 || m_failAnyBulkRead > 0) {
    --(pipe.failReads > 0 ? pipe.failReads : m_failAnyBulkRead);
    return false;
  }
  if (buffer.empty()) return true;

  const std::uint64_t abortEpoch = m_abortEpoch;
  const auto deadline = Clock::now() + m_readTimeout;
  for (;;) {
    if (!Alive(handle, cancelEpoch) || m_abortEpoch != abortEpoch) return false;
    const auto now = Clock::now();
    auto wakeAt = deadline;
    if (pipe.stall == Stall::Until && now >= pipe.stallUntil) pipe.stall = Stall::None;
    if (pipe.stall == Stall::Until) wakeAt = std::min(wakeAt, pipe.stallUntil);
    if (pipe.stall == Stall::None && pipe.readPos < pipe.size) {
      // A read ends when it is full or the frame's share is: a USB short transfer.
      const std::size_t need = std::min(buffer.size(), pipe.size - pipe.readPos);
      if (ReleasedBytes(pipe, now) >= pipe.readPos + need) {
        std::memcpy(buffer.data(), pipe.data.data() + pipe.readPos, need);
        pipe.readPos += need;
        bytesReturned = static_cast<std::uint32_t>(need);
        return true;
      }
      wakeAt = std::min(wakeAt, ReleaseTime(pipe, pipe.readPos + need));
    }
    if (now >= deadline) return false;  // the driver's time-out
    m_wake.wait_until(lock, wakeAt);
  }
}

void SimCameraImpl::FlushPipes() {
  for (Pipe& pipe : m_pipes) {
    pipe.size = 0;
    pipe.readPos = 0;
  }
}

void SimCameraImpl::ClearStallsLocked(bool includingForever) {
  for (Pipe& pipe : m_pipes) {
    if (includingForever || pipe.stall != Stall::Forever) pipe.stall = Stall::None;
  }
}

void SimCameraImpl::Unplug() {
  std::lock_guard guard(m_mutex);
  if (!m_plugged) return;
  m_plugged = false;
  ++m_generation;  // every handle opened so far is dead from now on
  FlushPipes();
  m_reportedMode.reset();
  m_reply.clear();
  m_replyPos = 0;
  m_wake.notify_all();
}

void SimCameraImpl::Plug() {
  std::lock_guard guard(m_mutex);
  if (m_plugged) return;
  m_plugged = true;
  // Power-up: the settings return to their defaults and the pipes flow again.
  m_model.Reset();
  m_lastFrame.reset();
  ClearStallsLocked(true);
  m_wake.notify_all();
}

bool SimCameraImpl::IsPlugged() const {
  std::lock_guard guard(m_mutex);
  return m_plugged;
}

void SimCameraImpl::StallPipe(int pipe, std::chrono::milliseconds duration) {
  if (pipe < 0 || pipe >= kPipeCount) return;
  std::lock_guard guard(m_mutex);
  m_pipes[pipe].stall = Stall::Until;
  m_pipes[pipe].stallUntil = Clock::now() + duration;
  m_wake.notify_all();
}

void SimCameraImpl::StallPipeUntilRecovery(int pipe) {
  if (pipe < 0 || pipe >= kPipeCount) return;
  std::lock_guard guard(m_mutex);
  m_pipes[pipe].stall = Stall::UntilRecovery;
}

void SimCameraImpl::StallPipeForever(int pipe) {
  if (pipe < 0 || pipe >= kPipeCount) return;
  std::lock_guard guard(m_mutex);
  m_pipes[pipe].stall = Stall::Forever;
}

void SimCameraImpl::FailBulkReads(int pipe, int count) {
  std::lock_guard guard(m_mutex);
  if (pipe < 0) {
    m_failAnyBulkRead = std::max(0, count);
  } else if (pipe < kPipeCount) {
    m_pipes[pipe].failReads = std::max(0, count);
  }
}

void SimCameraImpl::FailVendorRequests(std::uint8_t requestCode, int count) {
  std::lock_guard guard(m_mutex);
  m_failVendor[requestCode] = std::max(0, count);
}

void SimCameraImpl::InjectReplyFault(ReplyFault fault, int count) {
  std::lock_guard guard(m_mutex);
  for (int i = 0; i < count; ++i) m_replyFaults.push_back(fault);
}

void SimCameraImpl::SetReplyPieceSize(std::size_t bytes) {
  std::lock_guard guard(m_mutex);
  m_replyPieceSize = bytes;
}

void SimCameraImpl::ClearFaults() {
  std::lock_guard guard(m_mutex);
  ClearStallsLocked(true);
  for (Pipe& pipe : m_pipes) pipe.failReads = 0;
  m_failAnyBulkRead = 0;
  m_failVendor.clear();
  m_replyFaults.clear();
  m_replyPieceSize = 0;
  m_wake.notify_all();
}

CameraSettings SimCameraImpl::Settings() const {
  std::lock_guard guard(m_mutex);
  return m_model.Settings(Clock::now());
}

Picture SimCameraImpl::LastFramePicture() const {
  std::lock_guard guard(m_mutex);
  if (!m_lastFrame) return {};
  return m_renderer.RenderPicture(m_lastFrame->key, m_lastFrame->number);
}

std::vector<std::vector<std::uint8_t>> SimCameraImpl::ReceivedCommands() const {
  std::lock_guard guard(m_mutex);
  return m_commands;
}

std::uint64_t SimCameraImpl::VendorRequestCount(std::uint8_t requestCode) const {
  std::lock_guard guard(m_mutex);
  auto it = m_vendorCounts.find(requestCode);
  return it == m_vendorCounts.end() ? 0 : it->second;
}

std::vector<std::uint32_t> SimCameraImpl::BulkReadLengths(int pipe) const {
  if (pipe < 0 || pipe >= kPipeCount) return {};
  std::lock_guard guard(m_mutex);
  return m_pipes[pipe].readLengths;
}

void SimCameraImpl::ClearRecords() {
  std::lock_guard guard(m_mutex);
  m_commands.clear();
  m_vendorCounts.clear();
  for (Pipe& pipe : m_pipes) pipe.readLengths.clear();
}

}  // namespace sim
