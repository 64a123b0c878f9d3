// The last-failure recorder: what it keeps, whom it tells, and that any
// thread may record while listeners come and go.
#include "platform/failure_record.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using platform::CFailureRecorder;
using platform::Failure;

TEST(FailureRecorder, KeepsTheLastAndTellsARepeatOnlyOnce) {
  CFailureRecorder recorder;
  EXPECT_FALSE(recorder.Last());
  std::vector<std::string> heard;
  {
    const auto subscription = recorder.Listen([&heard](const Failure& f) { heard.push_back(f.what + " / " + f.why); });
    recorder.Record("saving /tmp/a.jpg", "the folder refuses a new file: Permission denied");
    recorder.Record("saving /tmp/a.jpg", "the folder refuses a new file: Permission denied");
    ASSERT_TRUE(recorder.Last());
    EXPECT_EQ(recorder.Last()->repeats, 1u);
    recorder.Record("saving /tmp/a.jpg", "a write failed: No space left on device");
    EXPECT_EQ(recorder.Last()->repeats, 0u);
  }
  recorder.Record("camera link: opening", "no free camera");
  EXPECT_EQ(heard, (std::vector<std::string>{"saving /tmp/a.jpg / the folder refuses a new file: Permission denied",
                                             "saving /tmp/a.jpg / a write failed: No space left on device"}));
  const Failure last = *recorder.Last();
  EXPECT_EQ(last.what, "camera link: opening");
  const std::string line = platform::FormatFailure(last);
  EXPECT_EQ(line.substr(19), " camera link: opening: no free camera") << line;  // after "YYYY-MM-DD HH:MM:SS"
  recorder.Clear();
  EXPECT_FALSE(recorder.Last());
}

TEST(FailureRecorder, ManyThreadsRecordWhileListenersComeAndGo) {
  CFailureRecorder recorder;
  std::atomic<int> heardByStayer{0};
  const auto stayer = recorder.Listen([&](const Failure&) { heardByStayer.fetch_add(1); });
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kEach; ++i) recorder.Record("thread " + std::to_string(t), std::to_string(i));
    });
  }
  go = true;
  for (int round = 0; round < 100; ++round) {
    std::atomic<int> heard{0};
    auto passer = recorder.Listen([&heard](const Failure&) { heard.fetch_add(1); });
    passer = {};  // ends it: nothing may reach `heard` after this
    const int after = heard.load();
    std::this_thread::yield();
    EXPECT_EQ(heard.load(), after);
  }
  for (auto& thread : threads) thread.join();
  // No two records are alike, so none is a repeat and every one was told.
  EXPECT_EQ(heardByStayer.load(), kThreads * kEach);
  ASSERT_TRUE(recorder.Last());
  EXPECT_EQ(recorder.Last()->why, std::to_string(kEach - 1));
}
