// Connections that have not yet sent a whole request, watched so that slow
// or idle clients cannot hold the server: each must send its request line,
// headers and body within a deadline counted from when it began to wait
// (not per quiet gap), and only so many may wait at once, in all and per
// client address; beyond that the one waiting longest is let go. Answered
// requests (the stream viewers among them) are no longer watched.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace server {

class CConnectionWatch {
 public:
  struct Limits {
    std::chrono::milliseconds deadline{5000};
    unsigned maxWaiting = 48;
    unsigned maxWaitingPerAddress = 16;
  };

  explicit CConnectionWatch(Limits limits);
  ~CConnectionWatch();
  CConnectionWatch(const CConnectionWatch&) = delete;
  CConnectionWatch& operator=(const CConnectionWatch&) = delete;

  // `key`'s connection (socket `fd`, client `address`) now waits for a
  // request: it was just opened, or its previous answer went out.
  void Waiting(std::uintptr_t key, int fd, const std::string& address);
  // Its request arrived whole, or it closed: no longer watched. Must be
  // called before the socket is closed, so that a let-go never reaches a
  // descriptor that was given to someone else.
  void Done(std::uintptr_t key);

  // Connections let go so far, at their deadline or to make room.
  unsigned LetGo() const;

 private:
  struct Entry {
    std::uintptr_t key;
    int fd;
    std::string address;
    std::chrono::steady_clock::time_point since;
  };
  using Queue = std::list<Entry>;  // oldest first
  void LetGoLocked(Queue::iterator entry);
  void Run();

  const Limits m_limits;
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  Queue m_queue;
  std::unordered_map<std::uintptr_t, Queue::iterator> m_byKey;
  std::unordered_map<std::string, unsigned> m_perAddress;
  unsigned m_letGo = 0;
  bool m_stopping = false;
  std::thread m_thread;
};

}  // namespace server
