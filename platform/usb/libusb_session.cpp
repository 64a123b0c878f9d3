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

LibusbSession::LibusbSession(libusb_context* context) : m_context(context) {
  WatchArrivals();
  m_eventThread = std::thread([this] { HandleEvents(); });
}

void LibusbSession::WatchArrivals() {
  if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) return;
  // Any device: the camera list decides later which ones are cameras. The
  // callback only counts, since it runs inside libusb's event handling.
  const auto counted = [](libusb_context*, libusb_device*, libusb_hotplug_event, void* session) -> int {
    static_cast<LibusbSession*>(session)->m_arrivals.fetch_add(1);
    return 0;
  };
  libusb_hotplug_callback_handle handle = 0;
  if (libusb_hotplug_register_callback(m_context, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_NO_FLAGS,
                                       LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
                                       counted, this, &handle) == LIBUSB_SUCCESS) {
    m_watching = true;
    m_arrivalWatch = handle;
  }
}

LibusbSession::~LibusbSession() {
  if (m_watching) libusb_hotplug_deregister_callback(m_context, m_arrivalWatch);
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
