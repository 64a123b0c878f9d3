// The critical section of the camera link: a plain mutex with the names the
// link's code uses (Lock/Unlock), and std::lock_guard-compatible.
#pragma once

#include <mutex>

namespace platform {

class CCriticalSection {
 public:
  void Lock() { m_mutex.lock(); }
  void Unlock() { m_mutex.unlock(); }
  void lock() { m_mutex.lock(); }
  void unlock() { m_mutex.unlock(); }

 private:
  std::mutex m_mutex;
};

}  // namespace platform
