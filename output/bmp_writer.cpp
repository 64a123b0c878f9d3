#include "liveview/frame_bitmap.h"
#include "output/bmp_file.h"
#include "output/pending_file.h"
#include "output/still_writers.h"

StillError WriteBmp(const CFrameBitmap& bitmap, const std::string& path) {
  if (!bitmap.PackedBitmap()) return StillError::kNoBitmap;
  PendingFile file(path);
  if (const StillError e = file.Create(); e != StillError::kNone) return e;
  if (const StillError e = WriteBmpInto(bitmap, file); e != StillError::kNone) return e;
  return file.Commit();
}

StillError WriteBmpInto(const CFrameBitmap& bitmap, PendingFile& file) {
  const std::uint8_t* packed = bitmap.PackedBitmap();
  if (!packed) return StillError::kNoBitmap;
  const std::span<const std::uint8_t> dib(packed, bitmap.PackedBitmapBytes());
  const auto layout = BmpLayoutFor(dib);
  if (!layout) return StillError::kNoBitmap;

  const auto header = BmpFileHeader(*layout);
  if (const StillError e = file.Write(header); e != StillError::kNone) return e;
  if (const StillError e = file.Write(dib.first(layout->fileBytes - kBmpFileHeaderBytes)); e != StillError::kNone)
    return e;
  return StillError::kNone;
}
