#include "platform/usb/claimed_device.h"

#include <libusb.h>

#include "platform/usb/usb_log.h"

namespace platform::usb {

namespace {

// The endpoints of the interface's setting 0: the setting a configured
// device starts in, and nothing here ever selects another.
std::vector<Pipe> ReadPipes(libusb_device* device, int interfaceNumber, UsbError& error) {
  libusb_config_descriptor* config = nullptr;
  const int result = libusb_get_active_config_descriptor(device, &config);
  if (result != LIBUSB_SUCCESS) {
    error = FromLibusbError(result);
    return {};
  }
  std::vector<Pipe> pipes;
  error = UsbError::NoSuchDevice;
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& entry = config->interface[i];
    if (entry.num_altsetting < 1) continue;
    const libusb_interface_descriptor& setting = entry.altsetting[0];
    if (setting.bInterfaceNumber != interfaceNumber) continue;
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
      pipes.push_back(
          {endpoint.bEndpointAddress, static_cast<std::uint8_t>(endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK)});
    }
    error = UsbError::None;
    break;
  }
  libusb_free_config_descriptor(config);
  return pipes;
}

}  // namespace

std::shared_ptr<ClaimedDevice> ClaimedDevice::Open(libusb_device* device, int interfaceNumber, std::string name,
                                                   UsbLog& log, UsbError& error) {
  std::vector<Pipe> pipes = ReadPipes(device, interfaceNumber, error);
  if (error != UsbError::None) {
    log.Line("%s: no interface %d: %s", name.c_str(), interfaceNumber, ToText(error).data());
    return nullptr;
  }
  libusb_device_handle* handle = nullptr;
  int result = libusb_open(device, &handle);
  if (result != LIBUSB_SUCCESS) {
    error = FromLibusbError(result);
    log.Line("%s: open failed: %s (%s)", name.c_str(), libusb_error_name(result), ToText(error).data());
    return nullptr;
  }
  // Not every platform can detach; where it cannot, the claim below tells.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  result = libusb_claim_interface(handle, interfaceNumber);
  if (result != LIBUSB_SUCCESS) {
    error = FromLibusbError(result);
    log.Line("%s: claiming interface %d failed: %s (%s)", name.c_str(), interfaceNumber, libusb_error_name(result),
             ToText(error).data());
    libusb_close(handle);
    return nullptr;
  }
  log.Line("%s: opened, interface %d claimed, %zu endpoints", name.c_str(), interfaceNumber, pipes.size());
  error = UsbError::None;
  return std::shared_ptr<ClaimedDevice>(
      new ClaimedDevice(handle, interfaceNumber, std::move(name), std::move(pipes), log));
}

ClaimedDevice::ClaimedDevice(libusb_device_handle* handle, int interfaceNumber, std::string name,
                             std::vector<Pipe> pipes, UsbLog& log)
    : m_handle(handle),
      m_device(libusb_get_device(handle)),
      m_interfaceNumber(interfaceNumber),
      m_name(std::move(name)),
      m_pipes(std::move(pipes)),
      m_log(log) {}

ClaimedDevice::~ClaimedDevice() {
  // Releasing an unplugged camera fails harmlessly; the handle is closed either way.
  if (!Gone()) libusb_release_interface(m_handle, m_interfaceNumber);
  libusb_close(m_handle);
  m_log.Line("%s: closed", m_name.c_str());
}

}  // namespace platform::usb
