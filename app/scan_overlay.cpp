#include "app/scan_overlay.h"

#include <QEvent>
#include <QPainter>

#include "liveview/live_view.h"
#include "liveview/picture_fit.h"

QRect ScanPictureArea(const QWidget& view, QSize picture) {
  const auto* live = qobject_cast<const CLiveView*>(&view);
  if (live && (!live->FitsToWindow() || picture == live->size())) return QRect(QPoint(0, 0), picture);
  return FitPicture(picture, view.rect());
}

CScanOverlay::CScanOverlay(QWidget* pictureView) : QWidget(pictureView) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(pictureView->rect());
  pictureView->installEventFilter(this);
  m_messageTimer.setSingleShot(true);
  connect(&m_messageTimer, &QTimer::timeout, this, [this] {
    m_message.clear();
    update();
  });
  show();
}

bool CScanOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void CScanOverlay::SetOutline(const std::optional<QPolygonF>& outline, QSize picture, bool locked) {
  m_outline = outline;
  m_picture = picture;
  m_locked = locked;
  update();
}

void CScanOverlay::SetPages(std::vector<ScanThumbnail> pages) {
  m_pages = std::move(pages);
  update();
}

void CScanOverlay::ShowMessage(const QString& text, bool lasting) {
  m_message = text;
  if (lasting)
    m_messageTimer.stop();
  else
    m_messageTimer.start(kMessageMs);
  update();
}

void CScanOverlay::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRect shown = ScanPictureArea(*parentWidget(), m_picture);
  if (m_outline && !shown.isEmpty()) {
    const double sx = static_cast<double>(shown.width()) / m_picture.width();
    const double sy = static_cast<double>(shown.height()) / m_picture.height();
    QPolygonF onScreen;
    for (const QPointF& p : *m_outline) onScreen << QPointF(shown.left() + p.x() * sx, shown.top() + p.y() * sy);
    painter.setPen(QPen(m_locked ? QColor(60, 140, 255) : QColor(40, 220, 90), 3));
    painter.drawPolygon(onScreen);
  }
  if (!m_pages.empty()) {
    constexpr int kThumbHeight = 72;
    const int top = height() - kThumbHeight - 22;
    painter.fillRect(QRect(0, top - 4, width(), kThumbHeight + 26), QColor(0, 0, 0, 150));
    int x = 6;
    for (std::size_t i = 0; i < m_pages.size() && x < width(); ++i) {
      const QImage& thumb = m_pages[i].picture;
      const int w = thumb.isNull() ? 54 : thumb.width() * kThumbHeight / std::max(1, thumb.height());
      const QRect box(x, top, w, kThumbHeight);
      if (!thumb.isNull()) painter.drawImage(box, thumb);
      painter.setPen(Qt::white);
      painter.drawRect(box);
      painter.drawText(QRect(x, top + kThumbHeight, std::max(w, 80), 20), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1 %2").arg(i + 1).arg(m_pages[i].state));
      x += std::max(w, 80) + 8;
    }
    painter.drawText(QRect(0, top - 24, width() - 8, 20), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Pages: %1").arg(m_pages.size()));
  }
  if (!m_message.isEmpty()) {
    QFont font = painter.font();
    font.setPointSize(14);
    painter.setFont(font);
    const QRect line(0, 8, width(), 30);
    painter.fillRect(line, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(line, Qt::AlignCenter, m_message);
  }
}
