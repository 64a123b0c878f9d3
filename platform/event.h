// Kernel-style events for the camera link and the live view: auto-reset and
// manual-reset, set / reset / pulse, and waits on one or on all of several.
//
// A handle is a shared reference: a thread that waits keeps the event alive, so
// an event closed by another thread is never freed under a waiter. Closing wakes
// every waiter on that event with WaitResult::Failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace platform {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { Signalled, TimedOut, Failed };

class EventObject;
using EventHandle = std::shared_ptr<EventObject>;

EventHandle CreateEvent(bool manualReset, bool initiallySignalled);

// Each returns false for a null or closed handle.
bool SetEvent(const EventHandle& event);
bool ResetEvent(const EventHandle& event);
// Releases the threads waiting at this moment (one of them for an auto-reset
// event) and leaves the event reset; with nobody waiting it has no effect.
bool PulseEvent(const EventHandle& event);

WaitResult WaitForEvent(const EventHandle& event, std::uint32_t timeoutMs);
// Waits (on at most 64 events) until every event is signalled at the same moment, then takes them all
// at once (auto-reset ones are reset). An empty list, a null handle or a handle
// closed during the wait answers Failed.
WaitResult WaitForAllEvents(std::span<const EventHandle> events, std::uint32_t timeoutMs);

// How many threads are blocked in a wait that names this event now: lets a
// test see a worker parked at its gate rather than guess from its silence.
std::size_t WaitingOn(const EventHandle& event);

// Marks the event closed (waiters fail, later calls fail) and drops this reference.
void CloseEvent(EventHandle& event);

}  // namespace platform
