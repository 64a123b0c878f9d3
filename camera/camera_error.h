// Why the camera link refused or failed an operation. The link's own results
// stay true/false, a byte count or a reply value; this tells the reason to
// whoever wants to show or record it.
#pragma once

namespace camera {

enum class CameraError {
  None,
  AlreadyOpen,       // Open on an open link
  OutOfMemory,       // the frame buffers could not be allocated
  NoFreeCamera,      // no device 0..31 could be opened and claimed
  NotOpen,           // the link is closed
  DeviceGone,        // the device path can no longer be opened
  DriverCallFailed,  // a vendor request failed at the driver
  EmptyReply,        // the driver succeeded but delivered no byte
  UnknownMode,       // the camera reported a picture-size code without a size
  NullDestination,   // GrabFrame without a buffer
  TransferFailed,    // a bulk read failed, or the link closed during the frame
  TransferGivenUp,   // the pipes stalled through both waits
  NoReply,           // the camera never answered a command
  MalformedReply,    // wrong start or end byte, bad checksum, short or overlong
  CommandRefused,    // the reply's status was neither 0 nor 2
  RepeatsExhausted,  // the camera kept asking for the command again
};

const char* CameraErrorText(CameraError error);

}  // namespace camera
