// The scan session's settings, beside the quick captures' (capture_settings.h).
#include <QSettings>

#include "app/capture_settings.h"
#include "app/scan_controller.h"

ScanControllerOptions ScanOptionsFor(const PresenterOptions& options) {
  ScanControllerOptions result;
  result.folder = CaptureFolder(options);
  result.languages = options.ocrLanguages;
  std::string look = options.scanLook.value_or(std::string());
  if (look.empty()) {
    QSettings settings{QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM"};
    look = settings.value(QStringLiteral("Setting/%1").arg(kProfileScanLook)).toString().toStdString();
  }
  result.look = scan::ParseScanLook(look).value_or(scan::ScanLook::kColour);
  return result;
}
