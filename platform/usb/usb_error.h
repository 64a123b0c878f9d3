// What went wrong on the USB side, for the support log. The driver interface
// itself only reports failure; these say why.
#pragma once

#include <string_view>

namespace platform::usb {

enum class UsbError {
  None,
  NoSuchDevice,  // no camera at that number
  NoAccess,      // the device file exists but this user may not open it
  Busy,          // another program has claimed the interface
  Disconnected,  // the camera was unplugged
  TimedOut,
  Cancelled,     // CancelIo or Close ended the call
  Stalled,       // the camera refused the request (endpoint halted)
  Overflow,      // the camera sent more than was asked for
  BadRequest,    // unknown code, short record, length out of range, no such pipe
  HandleClosed,  // the handle is not open
  NoMemory,
  Io,  // any other transfer failure
};

std::string_view ToText(UsbError error);

// Maps libusb's error codes (negative) and transfer statuses.
UsbError FromLibusbError(int code);
UsbError FromTransferStatus(int status);

}  // namespace platform::usb
