// The attached cameras, numbered as the device paths count them.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "platform/usb/device_order.h"
#include "platform/usb/usb_driver.h"

struct libusb_context;
struct libusb_device;

namespace platform::usb {

// A referenced libusb device; the reference goes with the object.
class DeviceRef {
 public:
  DeviceRef() = default;
  explicit DeviceRef(libusb_device* device);  // adds a reference
  ~DeviceRef();
  DeviceRef(DeviceRef&& other) noexcept;
  DeviceRef& operator=(DeviceRef&& other) noexcept;
  DeviceRef(const DeviceRef&) = delete;
  DeviceRef& operator=(const DeviceRef&) = delete;

  libusb_device* Get() const { return m_device; }

 private:
  libusb_device* m_device = nullptr;
};

struct AttachedCamera {
  DeviceRef device;
  UsbId id;
  DeviceLocation location;

  // "bus 1 port 2 address 5 (04b4:8613)"
  std::string Name() const;
};

// Every attached device whose ids are in `ids`, in the stable order.
std::vector<AttachedCamera> ListCameras(libusb_context* context, std::span<const UsbId> ids);

}  // namespace platform::usb
