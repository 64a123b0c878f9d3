#include "app/resize_hand_over.h"

#include <QMetaObject>
#include <QObject>

ResizeHandOver::ResizeHandOver(QObject& owner, std::function<void()> handler)
    : m_owner(owner), m_handler(std::move(handler)) {}

void ResizeHandOver::Request() {
  std::unique_lock lock(m_mutex);
  if (m_closed) return;
  m_pending = true;
  m_changed.notify_all();
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

void ResizeHandOver::ServeUntil(const std::function<bool()>& done) {
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return (m_pending && !m_closed) || done(); });
      if (!m_pending || m_closed) return;
    }
    Serve();
  }
}

void ResizeHandOver::Wake() {
  // Under the lock: a ServeUntil between its look at `done` and its wait
  // cannot miss the change.
  std::lock_guard lock(m_mutex);
  m_changed.notify_all();
}

void ResizeHandOver::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_pending = false;
  }
  m_served.notify_all();
}
