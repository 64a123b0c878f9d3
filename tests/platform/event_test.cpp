// Kernel-style events: reset kinds, pulse, wait-all and closing under a waiter.
#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace platform;
using namespace std::chrono_literals;

// Polls until `done` holds or about two seconds pass; for outcomes that
// another thread brings about.
template <typename F>
bool Eventually(F done) {
  for (int i = 0; i < 2000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

// `count` threads that wait on `e` without a time limit and count themselves
// in `released` when the event lets them through.
std::vector<std::thread> StartWaiters(const EventHandle& e, int count, std::atomic<int>& released) {
  std::vector<std::thread> waiters;
  for (int i = 0; i < count; ++i) {
    waiters.emplace_back([&e, &released] {
      if (WaitForEvent(e, kInfinite) == WaitResult::Signalled) ++released;
    });
  }
  return waiters;
}

TEST(PlatformEvent, AutoResetIsTakenByOneWaitManualResetStays) {
  auto autoEvent = CreateEvent(false, true);
  EXPECT_EQ(WaitForEvent(autoEvent, 0), WaitResult::Signalled);
  EXPECT_EQ(WaitForEvent(autoEvent, 0), WaitResult::TimedOut);
  EXPECT_EQ(WaitForEvent(autoEvent, 5), WaitResult::TimedOut);

  auto manual = CreateEvent(true, false);
  EXPECT_EQ(WaitForEvent(manual, 0), WaitResult::TimedOut);
  ASSERT_TRUE(SetEvent(manual));
  EXPECT_EQ(WaitForEvent(manual, 0), WaitResult::Signalled);
  EXPECT_EQ(WaitForEvent(manual, kInfinite), WaitResult::Signalled);
  ASSERT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForEvent(manual, 0), WaitResult::TimedOut);
}

TEST(PlatformEvent, AutoResetSetReleasesExactlyOneOfTwoWaiters) {
  auto e = CreateEvent(false, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters = StartWaiters(e, 2, released);
  ASSERT_TRUE(Eventually([&] { return WaitingOn(e) == 2; }));
  EXPECT_TRUE(SetEvent(e));
  EXPECT_TRUE(Eventually([&] { return released == 1; }));
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(released, 1);
  EXPECT_EQ(WaitForEvent(e, 0), WaitResult::TimedOut) << "the released waiter took the signal";
  EXPECT_TRUE(SetEvent(e));
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released, 2);
}

TEST(PlatformEvent, PulseWithNobodyWaitingHasNoEffect) {
  for (bool manual : {true, false}) {
    auto e = CreateEvent(manual, false);
    ASSERT_TRUE(PulseEvent(e));
    EXPECT_EQ(WaitForEvent(e, 0), WaitResult::TimedOut);
    ASSERT_TRUE(SetEvent(e));
    ASSERT_TRUE(PulseEvent(e));
    EXPECT_EQ(WaitForEvent(e, 0), WaitResult::TimedOut) << "a pulse leaves the event reset";
  }
}

TEST(PlatformEvent, PulseReleasesThoseWaitingManualAllAutoOne) {
  for (bool manual : {true, false}) {
    auto e = CreateEvent(manual, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters = StartWaiters(e, 3, released);
    // A pulse only reaches threads already waiting.
    ASSERT_TRUE(Eventually([&] { return WaitingOn(e) == 3; }));
    EXPECT_TRUE(PulseEvent(e));
    if (manual) {
      EXPECT_EQ(WaitingOn(e), 0u);
      EXPECT_TRUE(Eventually([&] { return released == 3; }));
    } else {
      EXPECT_EQ(WaitingOn(e), 2u) << "an auto-reset pulse releases one waiter";
      EXPECT_TRUE(Eventually([&] { return released == 1; }));
      EXPECT_TRUE(PulseEvent(e));
      EXPECT_EQ(WaitingOn(e), 1u);
      EXPECT_TRUE(Eventually([&] { return released == 2; }));
    }
    EXPECT_EQ(WaitForEvent(e, 0), WaitResult::TimedOut) << "a pulse leaves the event reset";
    // Free whoever is still waiting, whatever happened above.
    while (released < 3) {
      SetEvent(e);
      std::this_thread::sleep_for(1ms);
    }
    for (auto& t : waiters) t.join();
    EXPECT_EQ(WaitingOn(e), 0u);
    ResetEvent(e);
  }
}

TEST(PlatformEvent, WaitAllTakesAllAtOnceOrNothing) {
  auto a = CreateEvent(false, true);
  auto b = CreateEvent(false, false);
  auto m = CreateEvent(true, true);
  const std::vector<EventHandle> all = {a, b, m};
  EXPECT_EQ(WaitForAllEvents(all, 5), WaitResult::TimedOut);
  EXPECT_EQ(WaitForEvent(a, 0), WaitResult::Signalled) << "a failed wait-all consumed nothing";
  SetEvent(a);
  std::thread setter([&] {
    std::this_thread::sleep_for(5ms);
    SetEvent(b);
  });
  EXPECT_EQ(WaitForAllEvents(all, kInfinite), WaitResult::Signalled);
  setter.join();
  EXPECT_EQ(WaitForEvent(a, 0), WaitResult::TimedOut);
  EXPECT_EQ(WaitForEvent(b, 0), WaitResult::TimedOut);
  EXPECT_EQ(WaitForEvent(m, 0), WaitResult::Signalled) << "manual-reset events stay set";

  EXPECT_EQ(WaitForAllEvents({}, 0), WaitResult::Failed);
  const std::vector<EventHandle> withNull = {m, nullptr};
  EXPECT_EQ(WaitForAllEvents(withNull, 0), WaitResult::Failed);
}

TEST(PlatformEvent, ClosingUnderAWaiterFailsTheWaiter) {
  auto e = CreateEvent(true, false);
  auto other = CreateEvent(true, true);
  EventHandle mine = e;
  std::atomic<int> single{-1}, all{-1};
  std::thread waiter([&, held = e] { single = static_cast<int>(WaitForEvent(held, kInfinite)); });
  std::thread allWaiter(
      [&, list = std::vector<EventHandle>{other, e}] { all = static_cast<int>(WaitForAllEvents(list, kInfinite)); });
  std::this_thread::sleep_for(10ms);
  CloseEvent(mine);
  EXPECT_EQ(mine, nullptr);
  waiter.join();
  allWaiter.join();
  EXPECT_EQ(single, static_cast<int>(WaitResult::Failed));
  EXPECT_EQ(all, static_cast<int>(WaitResult::Failed));
  // Later calls on a reference kept elsewhere fail too.
  EXPECT_FALSE(SetEvent(e));
  EXPECT_FALSE(ResetEvent(e));
  EXPECT_FALSE(PulseEvent(e));
  EXPECT_EQ(WaitForEvent(e, 0), WaitResult::Failed);

  EventHandle none;
  EXPECT_FALSE(SetEvent(none));
  EXPECT_EQ(WaitForEvent(none, 0), WaitResult::Failed);
  CloseEvent(none);
}

}  // namespace
