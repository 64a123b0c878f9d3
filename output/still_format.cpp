#include "output/still_format.h"

#include <QFileInfo>

StillFormat StillFormatForName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == u"bmp") return StillFormat::kBmp;
  if (suffix == u"jpg" || suffix == u"jpeg" || suffix == u"jpe") return StillFormat::kJpeg;
  return StillFormat::kUnknown;
}
