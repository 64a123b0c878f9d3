// The one thread of a picture source that viewers wait on (the H.264 feed,
// the web server's JPEG hub): started once, and once stopped never again.
// The stop flag lives under the owner's lock, beside the state it guards, so
// that the thread and every waiting viewer see it together with the rest.
#pragma once

#include <mutex>
#include <thread>
#include <utility>

class CStoppableThread {
 public:
  CStoppableThread() = default;
  CStoppableThread(const CStoppableThread&) = delete;
  CStoppableThread& operator=(const CStoppableThread&) = delete;

  // Runs `body` unless the thread was started or stopped before.
  template <class Lock, class Body>
  void Start(Lock& lock, Body&& body) {
    std::lock_guard guard(lock);
    if (m_thread.joinable() || m_stopping) return;
    m_thread = std::thread(std::forward<Body>(body));
  }

  // Sets the flag under `lock`, then, unlocked, `wake` rouses the thread
  // and its waiters, and the thread is joined, unless it is the thread
  // itself that stops its owner. Idempotent.
  template <class Lock, class Wake>
  void Stop(Lock& lock, Wake&& wake) {
    {
      std::lock_guard guard(lock);
      m_stopping = true;
    }
    std::forward<Wake>(wake)();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
  }

  // With the owner's lock held.
  bool StoppingLocked() const { return m_stopping; }

 private:
  bool m_stopping = false;
  std::thread m_thread;
};
