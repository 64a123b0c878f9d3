#include "platform/usb/libusb_driver.h"

#include <libusb.h>

#include <algorithm>
#include <limits>

#include "platform/driver_records.h"
#include "platform/usb/async_transfer.h"
#include "platform/usb/camera_list.h"
#include "platform/usb/claimed_device.h"
#include "platform/usb/libusb_session.h"

namespace platform::usb {

namespace {

thread_local UsbError t_lastOpenError = UsbError::None;

// libusb reads a zero time-out as "wait for ever", which no call may do.
unsigned int TimeoutMs(std::chrono::milliseconds limit) {
  const auto count = std::clamp<std::chrono::milliseconds::rep>(limit.count(), 1, std::numeric_limits<int>::max());
  return static_cast<unsigned int>(count);
}

const char* DirectionName(TransferDirection direction) {
  return direction == TransferDirection::DeviceToHost ? "in" : "out";
}

}  // namespace

// A handle the driver gave out. Calls hold it while they run; Close waits
// until none does, so no transfer outlives the handle it came through.
struct LibusbDriver::OpenHandle {
  std::uintptr_t id = 0;
  std::shared_ptr<ClaimedDevice> device;

  std::mutex lock;
  std::condition_variable idle;
  bool closed = false;
  int callsRunning = 0;
  std::vector<AsyncTransfer*> submitted;

  bool BeginCall() {
    std::lock_guard guard(lock);
    if (closed) return false;
    ++callsRunning;
    return true;
  }
  void EndCall() {
    std::lock_guard guard(lock);
    if (--callsRunning == 0) idle.notify_all();
  }
  void CancelSubmitted() {
    std::lock_guard guard(lock);
    for (AsyncTransfer* transfer : submitted) transfer->Cancel();
  }
};

std::shared_ptr<LibusbDriver> LibusbDriver::Create(const UsbDriverOptions& options) {
  auto driver = std::make_shared<LibusbDriver>(Token{}, options);
  if (!driver->m_session) return nullptr;
  return driver;
}

LibusbDriver::LibusbDriver(Token, const UsbDriverOptions& options)
    : m_options(options), m_ids(CameraIdList(options.extraIds)), m_log(options.verbose, options.log) {
  m_session = LibusbSession::Start(m_log);
  if (m_log.Enabled()) {
    std::string list;
    for (const UsbId& id : m_ids) list += (list.empty() ? "" : " ") + FormatUsbId(id);
    m_log.Line("camera ids: %s", list.c_str());
  }
}

LibusbDriver::~LibusbDriver() {
  std::vector<std::uintptr_t> left;
  {
    std::lock_guard guard(m_tableLock);
    for (const auto& entry : m_handles) left.push_back(entry.first);
  }
  for (std::uintptr_t id : left) Close(static_cast<DeviceHandle>(id));
}

UsbError LibusbDriver::LastOpenError() { return t_lastOpenError; }

std::shared_ptr<LibusbDriver::OpenHandle> LibusbDriver::Find(DeviceHandle handle) {
  std::lock_guard guard(m_tableLock);
  const auto found = m_handles.find(static_cast<std::uintptr_t>(handle));
  return found == m_handles.end() ? nullptr : found->second;
}

std::shared_ptr<ClaimedDevice> LibusbDriver::ShareOrOpen(int number, UsbError& error) {
  std::vector<AttachedCamera> attached = ListCameras(m_session->Context(), m_ids);
  const std::size_t count = attached.size();
  m_numbering.Update(std::move(attached));
  const AttachedCamera* found = m_numbering.Find(number);
  if (!found) {
    error = UsbError::NoSuchDevice;
    m_log.Line("no camera number %d: %zu attached", number, count);
    return nullptr;
  }
  const AttachedCamera& camera = *found;
  std::erase_if(m_devices, [](const std::weak_ptr<ClaimedDevice>& device) { return device.expired(); });
  for (const auto& weak : m_devices) {
    auto shared = weak.lock();
    if (shared && shared->Device() == camera.device.Get() && !shared->Gone()) {
      error = UsbError::None;
      return shared;
    }
  }
  auto opened = ClaimedDevice::Open(camera.device.Get(), m_options.interfaceNumber, camera.Name(), m_log, error);
  if (opened) m_devices.push_back(opened);
  return opened;
}

DeviceHandle LibusbDriver::Open(std::string_view devicePath) {
  const int number = DeviceNumberFromPath(devicePath);
  if (number < 0) {
    t_lastOpenError = UsbError::NoSuchDevice;
    return DeviceHandle::Null;
  }
  std::shared_ptr<ClaimedDevice> device;
  UsbError error = UsbError::None;
  {
    std::lock_guard guard(m_openLock);
    device = ShareOrOpen(number, error);
  }
  t_lastOpenError = error;
  if (!device) return DeviceHandle::Null;

  auto open = std::make_shared<OpenHandle>();
  open->device = std::move(device);
  {
    std::lock_guard guard(m_tableLock);
    open->id = m_nextHandle++;
    m_handles.emplace(open->id, open);
  }
  m_log.Line("EZUSB-%d: handle %zu on %s", number, static_cast<std::size_t>(open->id), open->device->Name().c_str());
  return static_cast<DeviceHandle>(open->id);
}

bool LibusbDriver::DeviceIoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                                   std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  bytesReturned = 0;
  const std::shared_ptr<OpenHandle> open = Find(handle);
  if (!open || !open->BeginCall()) {
    m_log.Line("handle %zu: %s", static_cast<std::size_t>(handle), ToText(UsbError::HandleClosed).data());
    return false;
  }
  UsbError error = UsbError::BadRequest;
  if (open->device->Gone()) {
    error = UsbError::Disconnected;
    m_log.Line("handle %zu: %s", static_cast<std::size_t>(open->id), ToText(error).data());
  } else if (code == kVendorRequestIoctl) {
    error = VendorRequest(*open, input, buffer, bytesReturned);
  } else if (code == kBulkReadIoctl) {
    error = BulkRead(*open, input, buffer, bytesReturned);
  } else {
    m_log.Line("handle %zu: unknown control code 0x%08x", static_cast<std::size_t>(open->id), code);
  }
  open->EndCall();
  return error == UsbError::None;
}

UsbError LibusbDriver::VendorRequest(OpenHandle& open, std::span<const std::uint8_t> input,
                                     std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
  const auto block = VendorRequestBlock::Decode(input);
  if (!block || buffer.size() > std::numeric_limits<std::uint16_t>::max()) {
    m_log.Line("handle %zu: malformed vendor request", static_cast<std::size_t>(open.id));
    return UsbError::BadRequest;
  }
  const bool in = block->transferDirection == TransferDirection::DeviceToHost;
  const auto length = static_cast<std::uint16_t>(buffer.size());
  auto transfer = AsyncTransfer::Create();
  if (!transfer) return UsbError::NoMemory;
  // The setup packet and the data stage travel in one buffer.
  std::vector<unsigned char> packet(LIBUSB_CONTROL_SETUP_SIZE + length);
  const unsigned direction = in ? LIBUSB_ENDPOINT_IN : LIBUSB_ENDPOINT_OUT;
  const auto requestType =
      static_cast<std::uint8_t>(direction | unsigned{LIBUSB_REQUEST_TYPE_VENDOR} | unsigned{LIBUSB_RECIPIENT_DEVICE});
  libusb_fill_control_setup(packet.data(), requestType, block->requestCode, block->wValue, block->wIndex, length);
  if (!in) std::copy(buffer.begin(), buffer.end(), packet.begin() + LIBUSB_CONTROL_SETUP_SIZE);
  const unsigned int timeout = TimeoutMs(m_options.controlTimeout);
  libusb_fill_control_transfer(transfer->Raw(), open.device->Handle(), packet.data(), nullptr, nullptr, timeout);

  const UsbError error = Run(open, *transfer, m_options.controlTimeout);
  const int moved = std::clamp(transfer->ActualLength(), 0, static_cast<int>(length));
  if (error == UsbError::None) {
    if (in) std::copy_n(packet.begin() + LIBUSB_CONTROL_SETUP_SIZE, moved, buffer.begin());
    bytesReturned = static_cast<std::uint32_t>(moved);
  }
  m_log.Line("handle %zu: vendor %s 0x%02x value 0x%04x index 0x%04x length %u: %s, %d bytes",
             static_cast<std::size_t>(open.id), DirectionName(block->transferDirection), block->requestCode,
             block->wValue, block->wIndex, static_cast<unsigned>(length), ToText(error).data(), moved);
  return error;
}

UsbError LibusbDriver::BulkRead(OpenHandle& open, std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                                std::uint32_t& bytesReturned) {
  const auto block = BulkReadBlock::Decode(input);
  const auto& pipes = open.device->Pipes();
  if (!block || buffer.size() > kMaxBulkReadBytes || block->pipeIndex >= pipes.size()) {
    m_log.Line("handle %zu: malformed bulk read (pipe %u of %zu, %zu bytes)", static_cast<std::size_t>(open.id),
               block ? block->pipeIndex : 0u, pipes.size(), buffer.size());
    return UsbError::BadRequest;
  }
  const Pipe pipe = pipes[block->pipeIndex];
  const bool readable = pipe.IsIn() && (pipe.transferType == LIBUSB_TRANSFER_TYPE_BULK ||
                                        pipe.transferType == LIBUSB_TRANSFER_TYPE_INTERRUPT);
  if (!readable) {
    m_log.Line("handle %zu: pipe %u (endpoint 0x%02x) cannot be read", static_cast<std::size_t>(open.id),
               block->pipeIndex, pipe.endpointAddress);
    return UsbError::BadRequest;
  }
  if (buffer.empty()) return UsbError::None;  // nothing to move, no need to bother the camera
  auto transfer = AsyncTransfer::Create();
  if (!transfer) return UsbError::NoMemory;
  const unsigned int timeout = TimeoutMs(m_options.bulkTimeout);
  // The caller's buffer is filled in place: the call does not return before
  // libusb has handed the transfer back.
  if (pipe.transferType == LIBUSB_TRANSFER_TYPE_BULK) {
    libusb_fill_bulk_transfer(transfer->Raw(), open.device->Handle(), pipe.endpointAddress, buffer.data(),
                              static_cast<int>(buffer.size()), nullptr, nullptr, timeout);
  } else {
    libusb_fill_interrupt_transfer(transfer->Raw(), open.device->Handle(), pipe.endpointAddress, buffer.data(),
                                   static_cast<int>(buffer.size()), nullptr, nullptr, timeout);
  }
  const UsbError error = Run(open, *transfer, m_options.bulkTimeout);
  if (error == UsbError::Stalled) {
    // The halt outlives this program on the camera; clear it so the next
    // read (or the next run) gets data again without unplugging.
    const int cleared = libusb_clear_halt(open.device->Handle(), pipe.endpointAddress);
    m_log.Line("handle %zu: endpoint 0x%02x halted, clearing: %s", static_cast<std::size_t>(open.id),
               pipe.endpointAddress, libusb_error_name(cleared));
  }
  const int moved = std::clamp(transfer->ActualLength(), 0, static_cast<int>(buffer.size()));
  if (error == UsbError::None) bytesReturned = static_cast<std::uint32_t>(moved);
  m_log.Line("handle %zu: bulk pipe %u endpoint 0x%02x length %zu: %s, %d bytes", static_cast<std::size_t>(open.id),
             block->pipeIndex, pipe.endpointAddress, buffer.size(), ToText(error).data(), moved);
  return error;
}

UsbError LibusbDriver::Run(OpenHandle& open, AsyncTransfer& transfer, std::chrono::milliseconds limit) {
  {
    std::lock_guard guard(open.lock);
    // Submitting under the lock means CancelIo and Close see every transfer.
    if (open.closed) return UsbError::Cancelled;
    const UsbError submitted = transfer.Submit();
    if (submitted != UsbError::None) {
      if (submitted == UsbError::Disconnected) open.device->MarkGone();
      return submitted;
    }
    open.submitted.push_back(&transfer);
  }
  const UsbError result = transfer.Wait(limit);
  {
    std::lock_guard guard(open.lock);
    std::erase(open.submitted, &transfer);
  }
  if (result == UsbError::Disconnected) open.device->MarkGone();
  return result;
}

void LibusbDriver::CancelIo(DeviceHandle handle) {
  if (const auto open = Find(handle)) {
    m_log.Line("handle %zu: cancelling", static_cast<std::size_t>(open->id));
    open->CancelSubmitted();
  }
}

void LibusbDriver::Close(DeviceHandle handle) {
  std::shared_ptr<OpenHandle> open;
  {
    std::lock_guard guard(m_tableLock);
    const auto found = m_handles.find(static_cast<std::uintptr_t>(handle));
    if (found == m_handles.end()) return;
    open = std::move(found->second);
    m_handles.erase(found);
  }
  {
    std::unique_lock guard(open->lock);
    open->closed = true;
    for (AsyncTransfer* transfer : open->submitted) transfer->Cancel();
    // Cancelled transfers come back promptly; the handle's share of the
    // camera goes only once every call through it has returned.
    open->idle.wait(guard, [&] { return open->callsRunning == 0; });
  }
  m_log.Line("handle %zu: closed", static_cast<std::size_t>(open->id));
  std::lock_guard guard(m_openLock);  // the last share releases the camera; never during an Open
  open->device.reset();
}

std::uint64_t LibusbDriver::DeviceArrivals() const { return m_session ? m_session->Arrivals() : 0; }

std::shared_ptr<IDriver> CreateLibusbDriver(const UsbDriverOptions& options) { return LibusbDriver::Create(options); }

}  // namespace platform::usb
