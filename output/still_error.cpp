#include "output/still_error.h"

#include <cstring>
#include <string>

#include "platform/failure_record.h"

std::string_view StillErrorText(StillError error) {
  switch (error) {
    case StillError::kNone: return "no error";
    case StillError::kNoBitmap: return "there is no picture to save";
    case StillError::kUnknownExtension: return "the file name has no .bmp, .jpg, .jpeg or .jpe extension";
    case StillError::kNotTrueColour: return "the picture is not 24 bits per pixel";
    case StillError::kCannotCreate: return "the file cannot be created in that folder";
    case StillError::kWriteFailed: return "writing the file failed";
    case StillError::kCannotReplace: return "the finished file could not take the chosen name";
    case StillError::kEncoderFailed: return "the JPEG encoder failed";
    case StillError::kPictureUnreadable: return "the picture file for printing cannot be read";
    case StillError::kPrintFailed: return "the printer did not accept the page";
  }
  return "unknown error";
}

void RecordStillFailure(std::string_view what, StillError error, int systemError) {
  std::string why(StillErrorText(error));
  if (systemError != 0) why += std::string(": ") + std::strerror(systemError);
  platform::Failures().Record(what, why);
}

bool IsFileError(StillError error) {
  return error == StillError::kCannotCreate || error == StillError::kWriteFailed || error == StillError::kCannotReplace;
}
