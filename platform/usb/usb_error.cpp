#include "platform/usb/usb_error.h"

#include <libusb.h>

namespace platform::usb {

std::string_view ToText(UsbError error) {
  switch (error) {
    case UsbError::None: return "no error";
    case UsbError::NoSuchDevice: return "no camera with that number is attached";
    case UsbError::NoAccess: return "no permission to open the camera (see the udev rule)";
    case UsbError::Busy: return "the camera is in use by another program";
    case UsbError::Disconnected: return "the camera was disconnected";
    case UsbError::TimedOut: return "the camera did not answer in time";
    case UsbError::Cancelled: return "the transfer was cancelled";
    case UsbError::Stalled: return "the camera refused the request (pipe stalled)";
    case UsbError::Overflow: return "the camera sent more data than requested";
    case UsbError::BadRequest: return "malformed request";
    case UsbError::HandleClosed: return "the handle is not open";
    case UsbError::NoMemory: return "out of memory";
    case UsbError::Io: return "USB input/output error";
  }
  return "unknown error";
}

UsbError FromLibusbError(int code) {
  switch (code) {
    case LIBUSB_SUCCESS: return UsbError::None;
    case LIBUSB_ERROR_ACCESS: return UsbError::NoAccess;
    case LIBUSB_ERROR_NO_DEVICE: return UsbError::Disconnected;
    case LIBUSB_ERROR_NOT_FOUND: return UsbError::NoSuchDevice;
    case LIBUSB_ERROR_BUSY: return UsbError::Busy;
    case LIBUSB_ERROR_TIMEOUT: return UsbError::TimedOut;
    case LIBUSB_ERROR_OVERFLOW: return UsbError::Overflow;
    case LIBUSB_ERROR_PIPE: return UsbError::Stalled;
    case LIBUSB_ERROR_INTERRUPTED: return UsbError::Cancelled;
    case LIBUSB_ERROR_NO_MEM: return UsbError::NoMemory;
    case LIBUSB_ERROR_INVALID_PARAM: return UsbError::BadRequest;
    default: return UsbError::Io;
  }
}

UsbError FromTransferStatus(int status) {
  switch (status) {
    case LIBUSB_TRANSFER_COMPLETED: return UsbError::None;
    case LIBUSB_TRANSFER_TIMED_OUT: return UsbError::TimedOut;
    case LIBUSB_TRANSFER_CANCELLED: return UsbError::Cancelled;
    case LIBUSB_TRANSFER_STALL: return UsbError::Stalled;
    case LIBUSB_TRANSFER_NO_DEVICE: return UsbError::Disconnected;
    case LIBUSB_TRANSFER_OVERFLOW: return UsbError::Overflow;
    default: return UsbError::Io;
  }
}

}  // namespace platform::usb
