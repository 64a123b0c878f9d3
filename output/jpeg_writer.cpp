#include <cstdint>

#include "jpeg/bgr_encoder.h"
#include "liveview/frame_bitmap.h"
#include "output/pending_file.h"
#include "output/still_writers.h"

StillError WriteJpeg(const CFrameBitmap& bitmap, const std::string& path) {
  if (!bitmap.PackedBitmap() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return StillError::kNoBitmap;
  if (bitmap.BitsPerPixel() != 24) return StillError::kNotTrueColour;
  PendingFile file(path);
  if (const StillError e = file.Create(); e != StillError::kNone) return e;
  if (const StillError e = WriteJpegInto(bitmap, file); e != StillError::kNone) return e;
  return file.Commit();
}

StillError WriteJpegInto(const CFrameBitmap& bitmap, PendingFile& file) {
  if (!bitmap.PackedBitmap() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return StillError::kNoBitmap;
  if (bitmap.BitsPerPixel() != 24) return StillError::kNotTrueColour;
  // The encoder opens the temporary file by name itself.
  file.CloseDescriptor();
  CBgrJpegEncoder encoder;
  if (!encoder.Ready()) return StillError::kEncoderFailed;
  // The packed rows as they are: the encoder reads them bottom-up itself.
  const std::int32_t result = encoder.EncodeToFile({.pixels = bitmap.PackedBitmap() + CFrameBitmap::kHeaderBytes,
                                                    .width = bitmap.Width(),
                                                    .height = bitmap.Height(),
                                                    .rowPad = bitmap.Stride() - 3 * bitmap.Width(),
                                                    .bottomUp = true},
                                                   kStillJpegQuality, file.TempPath().c_str());
  if (result == JpegErrFile) return StillError::kWriteFailed;
  if (result != JpegSuccess) return StillError::kEncoderFailed;
  return StillError::kNone;
}
