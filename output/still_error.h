// Why a still or a print did not reach the user's file or page.
#pragma once

#include <string_view>

enum class StillError {
  kNone,
  kNoBitmap,           // the frame bitmap holds no picture yet
  kUnknownExtension,   // the name ends in neither a bitmap nor a JPEG extension
  kNotTrueColour,      // only 24-bit frames are written as JPEG
  kCannotCreate,       // the folder refuses a new file
  kWriteFailed,        // a write or the final flush failed (disk full, I/O error)
  kCannotReplace,      // the finished file could not take the chosen name
  kEncoderFailed,      // the JPEG encoder reported an error
  kPictureUnreadable,  // the intermediate print file could not be read back
  kPrintFailed,        // the printer refused the document or the page
};

std::string_view StillErrorText(StillError error);

// Keeps a failure with its reason for support (platform/failure_record.h);
// systemError is the errno behind it, 0 when there is none.
void RecordStillFailure(std::string_view what, StillError error, int systemError = 0);

// The failures the pending file reports itself, with their errno.
bool IsFileError(StillError error);
