#include "platform/thread_priority.h"

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
// Far enough below the live view to give way to it, not so far that a busy
// machine starves the work.
constexpr int kBackgroundNice = 10;
}  // namespace

bool LowerThisThreadPriority() {
#if defined(__linux__)
  // SCHED_BATCH: a long computation, never preempting an interactive thread on waking.
  const sched_param batch{};
  const bool batched = pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch) == 0;
  // On Linux the nice value belongs to the thread named by its id.
  const bool niced = setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNice) == 0;
  return batched && niced;
#else
  (void)kBackgroundNice;
  return false;
#endif
}

}  // namespace platform
