// Why a movie file could not be set up, take a frame, or be closed.
#pragma once

#include <string_view>

enum class AviError {
  kNone,
  kNoAviSupport,        // the media library offers no AVI writer
  kCannotCreateFile,    // the file cannot be created under that name
  kCannotCreateStream,  // the video stream could not be added to the file
  kOptionsCancelled,    // the user cancelled the compression options
  kNoCompressor,        // the chosen compressor is missing or refused the picture
  kFormatRefused,       // the file refused the stream format
  kNoBitmap,            // there is no picture to record
  kBadBitmap,           // the picture's header is malformed or not 24-bit
  kFrameSizeChanged,    // the picture's size differs from the movie's
  kCompressFailed,      // the compressor failed on a frame
  kWriteFailed,         // writing to the file failed (disk full, I/O error)
  kCloseFailed,         // the file's index or its closing failed
  kNotUsable,           // an earlier failure has closed the writer to frames
};

std::string_view AviErrorText(AviError error);
