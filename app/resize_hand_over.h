// The worker's synchronous resize request to the user-interface thread.
//
// The worker posts the request and blocks until the user-interface thread has
// served it. The user-interface thread serves it either from its event loop
// (the posted call) or, while it waits for the worker to stop, from its own
// wait (ServeUntil). The shutdown wait therefore never deadlocks with a
// worker blocked here, without running the rest of the event loop inside
// that wait.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

class QObject;

class ResizeHandOver {
 public:
  // `owner` lives on the user-interface thread; `handler` runs there.
  ResizeHandOver(QObject& owner, std::function<void()> handler);
  ResizeHandOver(const ResizeHandOver&) = delete;
  ResizeHandOver& operator=(const ResizeHandOver&) = delete;

  // Worker side: returns once the handler has run for this request, or the
  // hand-over has been closed.
  void Request();

  // User-interface side: runs the handler if a request is pending.
  void Serve();

  // User-interface side: serves requests as they come until `done` holds.
  // `done` is looked at again on every request and on every Wake.
  void ServeUntil(const std::function<bool()>& done);
  // Whoever changes what a ServeUntil waits for calls this after the change.
  void Wake();

  // Releases a waiting worker and answers every later request at once; for
  // the end of the owner's life.
  void Close();

 private:
  QObject& m_owner;
  std::function<void()> m_handler;
  std::mutex m_mutex;
  std::condition_variable m_served;
  std::condition_variable m_changed;  // a request came, or Wake
  bool m_pending = false;
  bool m_closed = false;
  unsigned long m_servedCount = 0;
};
