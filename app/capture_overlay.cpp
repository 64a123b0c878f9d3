#include "app/capture_overlay.h"

#include <QEvent>

namespace {

// Readable on a white page as on a dark one, over the caption's dark band.
const QString kFailureColour = QStringLiteral("#ff5a5a");

}  // namespace

CCaptureOverlay::CCaptureOverlay(QWidget* pictureView, std::function<QRect()> pictureRect)
    : QLabel(pictureView), m_pictureRect(std::move(pictureRect)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setTextFormat(Qt::RichText);
  setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 160); color: white; padding: 4px 8px; }"));
  m_flashTimer.setSingleShot(true);
  connect(&m_flashTimer, &QTimer::timeout, this, [this] {
    m_flash.clear();
    Refresh();
  });
  m_noticeTimer.setSingleShot(true);
  connect(&m_noticeTimer, &QTimer::timeout, this, [this] {
    m_notice.clear();
    Refresh();
  });
  // The picture moves with the view's size (full screen, a user's resize).
  if (pictureView) pictureView->installEventFilter(this);
  hide();
}

void CCaptureOverlay::Flash(const QString& text) {
  m_flash = text;
  m_bFlashIsFailure = false;
  m_flashTimer.start(kFlashMs);
  Refresh();
}

void CCaptureOverlay::FlashFailure(const QString& text) {
  m_flash = text;
  m_bFlashIsFailure = true;
  m_flashTimer.start(kFailureMs);
  Refresh();
}

void CCaptureOverlay::SetSeriesText(const QString& text) {
  m_series = text;
  Refresh();
}

void CCaptureOverlay::Notice(const QString& text) {
  m_notice = text;
  m_noticeTimer.start(kNoticeMs);
  Refresh();
}

QStringList CCaptureOverlay::Lines() const {
  QStringList lines;
  for (const QString* line : {&m_series, &m_notice, &m_flash})
    if (!line->isEmpty()) lines << *line;
  return lines;
}

QString CCaptureOverlay::ShownText() const { return isHidden() ? QString() : Lines().join(QLatin1Char('\n')); }

bool CCaptureOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize && !isHidden()) Place();
  return QLabel::eventFilter(watched, event);
}

void CCaptureOverlay::Refresh() {
  QStringList html;
  for (const QString* line : {&m_series, &m_notice, &m_flash}) {
    if (line->isEmpty()) continue;
    // Folder and file names are the user's: never markup.
    const QString escaped = line->toHtmlEscaped();
    html << (line == &m_flash && m_bFlashIsFailure
                 ? QStringLiteral("<span style=\"color:%1; font-weight:bold\">%2</span>").arg(kFailureColour, escaped)
                 : escaped);
  }
  if (html.isEmpty()) {
    setText({});
    hide();
    return;
  }
  setText(html.join(QStringLiteral("<br>")));
  adjustSize();
  Place();
  show();
  raise();
}

void CCaptureOverlay::Place() {
  const QRect picture = m_pictureRect ? m_pictureRect() : QRect();
  const QPoint corner = picture.isValid() ? picture.topLeft() : QPoint(0, 0);
  move(corner + QPoint(kInset, kInset));
}
