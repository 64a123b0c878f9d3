#include "app/resize_hand_over.h"

#include <QMetaObject>
#include <QObject>

ResizeHandOver::ResizeHandOver(QObject& owner, std::function<void()> handler)
    : m_owner(owner), m_handler(std::move(handler)) {}

void ResizeHandOver::Request() {
  std::unique_lock lock(m_mutex);
  if (m_closed) return;
  m_pending = true;
  const unsigned long ticket = m_servedCount;
  // Dropped by Qt if the owner is destroyed first; Close releases us then.
  QMetaObject::invokeMethod(
      &m_owner, [this] { Serve(); }, Qt::QueuedConnection);
  m_served.wait(lock, [&] { return m_closed || m_servedCount != ticket; });
}

void ResizeHandOver::Serve() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_pending || m_closed) return;
  }
  // The handler runs unlocked: it resizes windows and may take a while.
  m_handler();
  {
    std::lock_guard lock(m_mutex);
    m_pending = false;
    ++m_servedCount;
  }
  m_served.notify_all();
}

void ResizeHandOver::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_pending = false;
  }
  m_served.notify_all();
}
