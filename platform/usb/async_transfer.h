// One asynchronous libusb transfer that the calling thread waits for. The
// session's event thread completes it; Cancel may come from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/usb/usb_error.h"

struct libusb_transfer;

namespace platform::usb {

class AsyncTransfer {
 public:
  // Null when libusb cannot allocate a transfer.
  static std::unique_ptr<AsyncTransfer> Create();
  ~AsyncTransfer();
  AsyncTransfer(const AsyncTransfer&) = delete;
  AsyncTransfer& operator=(const AsyncTransfer&) = delete;

  // Filled by the caller (libusb_fill_*); the callback and user data are set by Submit.
  libusb_transfer* Raw() const { return m_transfer; }

  UsbError Submit();
  // Asks libusb to end the submitted transfer early; harmless once it has ended.
  void Cancel();
  // Blocks until libusb hands the transfer back; `limit` is the transfer's
  // own time-out, after which it is cancelled as a safeguard.
  UsbError Wait(std::chrono::milliseconds limit);
  int ActualLength() const;

 private:
  explicit AsyncTransfer(libusb_transfer* transfer) : m_transfer(transfer) {}
  static void Completed(libusb_transfer* transfer);

  libusb_transfer* m_transfer;
  std::mutex m_lock;
  std::condition_variable m_done;
  bool m_finished = false;
  bool m_submitted = false;
};

}  // namespace platform::usb
