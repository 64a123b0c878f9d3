#include "platform/usb/libusb_session.h"

#include <libusb.h>

#include "platform/usb/usb_error.h"
#include "platform/usb/usb_log.h"

namespace platform::usb {

std::unique_ptr<LibusbSession> LibusbSession::Start(UsbLog& log) {
  libusb_context* context = nullptr;
  const int result = libusb_init(&context);
  if (result != LIBUSB_SUCCESS) {
    log.Line("libusb could not start: %s (%s)", libusb_error_name(result), ToText(FromLibusbError(result)).data());
    return nullptr;
  }
  // libusb's own warnings (on standard error) belong to the support log too.
  if (log.Enabled()) libusb_set_option(context, LIBUSB_OPTION_LOG_LEVEL, LIBUSB_LOG_LEVEL_WARNING);
  const libusb_version* version = libusb_get_version();
  log.Line("libusb %u.%u.%u started", version->major, version->minor, version->micro);
  return std::unique_ptr<LibusbSession>(new LibusbSession(context));
}

LibusbSession::LibusbSession(libusb_context* context) : m_context(context), m_eventThread([this] { HandleEvents(); }) {}

LibusbSession::~LibusbSession() {
  m_stopping.store(true);
  libusb_interrupt_event_handler(m_context);
  m_eventThread.join();
  libusb_exit(m_context);
}

void LibusbSession::HandleEvents() {
  while (!m_stopping.load()) {
    // The time limit only bounds how late a missed interrupt is noticed.
    timeval limit{0, 200000};
    libusb_handle_events_timeout_completed(m_context, &limit, nullptr);
  }
}

}  // namespace platform::usb
