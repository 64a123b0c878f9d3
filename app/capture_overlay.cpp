#include "app/capture_overlay.h"

CCaptureOverlay::CCaptureOverlay(QWidget* pictureView) : QLabel(pictureView) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 160); color: white; padding: 4px 8px; }"));
  m_flashTimer.setSingleShot(true);
  connect(&m_flashTimer, &QTimer::timeout, this, [this] {
    m_flash.clear();
    Refresh();
  });
  hide();
}

void CCaptureOverlay::Flash(const QString& text) {
  m_flash = text;
  m_flashTimer.start(kFlashMs);
  Refresh();
}

void CCaptureOverlay::SetSeriesText(const QString& text) {
  m_series = text;
  Refresh();
}

QString CCaptureOverlay::ShownText() const { return isHidden() ? QString() : text(); }

void CCaptureOverlay::Refresh() {
  QString shown = m_series;
  if (!m_flash.isEmpty()) shown += (shown.isEmpty() ? QString() : QStringLiteral("\n")) + m_flash;
  setText(shown);
  if (shown.isEmpty()) {
    hide();
    return;
  }
  adjustSize();
  move(8, 8);
  show();
  raise();
}
