// The driver interface on libusb: device paths name cameras on the camera
// list, vendor requests are control transfers, bulk reads are asynchronous
// transfers that CancelIo and Close can end at any moment.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "platform/usb/camera_numbering.h"
#include "platform/usb/usb_driver.h"
#include "platform/usb/usb_error.h"
#include "platform/usb/usb_log.h"

namespace platform::usb {

class AsyncTransfer;
class ClaimedDevice;
class LibusbSession;

class LibusbDriver final : public IDriver {
 public:
  // Null when libusb cannot be started.
  static std::shared_ptr<LibusbDriver> Create(const UsbDriverOptions& options);
  ~LibusbDriver() override;
  LibusbDriver(const LibusbDriver&) = delete;
  LibusbDriver& operator=(const LibusbDriver&) = delete;

  DeviceHandle Open(std::string_view devicePath) override;
  bool DeviceIoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override;
  void CancelIo(DeviceHandle handle) override;
  void Close(DeviceHandle handle) override;
  std::uint64_t DeviceArrivals() const override;

  // Why the last Open on this thread failed (None after a success).
  static UsbError LastOpenError();

 private:
  struct OpenHandle;
  struct Token {};

 public:
  LibusbDriver(Token, const UsbDriverOptions& options);

 private:
  std::shared_ptr<OpenHandle> Find(DeviceHandle handle);
  std::shared_ptr<ClaimedDevice> ShareOrOpen(int number, UsbError& error);
  UsbError VendorRequest(OpenHandle& open, std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                         std::uint32_t& bytesReturned);
  UsbError BulkRead(OpenHandle& open, std::span<const std::uint8_t> input, std::span<std::uint8_t> buffer,
                    std::uint32_t& bytesReturned);
  // Submits, registers for cancellation, waits; marks the camera gone on unplug.
  UsbError Run(OpenHandle& open, AsyncTransfer& transfer, std::chrono::milliseconds limit);

  UsbDriverOptions m_options;
  std::vector<UsbId> m_ids;
  UsbLog m_log;
  std::unique_ptr<LibusbSession> m_session;

  std::mutex m_openLock;  // one enumeration and claim at a time
  CameraNumbering m_numbering;
  std::vector<std::weak_ptr<ClaimedDevice>> m_devices;

  std::mutex m_tableLock;
  std::map<std::uintptr_t, std::shared_ptr<OpenHandle>> m_handles;
  std::uintptr_t m_nextHandle = 1;
};

}  // namespace platform::usb
