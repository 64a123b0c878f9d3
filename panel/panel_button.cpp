#include "panel/panel_button.h"

#include <QContextMenuEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "panel/panel_pictures.h"

namespace {

short ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
  }
}

short ShiftCode(Qt::KeyboardModifiers modifiers) {
  short code = 0;
  if (modifiers & Qt::ShiftModifier) code |= 1;
  if (modifiers & Qt::ControlModifier) code |= 2;
  if (modifiers & Qt::AltModifier) code |= 4;
  return code;
}

}  // namespace

CPanelButton::CPanelButton(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CPanelButton::SetCaption(const QString& caption) {
  m_strCaption = caption;
  update();
}

void CPanelButton::SetPictures(PanelPicture normal, PanelPicture latched) {
  m_picture = normal;
  m_latchedPicture = latched;
  update();
}

void CPanelButton::SetRaised(bool raised) {
  if (m_bRaised == raised) return;
  m_bRaised = raised;
  update();
}

PanelPicture CPanelButton::ShownPicture() const {
  if (!m_bRaised && m_latchedPicture != PanelPicture::None) return m_latchedPicture;
  return m_picture;
}

void CPanelButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const bool sunk = !m_bRaised || m_bPressed;
  const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = std::min(outer.height(), outer.width()) * 0.28;

  // A rubber key: light from the top when raised, shaded and lit from
  // within when latched, so the two looks differ in shape and in colour.
  QLinearGradient face(outer.topLeft(), outer.bottomLeft());
  if (!m_bRaised) {
    face.setColorAt(0, QColor(36, 62, 92));
    face.setColorAt(1, QColor(58, 104, 150));
  } else if (m_bPressed) {
    face.setColorAt(0, QColor(70, 74, 80));
    face.setColorAt(1, QColor(104, 108, 116));
  } else {
    face.setColorAt(0, QColor(128, 133, 141));
    face.setColorAt(1, QColor(78, 82, 89));
  }
  QPainterPath key;
  key.addRoundedRect(outer, radius, radius);
  p.fillPath(key, face);
  p.setPen(QPen(sunk ? QColor(18, 20, 24) : QColor(30, 32, 36), 1));
  p.drawPath(key);
  if (!sunk) {
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(outer.left() + radius, outer.top() + 1), QPointF(outer.right() - radius, outer.top() + 1));
  } else if (!m_bRaised) {
    p.setPen(QPen(QColor(120, 200, 255, 160), 1));
    p.drawRoundedRect(outer.adjusted(1, 1, -1, -1), radius, radius);
  }

  const QRectF content = outer.adjusted(1.5, sunk ? 2 : 1, -1.5, sunk ? 0 : -1);
  const PanelPicture picture = ShownPicture();
  if (picture != PanelPicture::None) {
    DrawPanelPicture(p, picture, content);
    return;
  }
  QFont captionFont = font();
  captionFont.setBold(true);
  // Small keys (the slot grids) still get a caption that fills them legibly.
  const int pixels = std::max(8, std::min(static_cast<int>(height() * 0.66), 12));
  captionFont.setPixelSize(pixels);
  p.setFont(captionFont);
  p.setPen(m_bRaised ? QColor(246, 246, 246) : QColor(255, 214, 92));
  p.drawText(content, Qt::AlignCenter, m_strCaption);
}

void CPanelButton::mousePressEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if (m_down & button) return;
  m_down |= button;
  if (button == Qt::LeftButton) {
    m_bPressed = true;
    update();
  }
  const QPoint at = event->position().toPoint();
  emit MouseDown(ButtonCode(button), ShiftCode(event->modifiers()), at.x(), at.y());
}

void CPanelButton::mouseMoveEvent(QMouseEvent* event) {
  if (!(m_down & Qt::LeftButton)) return;
  const bool inside = rect().contains(event->position().toPoint());
  if (inside != m_bPressed) {
    m_bPressed = inside;
    update();
  }
}

void CPanelButton::mouseReleaseEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if (!(m_down & button)) return;
  m_down &= ~button;
  const QPoint at = event->position().toPoint();
  const bool completed = button == Qt::LeftButton && rect().contains(at);
  if (button == Qt::LeftButton) {
    m_bPressed = false;
    update();
  }
  // The component's order: MouseDown, MouseUp, then Click.
  emit MouseUp(ButtonCode(button), ShiftCode(event->modifiers()), at.x(), at.y());
  if (completed) emit Click();
}

void CPanelButton::contextMenuEvent(QContextMenuEvent* event) {
  // A right press is a press like any other here; a menu opening over the
  // button would swallow its release and leave an adjustment running.
  event->accept();
}
