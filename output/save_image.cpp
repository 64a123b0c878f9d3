#include "output/save_image.h"

#include <QFile>

#include "liveview/frame_bitmap.h"
#include "output/still_format.h"
#include "output/still_writers.h"

StillError SaveStill(CFrameBitmap& bitmap, const std::string& path) {
  const StillFormat format = StillFormatForName(QFile::decodeName(QByteArray::fromStdString(path)));
  StillError error = StillError::kUnknownExtension;
  if (format != StillFormat::kUnknown) {
    const auto lock = bitmap.LockBuffers();
    error = format == StillFormat::kBmp ? WriteBmp(bitmap, path) : WriteJpeg(bitmap, path);
  }
  // The file's own failures are already kept, with their errno.
  if (error != StillError::kNone && !IsFileError(error)) RecordStillFailure("saving " + path, error);
  return error;
}

int SaveImage(CFrameBitmap& bitmap, const std::string& fileName) {
  return SaveStill(bitmap, fileName) == StillError::kNone ? 1 : 0;
}
