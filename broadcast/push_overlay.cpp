#include "broadcast/push_overlay.h"

#include <QTimerEvent>

namespace {

constexpr int kMargin = 6;

QString ColourFor(PushPhase phase) {
  switch (phase) {
    case PushPhase::Live: return QStringLiteral("#c00000");
    case PushPhase::Retrying:
    case PushPhase::Failed: return QStringLiteral("#806000");
    default: return QStringLiteral("#404040");
  }
}

}  // namespace

CPushOverlay::CPushOverlay(std::shared_ptr<const CPushState> state, QWidget* view)
    : QLabel(view), m_state(std::move(state)) {
  // The line must never take the view's clicks or focus.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setTextFormat(Qt::PlainText);
  hide();
  m_timer.start(kPollMs, this);
  Refresh();
}

void CPushOverlay::Refresh() {
  const PushStatus status = m_state->Snapshot();
  const QString line = QString::fromStdString(PushStatusLine(status));
  if (line == m_line) return;
  m_line = line;
  setText(line);
  setStyleSheet(QStringLiteral("QLabel { color: white; background: %1; padding: 2px 6px; font-size: 11px; }")
                    .arg(ColourFor(status.phase)));
  adjustSize();
  // Never wider than the picture.
  if (parentWidget() != nullptr) setMaximumWidth(parentWidget()->width() - 2 * kMargin);
  move(kMargin, kMargin);
  setVisible(!line.isEmpty());
  raise();
  emit statusLineChanged(line);
}

void CPushOverlay::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_timer.timerId()) {
    Refresh();
    return;
  }
  QLabel::timerEvent(event);
}
