#include "server/connection_watch.h"

#include <sys/socket.h>

#include <algorithm>

namespace server {

CConnectionWatch::CConnectionWatch(Limits limits) : m_limits(limits), m_thread([this] { Run(); }) {}

CConnectionWatch::~CConnectionWatch() {
  {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void CConnectionWatch::Waiting(std::uintptr_t key, int fd, const std::string& address) {
  const std::lock_guard lock(m_mutex);
  if (const auto found = m_byKey.find(key); found != m_byKey.end()) {
    // A kept-alive connection: its clock starts again for the next request.
    --m_perAddress[found->second->address];
    m_queue.erase(found->second);
    m_byKey.erase(found);
  }
  const unsigned fromThere = ++m_perAddress[address];
  m_queue.push_back(Entry{key, fd, address, std::chrono::steady_clock::now()});
  m_byKey[key] = std::prev(m_queue.end());
  if (fromThere > m_limits.maxWaitingPerAddress) {
    const auto oldest =
        std::find_if(m_queue.begin(), m_queue.end(), [&](const Entry& e) { return e.address == address; });
    LetGoLocked(oldest);
  }
  if (m_queue.size() > m_limits.maxWaiting) LetGoLocked(m_queue.begin());
  m_wake.notify_all();
}

void CConnectionWatch::Done(std::uintptr_t key) {
  const std::lock_guard lock(m_mutex);
  const auto found = m_byKey.find(key);
  if (found == m_byKey.end()) return;
  if (--m_perAddress[found->second->address] == 0) m_perAddress.erase(found->second->address);
  m_queue.erase(found->second);
  m_byKey.erase(found);
}

unsigned CConnectionWatch::LetGo() const {
  const std::lock_guard lock(m_mutex);
  return m_letGo;
}

void CConnectionWatch::LetGoLocked(Queue::iterator entry) {
  // The connection's own thread sees the end of its socket and closes it
  // the usual way; the descriptor stays libmicrohttpd's.
  ::shutdown(entry->fd, SHUT_RDWR);
  ++m_letGo;
  if (--m_perAddress[entry->address] == 0) m_perAddress.erase(entry->address);
  m_byKey.erase(entry->key);
  m_queue.erase(entry);
}

void CConnectionWatch::Run() {
  std::unique_lock lock(m_mutex);
  while (!m_stopping) {
    if (m_queue.empty()) {
      m_wake.wait(lock);
      continue;
    }
    const auto due = m_queue.front().since + m_limits.deadline;
    if (std::chrono::steady_clock::now() >= due) {
      LetGoLocked(m_queue.begin());
      continue;
    }
    m_wake.wait_until(lock, due);
  }
}

}  // namespace server
