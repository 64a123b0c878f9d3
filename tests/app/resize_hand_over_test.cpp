#include "app/resize_hand_over.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QObject>
#include <QTest>

#include "platform/sleep.h"

TEST(ResizeHandOver, ServedByTheEventLoop) {
  QObject owner;
  std::atomic<int> handled{0};
  ResizeHandOver handOver(owner, [&] { handled.fetch_add(1); });
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    handOver.Request();
    returned.store(true);
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
  worker.join();
  EXPECT_EQ(handled.load(), 1);
}

TEST(ResizeHandOver, ServedFromAWaitLoopWithoutTheEventLoopAndOnlyOnce) {
  QObject owner;
  std::atomic<int> handled{0};
  ResizeHandOver handOver(owner, [&] { handled.fetch_add(1); });
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    handOver.Request();
    returned.store(true);
  });
  // Like the shutdown's wait: poll, serve, never run the event loop.
  while (!returned.load()) {
    handOver.Serve();
    platform::SleepMs(1);
  }
  worker.join();
  EXPECT_EQ(handled.load(), 1);
  // The posted call arrives later and finds nothing to do.
  QTest::qWait(20);
  EXPECT_EQ(handled.load(), 1);
}

TEST(ResizeHandOver, CloseReleasesAWaitingWorkerAndLaterRequests) {
  QObject owner;
  std::atomic<int> handled{0};
  ResizeHandOver handOver(owner, [&] { handled.fetch_add(1); });
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    handOver.Request();
    returned.store(true);
  });
  platform::SleepMs(20);
  handOver.Close();
  worker.join();
  EXPECT_TRUE(returned.load());
  handOver.Request();  // returns at once
  QTest::qWait(20);
  EXPECT_EQ(handled.load(), 0);
}
