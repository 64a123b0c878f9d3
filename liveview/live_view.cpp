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
  const int turns = m_nQuarterTurns;
  const QSize picture =
      turns % 2 == 0 ? QSize(m_bitmap.Width(), m_bitmap.Height()) : QSize(m_bitmap.Height(), m_bitmap.Width());
  if (!m_bFitToWindow || picture == size()) {
    if (turns == 0)
      m_bitmap.Draw(painter);
    else
      m_bitmap.DrawTurned(painter, turns);
    return;
  }
  const QRect target = FitPicture(picture, rect());
  const PictureBars bars = BarsAround(target, rect());
  for (const QRect& bar : {bars.top, bars.bottom, bars.left, bars.right})
    if (!bar.isEmpty()) painter.fillRect(bar, Qt::black);
  if (turns == 0) {
    m_bitmap.DrawScaled(painter, target);
    return;
  }
  // The turned picture, scaled into the target by the painter.
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.translate(target.topLeft());
  painter.scale(static_cast<double>(target.width()) / picture.width(),
                static_cast<double>(target.height()) / picture.height());
  m_bitmap.DrawTurned(painter, turns);
}

void CLiveView::SetQuarterTurns(int quarterTurns) {
  m_nQuarterTurns = quarterTurns & 3;
  update();
}
