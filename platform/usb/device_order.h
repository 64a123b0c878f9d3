// Where a device sits on the USB tree, and the stable order in which cameras
// are numbered: by bus, then by the chain of hub ports leading to it. The
// address, which changes with every plug-in, only breaks ties when the port
// chain is unknown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::usb {

struct DeviceLocation {
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> ports;  // from the root hub down
  std::uint8_t address = 0;
};

bool ComesBefore(const DeviceLocation& a, const DeviceLocation& b);

// "bus 1 port 2.3 address 7", as the support log shows it.
std::string Describe(const DeviceLocation& location);

}  // namespace platform::usb
