#include "server/token_guess_limiter.h"

namespace server {

CTokenGuessLimiter::CTokenGuessLimiter(std::chrono::milliseconds window, unsigned maxWrong, Clock clock)
    : m_window(window), m_maxWrong(maxWrong), m_clock(std::move(clock)) {}

long long CTokenGuessLimiter::LockedSeconds(const std::string& address) {
  const auto now = m_clock();
  const std::lock_guard lock(m_mutex);
  const auto found = m_windows.find(address);
  if (found == m_windows.end() || found->second.wrong < m_maxWrong) return 0;
  const auto left = found->second.start + m_window - now;
  if (left <= std::chrono::steady_clock::duration::zero()) {
    m_windows.erase(found);
    return 0;
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return (ms + 999) / 1000;
}

void CTokenGuessLimiter::RecordWrong(const std::string& address) {
  const auto now = m_clock();
  const std::lock_guard lock(m_mutex);
  auto found = m_windows.find(address);
  if (found != m_windows.end() && now - found->second.start >= m_window) {
    m_windows.erase(found);
    found = m_windows.end();
  }
  if (found == m_windows.end()) {
    if (m_windows.size() >= kMaxAddresses) ForgetEnded(now);
    // Still full: the guesses of many addresses at once go uncounted rather
    // than letting them push out an address that is locked.
    if (m_windows.size() >= kMaxAddresses) return;
    found = m_windows.emplace(address, Window{now, 0}).first;
  }
  ++found->second.wrong;
}

void CTokenGuessLimiter::ForgetEnded(std::chrono::steady_clock::time_point now) {
  std::erase_if(m_windows, [&](const auto& entry) { return now - entry.second.start >= m_window; });
}

}  // namespace server
