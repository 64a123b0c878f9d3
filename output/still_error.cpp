#include "output/still_error.h"

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
