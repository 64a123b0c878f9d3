// The support log of the USB backend: silent unless verbose, one line a call.
#pragma once

#include <functional>
#include <mutex>
#include <string_view>

namespace platform::usb {

class UsbLog {
 public:
  using Sink = std::function<void(std::string_view line)>;

  // An empty sink writes to standard error.
  UsbLog(bool enabled, Sink sink);

  bool Enabled() const { return m_enabled; }
  void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  bool m_enabled;
  Sink m_sink;
  std::mutex m_lock;  // lines come from every reader thread and libusb's own
};

}  // namespace platform::usb
