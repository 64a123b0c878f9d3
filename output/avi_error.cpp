#include "output/avi_error.h"

std::string_view AviErrorText(AviError error) {
  switch (error) {
    case AviError::kNone: return "no error";
    case AviError::kNoAviSupport: return "the media library cannot write AVI files";
    case AviError::kCannotCreateFile: return "the movie file cannot be created";
    case AviError::kCannotCreateStream: return "the video stream cannot be added to the movie file";
    case AviError::kOptionsCancelled: return "the compression options were cancelled";
    case AviError::kNoCompressor: return "the chosen compressor is not available for this picture";
    case AviError::kFormatRefused: return "the movie file refused the stream format";
    case AviError::kNoBitmap: return "there is no picture to record";
    case AviError::kBadBitmap: return "the picture is malformed or not 24 bits per pixel";
    case AviError::kFrameSizeChanged: return "the picture size changed during the recording";
    case AviError::kCompressFailed: return "compressing a frame failed";
    case AviError::kWriteFailed: return "writing to the movie file failed";
    case AviError::kCloseFailed: return "closing the movie file failed";
    case AviError::kNotUsable: return "the movie writer stopped after an earlier failure";
  }
  return "unknown error";
}
