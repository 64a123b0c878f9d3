// Fetching one frame: the four pipe readers, the stall recovery and the hand-off to assembly.
#include <algorithm>
#include <cstring>

#include "camera/frame_assembler.h"
#include "camera/frame_layout.h"
#include "camera/usb_camera.h"
#include "platform/driver_records.h"

using camera::CameraError;
using platform::DeviceHandle;
using platform::TransferDirection;
using platform::WaitResult;

std::uint32_t CUsbCamera::ReaderThread(void* param) {
  const auto* context = static_cast<const ReaderContext*>(param);
  context->link->ServePipe(context->pipe);
  return 0;
}

void CUsbCamera::ServePipe(std::uint32_t pipe) {
  m_readerAlive[pipe] = true;
  platform::EventHandle start;
  platform::EventHandle done;
  {
    std::shared_lock guard(m_handleGuard);
    start = m_startEvent[pipe];
    done = m_doneEvent[pipe];
  }
  // Each reader reads on a handle of its own so the four bulk reads run side by side.
  const DeviceHandle handle = OpenDevice(m_devicePath.data());
  if (handle == DeviceHandle::Null) {
    m_readerAlive[pipe] = false;
    return;
  }
  {
    std::lock_guard guard(m_readerHandleLock);
    m_readerHandle[pipe] = handle;
  }
  while (m_running.load()) {
    const WaitResult woke = platform::WaitForEvent(start, platform::kInfinite);
    if (!m_running.load() || woke != WaitResult::Signalled) {
      platform::SetEvent(done);
      break;
    }
    ReadShare(pipe, handle);
    platform::SetEvent(done);
  }
  {
    std::lock_guard guard(m_readerHandleLock);
    m_readerHandle[pipe] = DeviceHandle::Null;
  }
  m_driver.Close(handle);
  m_readerAlive[pipe] = false;
}

void CUsbCamera::ReadShare(std::uint32_t pipe, DeviceHandle handle) {
  std::uint8_t* buffer = m_pipeBuf[pipe].get();
  const std::uint32_t share = std::min<std::uint32_t>(m_bytesPerPipe.load(), kPipeBufferBytes);
  for (std::uint32_t position = 0; position < share;) {
    const std::uint32_t piece = std::min(share - position, platform::kMaxBulkReadBytes);
    std::uint32_t received = 0;
    const bool ok = platform::ReadBulkPipe(m_driver, handle, pipe, {buffer + position, piece}, received);
    if (m_aborted.load()) return;
    if (!ok) {
      m_running = false;
      return;
    }
    // The link is closing: the rest of the share is of no use.
    if (!m_running.load()) return;
    // The camera's short last packet of a share still counts as the whole piece.
    position += piece;
  }
}

bool CUsbCamera::SendDeviceRequest(std::uint8_t requestCode) {
  std::shared_lock guard(m_handleGuard);
  const DeviceHandle device = m_hDevice.load();
  if (device == DeviceHandle::Null) return false;
  std::uint32_t moved = 0;
  return platform::SendVendorRequest(m_driver, device, requestCode, TransferDirection::HostToDevice, {}, moved);
}

bool CUsbCamera::FailFrame(CameraError error) {
  FailLink(error, "camera link: fetching a frame");
  return false;
}

bool CUsbCamera::GrabFrame(std::uint8_t* dest) {
  if (dest == nullptr) return FailFrame(CameraError::NullDestination);
  const PictureMode picture = Picture();
  const camera::FrameLayout* layout = camera::FindFrameLayout(picture.mode);
  // The caller sized its buffer from the picture's width and height: a mode
  // that does not match them would write a frame of another size.
  if (layout == nullptr || layout->width != picture.width || layout->height != picture.height) {
    return FailFrame(CameraError::UnknownMode);
  }

  // Copies of the events: Close may close the link's own while we wait on these.
  std::array<platform::EventHandle, kPipeCount> start;
  std::array<platform::EventHandle, kPipeCount> done;
  {
    std::shared_lock guard(m_handleGuard);
    const DeviceHandle control = m_hControl.load();
    if (control == DeviceHandle::Null) return FailFrame(CameraError::NotOpen);
    start = m_startEvent;
    done = m_doneEvent;
    std::uint32_t moved = 0;
    if (!platform::SendVendorRequest(m_driver, control, platform::request::kStartFrame, TransferDirection::HostToDevice,
                                     {}, moved)) {
      return FailFrame(CameraError::DriverCallFailed);
    }
  }

  const bool highSpeed = m_highSpeed.load();
  m_bytesPerPipe = layout->BytesPerPipe(highSpeed);
  for (auto& e : done) platform::ResetEvent(e);
  for (auto& e : start) platform::SetEvent(e);

  const camera::FrameWaitLimits limits = camera::FrameWaitLimitsFor(highSpeed);
  if (platform::WaitForAllEvents(done, m_timing.Ms(limits.firstMs)) == WaitResult::TimedOut) {
    SendDeviceRequest(platform::request::kRecover);
    if (platform::WaitForAllEvents(done, m_timing.Ms(limits.secondMs)) == WaitResult::TimedOut) {
      SendDeviceRequest(platform::request::kGiveUp);
      m_running = false;
      m_aborted = true;
      return FailFrame(CameraError::TransferGivenUp);
    }
    m_aborted = false;
  }
  // A failed read, or Close during the wait, ends the frame here, before the destination is touched.
  if (!m_running.load()) return FailFrame(CameraError::TransferFailed);

  // Mode 5 at full speed reads one chunk less from pipe 0 than the chunk rule
  // puts there; that chunk shows as zeros rather than as an older frame's bytes.
  const std::uint32_t share = m_bytesPerPipe.load();
  camera::PipeViews pipes;
  for (std::size_t p = 0; p < kPipeCount; ++p) {
    const std::size_t used = camera::PipeBytesUsed(layout->chunkCount, p);
    if (share < used) std::memset(m_pipeBuf[p].get() + share, 0, used - share);
    pipes[p] = {m_pipeBuf[p].get(), kPipeBufferBytes};
  }
  const camera::FrameShape shape{layout->width, layout->height, layout->chunkCount};
  const std::span<std::uint8_t> out(dest, layout->FrameBytes());
  const int orientation = m_orientation.load();
  const bool assembled = m_useVectorAssembly.load()
                             ? camera::AssembleFrameDirect(pipes, shape, orientation, out)
                             : camera::AssembleFrameStaged(pipes, shape, orientation, {m_stageA.get(), kFrameBytes},
                                                           {m_stageB.get(), kFrameBytes}, out);
  if (!assembled) return FailFrame(CameraError::TransferFailed);
  m_lastLinkError = CameraError::None;
  return true;
}
