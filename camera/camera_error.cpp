#include "camera/camera_error.h"

namespace camera {

const char* CameraErrorText(CameraError error) {
  switch (error) {
    case CameraError::None: return "no error";
    case CameraError::AlreadyOpen: return "the camera link is already open";
    case CameraError::OutOfMemory: return "the camera link's frame buffers could not be allocated";
    case CameraError::NoFreeCamera: return "no free camera could be opened";
    case CameraError::NotOpen: return "the camera link is not open";
    case CameraError::DeviceGone: return "the camera can no longer be opened";
    case CameraError::DriverCallFailed: return "a request to the camera driver failed";
    case CameraError::EmptyReply: return "the camera answered a request without data";
    case CameraError::UnknownMode: return "the camera reported an unknown picture size";
    case CameraError::NullDestination: return "no buffer was given for the frame";
    case CameraError::TransferFailed: return "the picture transfer failed";
    case CameraError::TransferGivenUp: return "the picture transfer stalled and was given up";
    case CameraError::NoReply: return "the camera did not answer the command";
    case CameraError::MalformedReply: return "the camera's reply was malformed";
    case CameraError::CommandRefused: return "the camera refused the command";
    case CameraError::RepeatsExhausted: return "the camera kept asking for the command again";
  }
  return "unknown camera error";
}

}  // namespace camera
