// One opened camera with its interface claimed. Every driver handle on the
// same camera shares one of these; the last handle to go releases it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/usb/usb_error.h"

struct libusb_device;
struct libusb_device_handle;

namespace platform::usb {

class UsbLog;

struct Pipe {
  std::uint8_t endpointAddress = 0;  // bit 7 set for device-to-host
  std::uint8_t transferType = 0;     // LIBUSB_TRANSFER_TYPE_*
  bool IsIn() const { return (endpointAddress & 0x80) != 0; }
};

class ClaimedDevice {
 public:
  // Opens `device`, detaches a kernel driver bound to the interface and
  // claims it. Null with `error` set when any step fails.
  static std::shared_ptr<ClaimedDevice> Open(libusb_device* device, int interfaceNumber, std::string name, UsbLog& log,
                                             UsbError& error);
  ~ClaimedDevice();
  ClaimedDevice(const ClaimedDevice&) = delete;
  ClaimedDevice& operator=(const ClaimedDevice&) = delete;

  libusb_device_handle* Handle() const { return m_handle; }
  libusb_device* Device() const { return m_device; }
  const std::string& Name() const { return m_name; }

  // The bulk pipes, in the order the interface descriptor lists its endpoints.
  const std::vector<Pipe>& Pipes() const { return m_pipes; }

  // Set once the camera is known to be unplugged; every later call fails.
  bool Gone() const { return m_gone.load(); }
  void MarkGone() { m_gone.store(true); }

 private:
  ClaimedDevice(libusb_device_handle* handle, int interfaceNumber, std::string name, std::vector<Pipe> pipes,
                UsbLog& log);

  libusb_device_handle* m_handle;
  libusb_device* m_device;
  int m_interfaceNumber;
  std::string m_name;
  std::vector<Pipe> m_pipes;
  UsbLog& m_log;
  std::atomic<bool> m_gone{false};
};

}  // namespace platform::usb
