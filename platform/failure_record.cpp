#include "platform/failure_record.h"

#include <ctime>
#include <utility>

namespace platform {

std::string FormatFailure(const Failure& failure) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(failure.when);
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  return std::string(stamp) + " " + failure.what + ": " + failure.why;
}

void CFailureRecorder::Record(std::string_view what, std::string_view why) {
  Failure copy;
  {
    std::lock_guard guard(m_lock);
    const auto now = std::chrono::system_clock::now();
    if (m_last && m_last->what == what && m_last->why == why) {
      m_last->when = now;
      ++m_last->repeats;
      return;
    }
    m_last = Failure{now, std::string(what), std::string(why), 0};
    copy = *m_last;
  }
  std::lock_guard guard(m_listenerLock);
  for (const auto& [id, listener] : m_listeners) listener(copy);
}

std::optional<Failure> CFailureRecorder::Last() const {
  std::lock_guard guard(m_lock);
  return m_last;
}

void CFailureRecorder::Clear() {
  std::lock_guard guard(m_lock);
  m_last.reset();
}

CFailureRecorder::Subscription CFailureRecorder::Listen(Listener listener) {
  std::lock_guard guard(m_listenerLock);
  const int id = m_nextId++;
  m_listeners.emplace_back(id, std::move(listener));
  return Subscription(this, id);
}

void CFailureRecorder::Unlisten(int id) {
  std::lock_guard guard(m_listenerLock);
  std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

CFailureRecorder::Subscription::Subscription(Subscription&& other) noexcept
    : m_recorder(std::exchange(other.m_recorder, nullptr)), m_id(other.m_id) {}

CFailureRecorder::Subscription& CFailureRecorder::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    End();
    m_recorder = std::exchange(other.m_recorder, nullptr);
    m_id = other.m_id;
  }
  return *this;
}

CFailureRecorder::Subscription::~Subscription() { End(); }

void CFailureRecorder::Subscription::End() {
  if (m_recorder) std::exchange(m_recorder, nullptr)->Unlisten(m_id);
}

CFailureRecorder& Failures() {
  static CFailureRecorder recorder;
  return recorder;
}

}  // namespace platform
