#include "app/window_placement.h"

#include <memory>

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QTimer>
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

bool HasProfilePosition(ProfilePositionKeys keys) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
  settings.beginGroup(kGroup);
  return settings.contains(QLatin1String(keys.x)) || settings.contains(QLatin1String(keys.y));
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

QPoint FirstStartPanelPosition(const QRect& mainFrame, QSize panelOuterSize, const QRect& screenArea) {
  const QRect beside(QPoint(mainFrame.right() + 1, mainFrame.top()), panelOuterSize);
  return screenArea.contains(beside) ? beside.topLeft() : QPoint(0, 0);
}

QRect ScreenAreaFor(const QRect& frame) {
  const QScreen* screen = QGuiApplication::screenAt(frame.topLeft());
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

QRect OuterFrameRect(const QWidget& window, QSize frameAllowance) {
  const QRect frame = window.frameGeometry();
  if (frame.size() != window.size()) return frame;
  return {frame.topLeft(), window.size() + frameAllowance};
}

void MoveFrameTo(QWidget& window, QPoint frameTopLeft) {
  window.move(frameTopLeft);
  // Before a window manager has framed a window, some place its client area
  // at the point asked for, title bar off the screen, and the window learns
  // of it only later. For a while after, a window found that way has its
  // frame put at the point instead; a window moved anywhere else (by the
  // user) is left alone.
  static constexpr int kPollMs = 25;
  static constexpr int kWatchPolls = 3000 / kPollMs;
  static constexpr int kMostCorrections = 3;
  auto* keeper = window.findChild<QTimer*>(QStringLiteral("frame position keeper"), Qt::FindDirectChildrenOnly);
  if (!keeper) {
    keeper = new QTimer(&window);
    keeper->setObjectName(QStringLiteral("frame position keeper"));
    keeper->setInterval(kPollMs);
  }
  keeper->disconnect();
  struct Progress {
    int polls = 0;
    int corrections = 0;
  };
  auto progress = std::make_shared<Progress>();
  QObject::connect(keeper, &QTimer::timeout, &window, [&window, keeper, frameTopLeft, progress] {
    Progress& p = *progress;
    const QRect frame = window.frameGeometry();
    const bool clientAtFramePoint = frame.size() != window.size() && window.geometry().topLeft() == frameTopLeft;
    if (clientAtFramePoint && p.corrections < kMostCorrections) {
      ++p.corrections;
      window.move(frameTopLeft);
    }
    if (++p.polls >= kWatchPolls) keeper->stop();
  });
  keeper->start();
}

QPoint RestoredFramePosition(const QWidget& window) {
  if (!(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) return window.pos();
  // normalGeometry() is the client area; the frame's offset does not change
  // with the window's state.
  const QPoint frameOffset = window.geometry().topLeft() - window.frameGeometry().topLeft();
  const QRect normal = window.normalGeometry();
  if (normal.isValid()) return normal.topLeft() - frameOffset;
  return window.pos();
}
