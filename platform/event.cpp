#include "platform/event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <vector>

namespace platform {

// One lock for every event, as a kernel's dispatcher lock: a wait on several
// events then sees and takes them in one step, which per-event locks cannot do.
namespace {

struct Waiter {
  std::vector<EventObject*> events;
  bool waitAll = false;
  bool released = false;
  bool failed = false;
};

struct Dispatcher {
  std::mutex lock;
  std::condition_variable wake;
  std::list<Waiter*> waiters;
};

Dispatcher& dispatcher() {
  static Dispatcher d;
  return d;
}

}  // namespace

class EventObject {
 public:
  EventObject(bool manualReset, bool signalled) : manualReset(manualReset), signalled(signalled) {}
  const bool manualReset;
  bool signalled;
  bool closed = false;
};

namespace {

// Takes the event on behalf of a released waiter.
void consume(EventObject* e) {
  if (!e->manualReset) e->signalled = false;
}

bool satisfiable(const Waiter& w) {
  if (w.waitAll) {
    return std::all_of(w.events.begin(), w.events.end(), [](EventObject* e) { return e->signalled; });
  }
  return w.events.front()->signalled;
}

// Releases, in arrival order, every waiter that the current states satisfy.
// Called with the dispatcher lock held after any event became signalled.
void releaseWaiters(Dispatcher& d) {
  bool any = false;
  for (Waiter* w : d.waiters) {
    if (w->released || w->failed || !satisfiable(*w)) continue;
    for (EventObject* e : w->events) consume(e);
    w->released = true;
    any = true;
  }
  if (any) d.wake.notify_all();
}

WaitResult waitLocked(Dispatcher& d, std::unique_lock<std::mutex>& guard, Waiter& w, std::uint32_t timeoutMs) {
  for (EventObject* e : w.events) {
    if (e == nullptr || e->closed) return WaitResult::Failed;
  }
  if (satisfiable(w)) {
    for (EventObject* e : w.events) consume(e);
    return WaitResult::Signalled;
  }
  if (timeoutMs == 0) return WaitResult::TimedOut;

  d.waiters.push_back(&w);
  auto done = [&w] { return w.released || w.failed; };
  bool finished = true;
  if (timeoutMs == kInfinite) {
    d.wake.wait(guard, done);
  } else {
    finished = d.wake.wait_for(guard, std::chrono::milliseconds(timeoutMs), done);
  }
  d.waiters.remove(&w);
  if (!finished) return WaitResult::TimedOut;
  return w.released ? WaitResult::Signalled : WaitResult::Failed;
}

}  // namespace

EventHandle CreateEvent(bool manualReset, bool initiallySignalled) {
  return std::make_shared<EventObject>(manualReset, initiallySignalled);
}

bool SetEvent(const EventHandle& event) {
  if (!event) return false;
  Dispatcher& d = dispatcher();
  std::lock_guard guard(d.lock);
  if (event->closed) return false;
  event->signalled = true;
  releaseWaiters(d);
  return true;
}

bool ResetEvent(const EventHandle& event) {
  if (!event) return false;
  Dispatcher& d = dispatcher();
  std::lock_guard guard(d.lock);
  if (event->closed) return false;
  event->signalled = false;
  return true;
}

bool PulseEvent(const EventHandle& event) {
  if (!event) return false;
  Dispatcher& d = dispatcher();
  std::lock_guard guard(d.lock);
  if (event->closed) return false;
  if (event->manualReset) {
    event->signalled = true;
    releaseWaiters(d);
  } else {
    // An auto-reset pulse releases at most one waiter: the first single wait on it.
    for (Waiter* w : d.waiters) {
      if (w->released || w->failed || w->waitAll || w->events.front() != event.get()) continue;
      w->released = true;
      d.wake.notify_all();
      break;
    }
  }
  event->signalled = false;
  return true;
}

WaitResult WaitForEvent(const EventHandle& event, std::uint32_t timeoutMs) {
  if (!event) return WaitResult::Failed;
  EventHandle keep = event;  // keeps the object alive for the whole wait
  Dispatcher& d = dispatcher();
  std::unique_lock guard(d.lock);
  Waiter w;
  w.events.push_back(keep.get());
  return waitLocked(d, guard, w, timeoutMs);
}

WaitResult WaitForAllEvents(std::span<const EventHandle> events, std::uint32_t timeoutMs) {
  if (events.empty()) return WaitResult::Failed;
  std::vector<EventHandle> keep(events.begin(), events.end());
  Dispatcher& d = dispatcher();
  std::unique_lock guard(d.lock);
  Waiter w;
  w.waitAll = true;
  for (const EventHandle& e : keep) w.events.push_back(e.get());
  return waitLocked(d, guard, w, timeoutMs);
}

void CloseEvent(EventHandle& event) {
  if (!event) return;
  {
    Dispatcher& d = dispatcher();
    std::lock_guard guard(d.lock);
    event->closed = true;
    bool any = false;
    for (Waiter* w : d.waiters) {
      if (w->released || w->failed) continue;
      if (std::find(w->events.begin(), w->events.end(), event.get()) != w->events.end()) {
        w->failed = true;
        any = true;
      }
    }
    if (any) d.wake.notify_all();
  }
  event.reset();
}

}  // namespace platform
