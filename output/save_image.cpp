#include "output/save_image.h"

#include <QFile>

#include "liveview/frame_bitmap.h"
#include "output/still_format.h"
#include "output/still_writers.h"

StillError SaveStill(CFrameBitmap& bitmap, const std::string& path) {
  const StillFormat format = StillFormatForName(QFile::decodeName(QByteArray::fromStdString(path)));
  if (format == StillFormat::kUnknown) return StillError::kUnknownExtension;
  const auto lock = bitmap.LockBuffers();
  return format == StillFormat::kBmp ? WriteBmp(bitmap, path) : WriteJpeg(bitmap, path);
}

int SaveImage(CFrameBitmap& bitmap, const std::string& fileName) {
  return SaveStill(bitmap, fileName) == StillError::kNone ? 1 : 0;
}
