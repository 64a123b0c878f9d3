// A worker thread started with a parameter, standing in for the system's thread
// creation. The owner joins it once the thread has said (through its own flags)
// that it is done, so no thread outlives the object it works on.
#pragma once

#include <cstdint>
#include <thread>
#include <utility>

namespace platform {

using ThreadProc = std::uint32_t (*)(void* param);

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread() { Join(); }

  // False when a thread is already running in this object.
  bool Start(ThreadProc proc, void* param) {
    if (m_thread.joinable()) return false;
    m_thread = std::thread([proc, param] { proc(param); });
    return true;
  }
  bool Running() const { return m_thread.joinable(); }
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  std::thread m_thread;
};

}  // namespace platform
