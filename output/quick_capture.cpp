#include "output/quick_capture.h"

#include <string>

#include <QDir>
#include <QFile>

#include "liveview/frame_bitmap.h"
#include "output/pending_file.h"
#include "output/still_writers.h"

QString QuickCaptureBaseName(const QDateTime& localTime) {
  return QStringLiteral("TAVROCAM_") + localTime.toString(QStringLiteral("yyyyMMdd_HHmmss_zzz"));
}

QString QuickCaptureFileName(const QString& baseName, CaptureFormat format, int attempt) {
  const QString suffix = attempt > 1 ? QStringLiteral("_%1").arg(attempt) : QString();
  return baseName + suffix + (format == CaptureFormat::kBmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
}

namespace {

QuickCaptureResult Refused(StillError error, const QString& where) {
  if (!IsFileError(error)) RecordStillFailure("quick capture into " + where.toStdString(), error);
  return {error, {}};
}

}  // namespace

QuickCaptureResult WriteQuickCapture(CFrameBitmap& picture, const QString& folder, CaptureFormat format,
                                     const QDateTime& localTime) {
  if (folder.isEmpty() || !QDir().mkpath(folder)) {
    RecordStillFailure("quick capture: making the folder " + folder.toStdString(), StillError::kCannotCreate);
    return {StillError::kCannotCreate, {}};
  }
  const QDir dir(folder);
  const QString base = QuickCaptureBaseName(localTime);
  const auto nativePath = [&](int attempt) {
    return QFile::encodeName(dir.filePath(QuickCaptureFileName(base, format, attempt))).toStdString();
  };

  PendingFile file(nativePath(1));
  if (const StillError e = file.Create(); e != StillError::kNone) return {e, {}};
  {
    // Only this thread knows the copy: the lock is never waited for.
    const auto lock = picture.LockBuffers();
    const StillError e = format == CaptureFormat::kBmp ? WriteBmpInto(picture, file) : WriteJpegInto(picture, file);
    if (e != StillError::kNone) return Refused(e, folder);
  }
  std::string written;
  if (const StillError e = file.CommitAsNew(nativePath, &written); e != StillError::kNone) return {e, {}};
  return {StillError::kNone, QFile::decodeName(QByteArray::fromStdString(written))};
}
