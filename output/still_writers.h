// The two still file writers. Both read the frame bitmap's packed bitmap;
// the caller holds the bitmap's buffer lock for the whole call. A file is
// written under a temporary name beside the target and renamed onto it only
// when complete, so a failure never leaves a partial file or destroys an
// older file of that name.
#pragma once

#include <string>

#include "output/still_error.h"

class CFrameBitmap;
class PendingFile;

// The BMP file: a 14-byte file header, then the packed bitmap unchanged.
StillError WriteBmp(const CFrameBitmap& bitmap, const std::string& path);

// A baseline JPEG at quality 75 with 2x2 luminance sampling, encoded
// straight from the packed rows; the bitmap is left as it is.
StillError WriteJpeg(const CFrameBitmap& bitmap, const std::string& path);

// The same files into a pending file that Create has opened; the caller
// commits it.
StillError WriteBmpInto(const CFrameBitmap& bitmap, PendingFile& file);
StillError WriteJpegInto(const CFrameBitmap& bitmap, PendingFile& file);

// Picks the writer by the extension of the file's own name: .bmp, or .jpg,
// .jpeg and .jpe, in any case. Takes the bitmap's buffer lock.
StillError SaveStill(CFrameBitmap& bitmap, const std::string& path);
