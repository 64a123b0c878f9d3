// Finding, claiming, opening and closing the camera, and the small queries.
#include "camera/usb_camera.h"

#include <cstdio>
#include <new>

#include "camera/frame_assembler.h"
#include "camera/frame_layout.h"
#include "platform/driver_records.h"
#include "platform/failure_record.h"
#include "platform/sleep.h"

using camera::CameraError;
using platform::DeviceHandle;
using platform::TransferDirection;

namespace {

// Mode (a signed byte from the camera), width and height of one PictureMode.
std::uint64_t PackPicture(const CUsbCamera::PictureMode& picture) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(picture.mode)) |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(picture.width)) << 32 |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(picture.height)) << 48;
}

CUsbCamera::PictureMode UnpackPicture(std::uint64_t packed) {
  return {static_cast<std::int32_t>(static_cast<std::uint32_t>(packed)), static_cast<std::uint16_t>(packed >> 32),
          static_cast<std::uint16_t>(packed >> 48)};
}

}  // namespace

CUsbCamera::CUsbCamera(platform::IDriver& driver, CameraTiming timing)
    : m_driver(driver),
      m_timing(timing),
      m_stageA(new (std::nothrow) std::uint8_t[kFrameBytes]),
      m_stageB(new (std::nothrow) std::uint8_t[kFrameBytes]),
      m_picture(PackPicture({})),
      m_vectorSupported(camera::VectorAssemblySupported()),
      m_useVectorAssembly(m_vectorSupported) {
  // Zeroed so that a frame assembled from a short pipe never shows stale heap bytes.
  for (auto& buffer : m_pipeBuf) buffer.reset(new (std::nothrow) std::uint8_t[kPipeBufferBytes]());
  for (std::uint32_t p = 0; p < kPipeCount; ++p) m_readerContext[p] = {this, p};
}

bool CUsbCamera::BuffersAllocated() const {
  for (const auto& buffer : m_pipeBuf) {
    if (!buffer) return false;
  }
  return m_stageA && m_stageB;
}

CUsbCamera::~CUsbCamera() {
  // The owner closes the link first; closing here as well keeps any reader
  // thread from outliving the buffers it writes.
  Close();
}

DeviceHandle CUsbCamera::OpenDevice(const char* path) { return m_driver.Open(path); }

bool CUsbCamera::Open() {
  if (m_opened.load()) {
    FailLink(CameraError::AlreadyOpen, "camera link: opening");
    return false;
  }
  // Without its frame buffers the link could only crash later; it stays closed.
  if (!BuffersAllocated()) {
    FailLink(CameraError::OutOfMemory, "camera link: opening");
    return false;
  }

  DeviceHandle device = DeviceHandle::Null;
  for (int n = 0; n <= platform::kMaxDeviceNumber; ++n) {
    std::snprintf(m_devicePath.data(), m_devicePath.size(), "\\\\.\\EZUSB-%d", n);
    std::snprintf(m_mutexName.data(), m_mutexName.size(), "EZUSB-%d", n);
    device = OpenDevice(m_devicePath.data());
    if (device == DeviceHandle::Null) continue;
    std::uint32_t lastError = 0;
    m_hMutex = platform::DeviceClaim::Create(m_mutexName.data(), lastError);
    if (lastError == platform::kErrorSuccess && m_hMutex) break;
    // Another running copy holds this camera (or the claim failed): try the next one.
    std::snprintf(m_errorText.data(), m_errorText.size(), "%s failed: GetLastError returned %u\n", m_mutexName.data(),
                  static_cast<unsigned>(lastError));
    m_driver.Close(device);
    device = DeviceHandle::Null;
    m_hMutex.reset();
  }
  if (device == DeviceHandle::Null) {
    FailLink(CameraError::NoFreeCamera, "camera link: opening");
    return false;
  }

  const DeviceHandle control = OpenDevice(m_devicePath.data());
  {
    std::unique_lock guard(m_handleGuard);
    m_hDevice = device;
    m_hControl = control;
    for (auto& e : m_startEvent) e = platform::CreateEvent(false, false);
    for (auto& e : m_doneEvent) e = platform::CreateEvent(true, false);
  }
  std::uint32_t moved = 0;
  platform::SendVendorRequest(m_driver, control, platform::request::kAttach, TransferDirection::HostToDevice, {},
                              moved);

  // A link opened again starts afresh; a frame given up on the previous one
  // would otherwise make every reader stop after its first piece.
  m_aborted = false;
  m_running = true;
  for (std::size_t p = 0; p < kPipeCount; ++p) m_readers[p].Start(&CUsbCamera::ReaderThread, &m_readerContext[p]);
  platform::SleepMs(m_timing.Ms(CameraTiming::kReaderStartPauseMs));
  m_opened = true;
  m_lastLinkError = CameraError::None;
  return true;
}

void CUsbCamera::StopReaders() {
  for (auto& e : m_startEvent) platform::SetEvent(e);
  // A reader inside a bulk read would keep us waiting until the camera sends
  // or the driver times out; cancel its read instead, and again on every poll
  // in case it started a read after the first cancel.
  auto cancelPending = [this] {
    std::lock_guard guard(m_readerHandleLock);
    for (DeviceHandle h : m_readerHandle) {
      if (h != DeviceHandle::Null) m_driver.CancelIo(h);
    }
  };
  auto anyAlive = [this] {
    for (const auto& alive : m_readerAlive) {
      if (alive.load()) return true;
    }
    return false;
  };
  cancelPending();
  while (anyAlive()) {
    platform::SleepMs(m_timing.Ms(CameraTiming::kReaderPollMs));
    cancelPending();
  }
  for (auto& reader : m_readers) reader.Join();
}

void CUsbCamera::Close() {
  if (!m_opened.load()) return;
  m_opened = false;
  m_running = false;
  StopReaders();

  // A vendor request pending on the link's own handles holds the guard; make
  // it fail now rather than at the driver's time-out, and again while the
  // guard stays taken, for a request that started after the cancel.
  std::unique_lock guard(m_handleGuard, std::defer_lock);
  while (!guard.try_lock()) {
    m_driver.CancelIo(m_hDevice.load());
    m_driver.CancelIo(m_hControl.load());
    platform::SleepMs(m_timing.Ms(CameraTiming::kReaderPollMs));
  }
  for (auto& e : m_startEvent) platform::CloseEvent(e);
  for (auto& e : m_doneEvent) platform::CloseEvent(e);
  m_driver.Close(m_hDevice.exchange(DeviceHandle::Null));
  m_driver.Close(m_hControl.exchange(DeviceHandle::Null));
  m_hMutex.reset();
}

bool CUsbCamera::IsOpen() const { return m_opened.load(); }

bool CUsbCamera::CheckPresent() {
  if (!m_opened.load()) return false;
  const DeviceHandle probe = OpenDevice(m_devicePath.data());
  if (probe == DeviceHandle::Null) {
    Close();
    return false;
  }
  m_driver.Close(probe);
  return true;
}

bool CUsbCamera::QueryHighSpeed() {
  std::shared_lock guard(m_handleGuard);
  if (m_hDevice.load() == DeviceHandle::Null) return false;
  std::array<std::uint8_t, 1> reply{};
  std::uint32_t received = 0;
  if (!platform::SendVendorRequest(m_driver, m_hControl.load(), platform::request::kQuerySpeed,
                                   TransferDirection::DeviceToHost, reply, received)) {
    return false;
  }
  // A reply without its byte says nothing about the speed.
  return received >= 1 && reply[0] != 0;
}

bool CUsbCamera::QueryMode() {
  std::array<std::uint8_t, platform::kModeReplyBytes> reply{};
  std::uint32_t received = 0;
  bool ok = false;
  {
    std::shared_lock guard(m_handleGuard);
    if (m_hDevice.load() == DeviceHandle::Null) return false;
    std::lock_guard requestLock(m_lock);
    ok = platform::SendVendorRequest(m_driver, m_hControl.load(), platform::request::kQueryMode,
                                     TransferDirection::DeviceToHost, reply, received);
  }
  if (!ok || received == 0) return false;

  const int code = static_cast<std::int8_t>(reply[0]);
  PictureMode picture = Picture();
  picture.mode = code;
  const camera::FrameLayout* layout = camera::FindFrameLayout(code);
  if (layout != nullptr) {
    picture.width = layout->width;
    picture.height = layout->height;
  }
  SetPicture(picture);
  return layout != nullptr;
}

void CUsbCamera::FailLink(CameraError error, const char* what) {
  m_lastLinkError = error;
  std::string why = camera::CameraErrorText(error);
  // The claim's own words, when a camera was found but held by another copy.
  if (error == CameraError::NoFreeCamera && m_errorText[0] != '\0') {
    std::string claim = m_errorText.data();
    while (!claim.empty() && claim.back() == '\n') claim.pop_back();
    why += " (" + claim + ")";
  }
  platform::Failures().Record(what, why);
}

CUsbCamera::PictureMode CUsbCamera::Picture() const { return UnpackPicture(m_picture.load()); }
void CUsbCamera::SetPicture(PictureMode picture) { m_picture.store(PackPicture(picture)); }

void CUsbCamera::SetLogSink(ICommandLogSink* sink) { m_logSink = sink; }

std::string CUsbCamera::DevicePath() const { return m_devicePath.data(); }
std::string CUsbCamera::MutexName() const { return m_mutexName.data(); }
std::string CUsbCamera::ErrorText() const { return m_errorText.data(); }
