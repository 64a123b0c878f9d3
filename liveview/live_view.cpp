#include "liveview/live_view.h"

#include <QMetaObject>
#include <QPainter>

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

void CLiveView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  auto lock = m_bitmap.LockBuffers();
  if (m_nQuarterTurns == 0) m_bitmap.Draw(painter);
  else m_bitmap.DrawTurned(painter, m_nQuarterTurns);
}

void CLiveView::SetQuarterTurns(int quarterTurns) {
  m_nQuarterTurns = quarterTurns & 3;
  update();
}
