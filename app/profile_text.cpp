#include "app/profile_text.h"

#include <QSettings>

std::string ReadProfileText(const char* key) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM");
  settings.beginGroup("Setting");
  return settings.value(QLatin1String(key)).toString().toStdString();
}
