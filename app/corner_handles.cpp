#include "app/corner_handles.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/scan_overlay.h"

namespace {

constexpr double kHandleRadius = 8;
// A handle is picked a little outside its drawn circle: corners are small targets.
constexpr double kGrabRadius = 20;

}  // namespace

CCornerHandles::CCornerHandles(QWidget* pictureView) : QWidget(pictureView) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(pictureView->rect());
  pictureView->installEventFilter(this);
  hide();
}

void CCornerHandles::Start(const cv::Mat& picture, const scan::PageCorners& corners) {
  m_picture = picture.clone();
  m_image = QImage(m_picture.data, m_picture.cols, m_picture.rows, static_cast<qsizetype>(m_picture.step),
                   QImage::Format_BGR888);
  m_corners = corners;
  m_dragged = -1;
  setGeometry(parentWidget()->rect());
  show();
  setFocus(Qt::OtherFocusReason);
  update();
}

void CCornerHandles::Stop() {
  const bool hadFocus = hasFocus();
  hide();
  m_image = QImage();
  m_picture.release();
  m_dragged = -1;
  if (hadFocus) parentWidget()->setFocus(Qt::OtherFocusReason);
}

bool CCornerHandles::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

bool CCornerHandles::event(QEvent* event) {
  const auto type = event->type();
  const bool escape = (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) &&
                      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier;
  if (!escape) return QWidget::event(event);
  // Escape gives up the corners, even where the window has it as a shortcut
  // (full screen): taken at the override, acted on at the press.
  if (type == QEvent::KeyPress) emit Cancelled();
  event->accept();
  return true;
}

QPointF CCornerHandles::OnScreen(const cv::Point2f& point) const {
  const QSize picture(m_picture.cols, m_picture.rows);
  const QRect area = ScanPictureArea(*parentWidget(), picture);
  return {area.left() + point.x * area.width() / static_cast<double>(picture.width()),
          area.top() + point.y * area.height() / static_cast<double>(picture.height())};
}

cv::Point2f CCornerHandles::InPicture(QPointF point) const {
  const QSize picture(m_picture.cols, m_picture.rows);
  const QRect area = ScanPictureArea(*parentWidget(), picture);
  const double x = (point.x() - area.left()) * picture.width() / std::max(1, area.width());
  const double y = (point.y() - area.top()) * picture.height() / std::max(1, area.height());
  // A corner stays on the picture.
  return {static_cast<float>(std::clamp(x, 0.0, static_cast<double>(picture.width()))),
          static_cast<float>(std::clamp(y, 0.0, static_cast<double>(picture.height())))};
}

void CCornerHandles::mousePressEvent(QMouseEvent* event) {
  if (!Active() || event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  double nearest = kGrabRadius;
  m_dragged = -1;
  for (std::size_t i = 0; i < m_corners.points.size(); ++i) {
    const QPointF offset = OnScreen(m_corners.points[i]) - event->position();
    const double distance = std::hypot(offset.x(), offset.y());
    if (distance <= nearest) {
      nearest = distance;
      m_dragged = static_cast<int>(i);
    }
  }
}

void CCornerHandles::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragged < 0) return;
  m_corners.points[static_cast<std::size_t>(m_dragged)] = InPicture(event->position());
  update();
}

void CCornerHandles::mouseReleaseEvent(QMouseEvent* event) {
  if (m_dragged >= 0 && event->button() == Qt::LeftButton) {
    m_corners.points[static_cast<std::size_t>(m_dragged)] = InPicture(event->position());
    m_dragged = -1;
    update();
  }
}

void CCornerHandles::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (!Active()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(ScanPictureArea(*parentWidget(), m_image.size()), m_image);
  painter.setRenderHint(QPainter::Antialiasing);
  QPolygonF outline;
  for (const cv::Point2f& corner : m_corners.points) outline << OnScreen(corner);
  painter.setPen(QPen(QColor(255, 170, 0), 2));
  painter.drawPolygon(outline);
  painter.setPen(QPen(Qt::black, 2));
  painter.setBrush(QColor(255, 255, 255, 200));
  for (const QPointF& handle : outline) painter.drawEllipse(handle, kHandleRadius, kHandleRadius);
}
