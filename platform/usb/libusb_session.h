// One libusb context and the thread that completes its asynchronous
// transfers. Transfers finish, time out and get cancelled only while events
// are handled, so the thread runs for the session's whole life.
#pragma once

#include <atomic>
#include <cstdint>
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
  // Devices plugged in since start, as libusb's hot-plug notice tells them
  // on the event thread; stays 0 where the platform has no such notice.
  std::uint64_t Arrivals() const { return m_arrivals.load(); }

 private:
  explicit LibusbSession(libusb_context* context);
  void HandleEvents();
  void WatchArrivals();

  libusb_context* m_context;
  std::atomic<bool> m_stopping{false};
  std::atomic<std::uint64_t> m_arrivals{0};
  bool m_watching = false;
  int m_arrivalWatch = 0;  // libusb's callback handle
  std::thread m_eventThread;
};

}  // namespace platform::usb
