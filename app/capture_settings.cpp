#include "app/capture_settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "app/command_line.h"
#include "liveview/frame_rotation.h"

namespace {

// The profile's "Setting" section.
struct SettingSection {
  SettingSection() { settings.beginGroup("Setting"); }
  QVariant value(const char* key) const { return settings.value(QLatin1String(key)); }
  QSettings settings{QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM"};
};

}  // namespace

QString CaptureFolder(const PresenterOptions& options) {
  if (options.captureDir) return QString::fromStdString(*options.captureDir);
  if (const QString kept = SettingSection().value(kProfileCaptureDir).toString(); !kept.isEmpty()) return kept;
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty()) pictures = QDir::homePath();
  return QDir(pictures).filePath(QStringLiteral("Tavrocam"));
}

CaptureFormat ProfileCaptureFormat() {
  const QString kept = SettingSection().value(kProfileCaptureFormat).toString().trimmed();
  return kept.compare(QStringLiteral("bmp"), Qt::CaseInsensitive) == 0 ? CaptureFormat::kBmp : CaptureFormat::kJpeg;
}

double CaptureIntervalSeconds(const PresenterOptions& options) {
  if (options.intervalSeconds) return *options.intervalSeconds;
  bool ok = false;
  const double kept = SettingSection().value(kProfileCaptureInterval).toDouble(&ok);
  if (ok && kept >= kMinIntervalSeconds && kept <= kMaxIntervalSeconds) return kept;
  return kDefaultIntervalSeconds;
}

int StartRotationDegrees(const PresenterOptions& options) {
  if (options.rotationDegrees && QuarterTurnsForDegrees(*options.rotationDegrees)) return *options.rotationDegrees;
  bool ok = false;
  const int kept = SettingSection().value(kProfileRotation).toInt(&ok);
  return ok && QuarterTurnsForDegrees(kept) ? kept : 0;
}

void WriteProfileRotation(int degrees) {
  SettingSection section;
  section.settings.setValue(QLatin1String(kProfileRotation), degrees);
}
