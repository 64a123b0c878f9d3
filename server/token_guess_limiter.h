// Slows down guessing of the token: an address that sent too many wrong
// tokens within a window is refused until that window ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class CTokenGuessLimiter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr unsigned kDefaultMaxWrong = 10;
  // Addresses remembered at once; beyond it the ones whose window ended go first.
  static constexpr std::size_t kMaxAddresses = 4096;

  explicit CTokenGuessLimiter(std::chrono::milliseconds window = std::chrono::minutes(1),
                              unsigned maxWrong = kDefaultMaxWrong, Clock clock = std::chrono::steady_clock::now);

  // Whole seconds (at least 1) until `address` may try again; 0 when it may now.
  long long LockedSeconds(const std::string& address);
  void RecordWrong(const std::string& address);

 private:
  struct Window {
    std::chrono::steady_clock::time_point start;
    unsigned wrong = 0;
  };
  void ForgetEnded(std::chrono::steady_clock::time_point now);

  const std::chrono::milliseconds m_window;
  const unsigned m_maxWrong;
  const Clock m_clock;
  std::mutex m_mutex;
  std::unordered_map<std::string, Window> m_windows;
};

}  // namespace server
