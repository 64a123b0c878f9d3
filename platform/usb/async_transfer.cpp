#include "platform/usb/async_transfer.h"

#include <libusb.h>

namespace platform::usb {

std::unique_ptr<AsyncTransfer> AsyncTransfer::Create() {
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (!transfer) return nullptr;
  return std::unique_ptr<AsyncTransfer>(new AsyncTransfer(transfer));
}

AsyncTransfer::~AsyncTransfer() { libusb_free_transfer(m_transfer); }

UsbError AsyncTransfer::Submit() {
  m_transfer->callback = &AsyncTransfer::Completed;
  m_transfer->user_data = this;
  const int result = libusb_submit_transfer(m_transfer);
  if (result != LIBUSB_SUCCESS) return FromLibusbError(result);
  std::lock_guard guard(m_lock);
  m_submitted = true;
  return UsbError::None;
}

void AsyncTransfer::Cancel() { libusb_cancel_transfer(m_transfer); }

void AsyncTransfer::Completed(libusb_transfer* transfer) {
  auto* self = static_cast<AsyncTransfer*>(transfer->user_data);
  // Notify under the lock: the waiter frees this object as soon as it sees
  // the flag, so nothing may touch it after the lock is released.
  std::lock_guard guard(self->m_lock);
  self->m_finished = true;
  self->m_done.notify_all();
}

UsbError AsyncTransfer::Wait(std::chrono::milliseconds limit) {
  std::unique_lock guard(m_lock);
  if (!m_submitted) return UsbError::Io;
  // libusb ends every transfer at its time-out; this margin covers a
  // device that never acknowledges even the cancellation.
  if (!m_done.wait_for(guard, limit + std::chrono::seconds(5), [this] { return m_finished; })) {
    guard.unlock();
    Cancel();
    guard.lock();
    m_done.wait(guard, [this] { return m_finished; });
  }
  return FromTransferStatus(m_transfer->status);
}

int AsyncTransfer::ActualLength() const { return m_transfer->actual_length; }

}  // namespace platform::usb
