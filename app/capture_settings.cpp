#include "app/capture_settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "app/command_line.h"
#include "liveview/frame_rotation.h"

namespace {

QSettings Profile() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM");
  settings.beginGroup("Setting");
  return settings;
}

}  // namespace

QString CaptureFolder(const PresenterOptions& options) {
  if (options.captureDir) return QString::fromStdString(*options.captureDir);
  if (const QString kept = Profile().value(kProfileCaptureDir).toString(); !kept.isEmpty()) return kept;
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty()) pictures = QDir::homePath();
  return QDir(pictures).filePath(QStringLiteral("Tavrocam"));
}

CaptureFormat ProfileCaptureFormat() {
  const QString kept = Profile().value(kProfileCaptureFormat).toString().trimmed();
  return kept.compare(QStringLiteral("bmp"), Qt::CaseInsensitive) == 0 ? CaptureFormat::kBmp : CaptureFormat::kJpeg;
}

double CaptureIntervalSeconds(const PresenterOptions& options) {
  if (options.intervalSeconds) return *options.intervalSeconds;
  bool ok = false;
  const double kept = Profile().value(kProfileCaptureInterval).toDouble(&ok);
  if (ok && kept >= kMinIntervalSeconds && kept <= kMaxIntervalSeconds) return kept;
  return kDefaultIntervalSeconds;
}

int StartRotationDegrees(const PresenterOptions& options) {
  if (options.rotationDegrees && QuarterTurnsForDegrees(*options.rotationDegrees)) return *options.rotationDegrees;
  bool ok = false;
  const int kept = Profile().value(kProfileRotation).toInt(&ok);
  return ok && QuarterTurnsForDegrees(kept) ? kept : 0;
}

void WriteProfileRotation(int degrees) {
  QSettings settings = Profile();
  settings.setValue(kProfileRotation, degrees);
}
