// One libusb context and the thread that completes its asynchronous
// transfers. Transfers finish, time out and get cancelled only while events
// are handled, so the thread runs for the session's whole life.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

struct libusb_context;

namespace platform::usb {

class UsbLog;

class LibusbSession {
 public:
  // Null when libusb cannot be initialised.
  static std::unique_ptr<LibusbSession> Start(UsbLog& log);
  ~LibusbSession();
  LibusbSession(const LibusbSession&) = delete;
  LibusbSession& operator=(const LibusbSession&) = delete;

  libusb_context* Context() const { return m_context; }

 private:
  explicit LibusbSession(libusb_context* context);
  void HandleEvents();

  libusb_context* m_context;
  std::atomic<bool> m_stopping{false};
  std::thread m_eventThread;
};

}  // namespace platform::usb
