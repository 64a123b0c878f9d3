#include "liveview/live_view.h"

#include <QMetaObject>
#include <QPainter>

#include "liveview/picture_fit.h"

CLiveView::CLiveView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setCursor(Qt::ArrowCursor);
  setFocusPolicy(Qt::StrongFocus);
  // Black 640 x 480 until the first frame arrives.
  m_bitmap.Create(640, 480, 24);
}

CLiveView::~CLiveView() { m_bHasWindow.store(0); }

void CLiveView::InvalidateFromWorker() {
  if (m_updatePending.exchange(true)) return;
  // Delivered on this window's thread; dropped if the window is gone by then.
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_updatePending.store(false);
        update();
      },
      Qt::QueuedConnection);
}

void CLiveView::SetFitToWindow(bool fit) {
  if (fit == m_bFitToWindow) return;
  m_bFitToWindow = fit;
  update();
}

void CLiveView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  auto lock = m_bitmap.LockBuffers();
  const QSize picture(m_bitmap.Width(), m_bitmap.Height());
  if (!m_bFitToWindow || picture == size()) {
    m_bitmap.Draw(painter);
    return;
  }
  const QRect target = FitPicture(picture, rect());
  const PictureBars bars = BarsAround(target, rect());
  for (const QRect& bar : {bars.top, bars.bottom, bars.left, bars.right})
    if (!bar.isEmpty()) painter.fillRect(bar, Qt::black);
  m_bitmap.DrawScaled(painter, target);
}
