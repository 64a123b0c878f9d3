#include "platform/usb/camera_list.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <utility>

namespace platform::usb {

DeviceRef::DeviceRef(libusb_device* device) : m_device(device) {
  if (m_device) libusb_ref_device(m_device);
}

DeviceRef::~DeviceRef() {
  if (m_device) libusb_unref_device(m_device);
}

DeviceRef::DeviceRef(DeviceRef&& other) noexcept : m_device(std::exchange(other.m_device, nullptr)) {}

DeviceRef& DeviceRef::operator=(DeviceRef&& other) noexcept {
  if (this != &other) {
    if (m_device) libusb_unref_device(m_device);
    m_device = std::exchange(other.m_device, nullptr);
  }
  return *this;
}

std::string AttachedCamera::Name() const { return Describe(location) + " (" + FormatUsbId(id) + ")"; }

std::vector<AttachedCamera> ListCameras(libusb_context* context, std::span<const UsbId> ids) {
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  std::vector<AttachedCamera> cameras;
  if (count < 0) return cameras;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS) continue;
    const UsbId id{descriptor.idVendor, descriptor.idProduct};
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) continue;
    AttachedCamera camera{DeviceRef(list[i]), id, {}};
    camera.location.bus = libusb_get_bus_number(list[i]);
    camera.location.address = libusb_get_device_address(list[i]);
    std::array<std::uint8_t, 8> ports{};  // USB 3 allows at most 7 tiers
    const int depth = libusb_get_port_numbers(list[i], ports.data(), static_cast<int>(ports.size()));
    if (depth > 0) camera.location.ports.assign(ports.begin(), ports.begin() + depth);
    cameras.push_back(std::move(camera));
  }
  libusb_free_device_list(list, 1);
  std::sort(cameras.begin(), cameras.end(),
            [](const AttachedCamera& a, const AttachedCamera& b) { return ComesBefore(a.location, b.location); });
  return cameras;
}

}  // namespace platform::usb
