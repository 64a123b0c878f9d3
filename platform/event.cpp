#include "platform/event.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// One lock for every event, as a kernel's dispatcher lock: a wait on several
// events then sees and takes them in one step, which per-event locks cannot do.
namespace {

// As many events as one wait may name, the system's own limit.
constexpr std::size_t kMaxWaitObjects = 64;

// A waiting thread's record, on its own stack and linked into the dispatcher's
// list while it waits, so a wait allocates nothing.
struct Waiter {
  std::array<EventObject*, kMaxWaitObjects> slots{};
  std::size_t count = 0;
  bool waitAll = false;
  bool released = false;
  bool failed = false;
  Waiter* prev = nullptr;
  Waiter* next = nullptr;

  std::span<EventObject* const> events() const { return {slots.data(), count}; }
};

struct WaiterList {
  Waiter* head = nullptr;
  Waiter* tail = nullptr;

  void pushBack(Waiter* w) {
    w->prev = tail;
    w->next = nullptr;
    (tail ? tail->next : head) = w;
    tail = w;
  }
  void remove(Waiter* w) {
    (w->prev ? w->prev->next : head) = w->next;
    (w->next ? w->next->prev : tail) = w->prev;
    w->prev = w->next = nullptr;
  }
};

struct Dispatcher {
  std::mutex lock;
  std::condition_variable wake;
  WaiterList waiters;
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
    const auto events = w.events();
    return std::all_of(events.begin(), events.end(), [](EventObject* e) { return e->signalled; });
  }
  return w.slots[0]->signalled;
}

// Whether the waiter is still blocked in a wait that names the event.
bool stillWaitsOn(const Waiter& w, const EventObject* e) {
  if (w.released || w.failed) return false;
  const auto events = w.events();
  return std::find(events.begin(), events.end(), e) != events.end();
}

// Releases, in arrival order, every waiter that the current states satisfy.
// Called with the dispatcher lock held after any event became signalled.
void releaseWaiters(Dispatcher& d) {
  bool any = false;
  for (Waiter* w = d.waiters.head; w; w = w->next) {
    if (w->released || w->failed || !satisfiable(*w)) continue;
    for (EventObject* e : w->events()) consume(e);
    w->released = true;
    any = true;
  }
  if (any) d.wake.notify_all();
}

WaitResult waitLocked(Dispatcher& d, std::unique_lock<std::mutex>& guard, Waiter& w, std::uint32_t timeoutMs) {
  for (EventObject* e : w.events()) {
    if (e == nullptr || e->closed) return WaitResult::Failed;
  }
  if (satisfiable(w)) {
    for (EventObject* e : w.events()) consume(e);
    return WaitResult::Signalled;
  }
  if (timeoutMs == 0) return WaitResult::TimedOut;

  d.waiters.pushBack(&w);
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

namespace {

// Runs `change` on an event that is still open, under the dispatcher's lock;
// false for a null or closed event.
template <typename Change>
bool ChangeOpenEvent(const EventHandle& event, Change change) {
  if (!event) return false;
  Dispatcher& d = dispatcher();
  std::lock_guard guard(d.lock);
  if (event->closed) return false;
  change(d);
  return true;
}

}  // namespace

bool SetEvent(const EventHandle& event) {
  return ChangeOpenEvent(event, [&](Dispatcher& d) {
    event->signalled = true;
    releaseWaiters(d);
  });
}

bool ResetEvent(const EventHandle& event) {
  return ChangeOpenEvent(event, [&](Dispatcher&) { event->signalled = false; });
}

bool PulseEvent(const EventHandle& event) {
  return ChangeOpenEvent(event, [&](Dispatcher& d) {
    if (event->manualReset) {
      event->signalled = true;
      releaseWaiters(d);
    } else {
      // An auto-reset pulse releases at most one waiter: the first single wait on it.
      for (Waiter* w = d.waiters.head; w; w = w->next) {
        if (w->released || w->failed || w->waitAll || w->slots[0] != event.get()) continue;
        w->released = true;
        d.wake.notify_all();
        break;
      }
    }
    event->signalled = false;
  });
}

WaitResult WaitForEvent(const EventHandle& event, std::uint32_t timeoutMs) {
  if (!event) return WaitResult::Failed;
  EventHandle keep = event;  // keeps the object alive for the whole wait
  Dispatcher& d = dispatcher();
  std::unique_lock guard(d.lock);
  Waiter w;
  w.slots[0] = keep.get();
  w.count = 1;
  return waitLocked(d, guard, w, timeoutMs);
}

WaitResult WaitForAllEvents(std::span<const EventHandle> events, std::uint32_t timeoutMs) {
  if (events.empty() || events.size() > kMaxWaitObjects) return WaitResult::Failed;
  // References held for the whole wait, so a close elsewhere cannot free an event under us.
  std::array<EventHandle, kMaxWaitObjects> keep;
  std::copy(events.begin(), events.end(), keep.begin());
  Dispatcher& d = dispatcher();
  std::unique_lock guard(d.lock);
  Waiter w;
  w.waitAll = true;
  w.count = events.size();
  for (std::size_t i = 0; i < w.count; ++i) w.slots[i] = keep[i].get();
  return waitLocked(d, guard, w, timeoutMs);
}

std::size_t WaitingOn(const EventHandle& event) {
  if (!event) return 0;
  Dispatcher& d = dispatcher();
  std::lock_guard guard(d.lock);
  std::size_t count = 0;
  for (const Waiter* w = d.waiters.head; w; w = w->next)
    if (stillWaitsOn(*w, event.get())) ++count;
  return count;
}

void CloseEvent(EventHandle& event) {
  if (!event) return;
  {
    Dispatcher& d = dispatcher();
    std::lock_guard guard(d.lock);
    event->closed = true;
    bool any = false;
    for (Waiter* w = d.waiters.head; w; w = w->next) {
      if (stillWaitsOn(*w, event.get())) {
        w->failed = true;
        any = true;
      }
    }
    if (any) d.wake.notify_all();
  }
  event.reset();
}

}  // namespace platform
