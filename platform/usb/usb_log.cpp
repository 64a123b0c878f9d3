#include "platform/usb/usb_log.h"

#include <cstdarg>
#include <cstdio>

namespace platform::usb {

UsbLog::UsbLog(bool enabled, Sink sink) : m_enabled(enabled), m_sink(std::move(sink)) {}

void UsbLog::Line(const char* format, ...) {
  if (!m_enabled) return;
  char text[512];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return;
  std::lock_guard guard(m_lock);
  if (m_sink) {
    m_sink(text);
  } else {
    std::fprintf(stderr, "tavrocam usb: %s\n", text);
  }
}

}  // namespace platform::usb
