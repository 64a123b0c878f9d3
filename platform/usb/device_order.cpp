#include "platform/usb/device_order.h"

#include <algorithm>

namespace platform::usb {

bool ComesBefore(const DeviceLocation& a, const DeviceLocation& b) {
  if (a.bus != b.bus) return a.bus < b.bus;
  if (a.ports != b.ports) {
    return std::lexicographical_compare(a.ports.begin(), a.ports.end(), b.ports.begin(), b.ports.end());
  }
  return a.address < b.address;
}

std::string Describe(const DeviceLocation& location) {
  std::string text = "bus " + std::to_string(location.bus) + " port ";
  if (location.ports.empty()) text += "?";
  for (std::size_t i = 0; i < location.ports.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(location.ports[i]);
  }
  text += " address " + std::to_string(location.address);
  return text;
}

}  // namespace platform::usb
