// The program's last failure and its reason, kept for the people who support
// it: the diagnostics window's log, --verbose and the web state show it. The
// user's own messages ("Error!", the capture overlay) do not change; this
// keeps the why they leave out.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct Failure {
  std::chrono::system_clock::time_point when;
  std::string what;           // the operation, e.g. "saving a still"
  std::string why;            // the failing layer's own text, errno's or FFmpeg's
  std::uint64_t repeats = 0;  // how often the same failure came again since
};

// "2026-12-09 19:40:01 saving a still: the folder refuses a new file", local time.
std::string FormatFailure(const Failure& failure);

// Thread-safe: any thread records, any thread reads.
class CFailureRecorder {
 public:
  using Listener = std::function<void(const Failure&)>;

  // The same what and why as the last failure only counts a repeat and
  // renews its time: a camera refusing every frame tells its listeners once.
  void Record(std::string_view what, std::string_view why);
  std::optional<Failure> Last() const;
  void Clear();

  // Hears every new failure, on the thread that records it, until the
  // subscription ends; a listener must not record.
  class Subscription {
   public:
    Subscription() = default;
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    ~Subscription();

   private:
    friend class CFailureRecorder;
    Subscription(CFailureRecorder* recorder, int id) : m_recorder(recorder), m_id(id) {}
    void End();
    CFailureRecorder* m_recorder = nullptr;
    int m_id = 0;
  };
  [[nodiscard]] Subscription Listen(Listener listener);

 private:
  void Unlisten(int id);

  mutable std::mutex m_lock;
  std::optional<Failure> m_last;
  // Held while listeners run and while one is removed, so that none runs
  // after its subscription has ended.
  std::mutex m_listenerLock;
  std::vector<std::pair<int, Listener>> m_listeners;
  int m_nextId = 1;
};

// The one the program's layers record into.
CFailureRecorder& Failures();

}  // namespace platform
