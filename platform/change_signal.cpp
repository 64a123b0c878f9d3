// Linux: the counter is the futex word itself; another system would wait on
// its own address-wait call (WaitOnAddress, __ulock_wait) behind the same two calls.
#include "platform/change_signal.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "the futex word is the counter itself");

void CChangeSignal::Notify() {
  m_count.fetch_add(1, std::memory_order_release);
  syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&m_count), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void CChangeSignal::WaitChange(std::uint32_t seen, std::chrono::nanoseconds timeout) const {
  if (timeout.count() <= 0) return;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  const timespec relative{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
  // Returns at once when the counter moved before the call; an interrupted
  // or spurious return only makes the caller look again.
  syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&m_count), FUTEX_WAIT_PRIVATE, seen, &relative, nullptr, 0);
}
