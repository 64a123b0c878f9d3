#include "app/resize_hand_over.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QObject>
#include <QTest>

#include "platform/sleep.h"

namespace {

// A worker thread that asks for one resize and notes when the request returns.
class ResizeHandOverTest : public ::testing::Test {
 protected:
  void StartRequest() {
    m_worker = std::thread([this] {
      m_handOver.Request();
      m_returned.store(true);
      m_handOver.Wake();
    });
  }
  void TearDown() override {
    if (m_worker.joinable()) m_worker.join();
  }

  QObject m_owner;
  std::atomic<int> m_handled{0};
  ResizeHandOver m_handOver{m_owner, [this] { m_handled.fetch_add(1); }};
  std::atomic<bool> m_returned{false};
  std::thread m_worker;
};

}  // namespace

TEST_F(ResizeHandOverTest, ServedByTheEventLoop) {
  StartRequest();
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_returned.load(); }, 5000));
  m_worker.join();
  EXPECT_EQ(m_handled.load(), 1);
}

TEST_F(ResizeHandOverTest, ServedFromAWaitLoopWithoutTheEventLoopAndOnlyOnce) {
  StartRequest();
  // Like the shutdown's wait: serve until done, never run the event loop.
  m_handOver.ServeUntil([&] { return m_returned.load(); });
  m_worker.join();
  EXPECT_EQ(m_handled.load(), 1);
  // The posted call arrives later and finds nothing to do.
  QTest::qWait(20);
  EXPECT_EQ(m_handled.load(), 1);
}

TEST_F(ResizeHandOverTest, CloseReleasesAWaitingWorkerAndLaterRequests) {
  StartRequest();
  platform::SleepMs(20);
  m_handOver.Close();
  m_worker.join();
  EXPECT_TRUE(m_returned.load());
  m_handOver.Request();  // returns at once
  QTest::qWait(20);
  EXPECT_EQ(m_handled.load(), 0);
}
