#include "app/window_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {

constexpr char kOrganisation[] = "TQ400 Application";
constexpr char kApplication[] = "TAVROCAM";
constexpr char kGroup[] = "Setting";

int ReadInt(QSettings& settings, const char* key) {
  bool ok = false;
  const int value = settings.value(QLatin1String(key), 0).toInt(&ok);
  return ok ? value : 0;
}

}  // namespace

QPoint ReadProfilePosition(ProfilePositionKeys keys) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
  settings.beginGroup(kGroup);
  return {ReadInt(settings, keys.x), ReadInt(settings, keys.y)};
}

void WriteProfilePosition(ProfilePositionKeys keys, QPoint position) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
  settings.beginGroup(kGroup);
  settings.setValue(QLatin1String(keys.x), position.x());
  settings.setValue(QLatin1String(keys.y), position.y());
}

QPoint VisiblePosition(QPoint saved, QSize outerSize) {
  const QRect window(saved, outerSize.expandedTo(QSize(1, 1)));
  const auto screens = QGuiApplication::screens();
  // Without any screen information there is nothing to judge by.
  if (screens.isEmpty()) return saved;
  for (const QScreen* screen : screens)
    if (screen->geometry().intersects(window)) return saved;
  return {0, 0};
}

QPoint RestoredFramePosition(const QWidget& window) {
  if (!(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
    return window.pos();
  // normalGeometry() is the client area; the frame's offset does not change
  // with the window's state.
  const QPoint frameOffset = window.geometry().topLeft() - window.frameGeometry().topLeft();
  const QRect normal = window.normalGeometry();
  if (normal.isValid()) return normal.topLeft() - frameOffset;
  return window.pos();
}
