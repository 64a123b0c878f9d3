#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

#include <QImage>
#include <QTest>

#include "liveview/frame_taps.h"
#include "liveview/live_view.h"
#include "liveview/live_view_thread.h"
#include "platform/sleep.h"
#include "platform/worker_thread.h"
#include "test_pictures.h"

namespace {

// A camera whose mode, failures and pictures the test sets from its own thread.
class ScriptedSource final : public ILiveFrameSource {
 public:
  void SetMode(int mode, int width, int height) {
    std::lock_guard lock(m_mutex);
    m_nextMode = mode;
    m_nextWidth = width;
    m_nextHeight = height;
  }

  bool QueryMode() override {
    m_queries.fetch_add(1);
    if (m_failQueries.load()) return false;
    std::lock_guard lock(m_mutex);
    m_mode.store(m_nextMode);
    m_width.store(m_nextWidth);
    m_height.store(m_nextHeight);
    return true;
  }

  bool GrabFrame(std::uint8_t* destination) override {
    const int number = m_grabs.fetch_add(1) + 1;
    const int width = m_width.load();
    const int height = m_height.load();
    {
      std::lock_guard lock(m_mutex);
      // What the destination held before this frame, for the resize checks.
      const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
      m_firstRowBefore.assign(destination, destination + rowBytes);
    }
    if (number == m_failGrabNumber.load()) return false;
    const auto picture = PatternPicture(number, width, height);
    std::memcpy(destination, picture.data(), picture.size());
    m_lastGoodSeed.store(number);
    return true;
  }

  int Mode() const override { return m_mode.load(); }
  int Width() const override { return m_width.load(); }
  int Height() const override { return m_height.load(); }

  std::vector<std::uint8_t> FirstRowBefore() {
    std::lock_guard lock(m_mutex);
    return m_firstRowBefore;
  }

  std::atomic<bool> m_failQueries{false};
  std::atomic<int> m_failGrabNumber{0};  // 1-based; 0: none fails
  std::atomic<int> m_queries{0};
  std::atomic<int> m_grabs{0};
  std::atomic<int> m_lastGoodSeed{0};

 private:
  std::mutex m_mutex;
  int m_nextMode = 0;
  int m_nextWidth = 640;
  int m_nextHeight = 480;
  std::atomic<int> m_mode{0};
  std::atomic<int> m_width{640};
  std::atomic<int> m_height{480};
  std::vector<std::uint8_t> m_firstRowBefore;
};

class WorkerHost final : public ILiveViewHost {
 public:
  WorkerHost() : m_gate(platform::CreateEvent(true, true)), m_running(platform::CreateEvent(true, false)) {}
  ~WorkerHost() override {
    Stop();
    platform::CloseEvent(m_gate);
    platform::CloseEvent(m_running);
  }

  void Start() {
    m_liveRunning.store(1);
    m_thread.Start(LiveViewThread, static_cast<ILiveViewHost*>(this));
    ASSERT_EQ(platform::WaitForEvent(m_running, platform::kInfinite), platform::WaitResult::Signalled);
  }
  // Shutdown's first step: stop, release a paused worker, wait for its end.
  void Stop() {
    m_liveRunning.store(0);
    platform::SetEvent(m_gate);
    m_thread.Join();
  }

  // Starts the worker, lets `frames` frames through, then closes the gate and
  // waits until the worker sits at it.
  bool StartAndPauseAfter(int frames);

  platform::EventHandle RunEvent() override { return m_gate; }
  bool LiveRunning() const override { return m_liveRunning.load() != 0; }
  void SetWorkerAlive(bool alive) override { m_alive.store(alive ? 1 : 0); }
  void WorkerRunning() override { platform::SetEvent(m_running); }
  void AcquisitionFailed() override {
    m_liveRunning.store(0);
    m_deviceOk.store(0);
  }
  void CountFrame() override { m_frames.fetch_add(1); }
  int DisplayedMode() const override { return m_displayedMode.load(); }
  void SendResize() override {
    m_resizes.fetch_add(1);
    m_bitmapWidthAtResize.store(m_view.Bitmap().Width());
    m_displayedMode.store(m_source.Mode());
  }
  ILiveFrameSource& FrameSource() override { return m_source; }
  CLiveView& View() override { return m_view; }
  CFrameTaps* FrameTaps() override { return &m_taps; }
  int QuarterTurns() const override { return m_turns.load(); }

  ScriptedSource m_source;
  std::atomic<int> m_turns{0};
  CFrameTaps m_taps;
  CLiveView m_view;
  platform::EventHandle m_gate;
  platform::EventHandle m_running;
  std::atomic<std::int32_t> m_liveRunning{0};
  std::atomic<std::int32_t> m_alive{0};
  std::atomic<std::int32_t> m_deviceOk{1};
  std::atomic<std::int32_t> m_frames{0};
  std::atomic<int> m_displayedMode{0};
  std::atomic<int> m_resizes{0};
  std::atomic<int> m_bitmapWidthAtResize{0};

 private:
  platform::WorkerThread m_thread;
};

// Waits until the worker sits at the closed gate.
void WaitUntilIdleAtGate(const platform::EventHandle& gate) {
  ASSERT_TRUE(QTest::qWaitFor([&] { return platform::WaitingOn(gate) == 1; }, 10000))
      << "the worker never reached the gate";
}

bool WorkerHost::StartAndPauseAfter(int frames) {
  Start();
  if (!QTest::qWaitFor([&] { return m_frames.load() >= frames; }, 5000)) return false;
  platform::ResetEvent(m_gate);
  WaitUntilIdleAtGate(m_gate);
  return true;
}

bool PackedHoldsPicture(const CFrameBitmap& bitmap, int seed) {
  const auto picture = PatternPicture(seed, bitmap.Width(), bitmap.Height());
  auto lock = bitmap.LockBuffers();
  const std::size_t rowBytes = static_cast<std::size_t>(bitmap.RowBytes());
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* stored = bitmap.PackedBitmap() + CFrameBitmap::kHeaderBytes +
                                 static_cast<std::size_t>(bitmap.Height() - 1 - y) * bitmap.Stride();
    if (std::memcmp(stored, picture.data() + y * rowBytes, rowBytes) != 0) return false;
  }
  return true;
}

// Keeps what each published picture looked like while it was handed over.
class RecordingTap final : public IFrameTap {
 public:
  void OnShownFrame(const ShownFrame& frame) override {
    std::lock_guard lock(m_mutex);
    m_numbers.push_back(frame.number);
    m_last.assign(frame.pixels.begin(), frame.pixels.end());
    m_width = frame.width;
    m_height = frame.height;
    m_rowBytes = frame.rowBytes;
  }
  std::mutex m_mutex;
  std::vector<std::uint64_t> m_numbers;
  std::vector<std::uint8_t> m_last;
  int m_width = 0, m_height = 0, m_rowBytes = 0;
};

}  // namespace

TEST(LiveViewWorker, EveryShownPictureReachesTheTapsWhole) {
  WorkerHost host;
  RecordingTap tap;
  host.m_taps.Add(tap);
  host.m_source.SetMode(2, 1024, 768);
  host.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() >= 4; }, 5000));
  host.m_taps.Remove(tap);
  const int afterRemove = host.m_frames.load();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() >= afterRemove + 2; }, 5000));
  host.Stop();

  std::lock_guard lock(tap.m_mutex);
  ASSERT_GE(tap.m_numbers.size(), 3u);
  for (std::size_t i = 0; i < tap.m_numbers.size(); ++i)
    EXPECT_EQ(tap.m_numbers[i], i + 1) << "numbered from 1 without gaps";
  EXPECT_LE(tap.m_numbers.size(), static_cast<std::size_t>(afterRemove)) << "no call after Remove returned";
  EXPECT_EQ(tap.m_width, 1024);
  EXPECT_EQ(tap.m_height, 768);
  EXPECT_EQ(tap.m_rowBytes, 1024 * 3);
  // The picture published last is the one whose number matches the grab.
  const auto expected = PatternPicture(static_cast<int>(tap.m_numbers.back()), 1024, 768);
  EXPECT_EQ(tap.m_last, expected);
}

TEST(LiveViewWorker, TapsReceiveThePictureTurnedAsTheViewShowsIt) {
  WorkerHost host;
  RecordingTap tap;
  host.m_taps.Add(tap);
  host.m_source.SetMode(2, 1024, 768);
  host.m_turns.store(1);
  host.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() >= 2; }, 5000));
  host.Stop();
  host.m_taps.Remove(tap);

  std::lock_guard lock(tap.m_mutex);
  ASSERT_FALSE(tap.m_numbers.empty());
  EXPECT_EQ(tap.m_width, 768);
  EXPECT_EQ(tap.m_height, 1024);
  EXPECT_EQ(tap.m_rowBytes, 768 * 3);
  ASSERT_EQ(tap.m_last.size(), 768u * 1024u * 3u);
  // Clockwise: the top-right of the turned picture is the camera's top-left,
  // its top-left the camera's bottom-left.
  const int seed = static_cast<int>(tap.m_numbers.back());
  std::uint8_t expected[3];
  PatternPixel(seed, 0, 0, expected);
  EXPECT_EQ(std::memcmp(&tap.m_last[767 * 3], expected, 3), 0);
  PatternPixel(seed, 0, 767, expected);
  EXPECT_EQ(std::memcmp(&tap.m_last[0], expected, 3), 0);
  // The view's own bitmap stays in the camera's orientation.
  EXPECT_EQ(host.m_view.Bitmap().Width(), 1024);
}

TEST(LiveView, ShowsBlack640x480BeforeTheFirstFrame) {
  CLiveView view;
  view.resize(640, 480);
  EXPECT_EQ(view.Bitmap().Width(), 640);
  EXPECT_EQ(view.Bitmap().Height(), 480);
  const QImage shown = view.grab().toImage();
  for (QPoint p : {QPoint(0, 0), QPoint(639, 479), QPoint(320, 240)}) EXPECT_EQ(shown.pixelColor(p), QColor(Qt::black));
  EXPECT_TRUE(view.testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_FALSE(view.autoFillBackground());
}

TEST(LiveViewWorker, FramesReachThePackedBitmapAndTheScreen) {
  WorkerHost host;
  host.m_view.resize(640, 480);
  host.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() >= 3; }, 5000));
  host.Stop();
  EXPECT_EQ(host.m_alive.load(), 0);
  EXPECT_EQ(host.m_frames.load(), host.m_source.m_grabs.load());
  EXPECT_EQ(host.m_deviceOk.load(), 1);
  EXPECT_EQ(host.m_resizes.load(), 0) << "mode 0 is what the window was made for";

  const int last = host.m_source.m_lastGoodSeed.load();
  EXPECT_TRUE(PackedHoldsPicture(host.m_view.Bitmap(), last));
  const QImage shown = host.m_view.grab().toImage();
  for (QPoint p : {QPoint(0, 0), QPoint(639, 0), QPoint(0, 479), QPoint(333, 222)})
    EXPECT_EQ(shown.pixelColor(p), PatternColor(last, p.x(), p.y())) << p.x() << "," << p.y();
}

TEST(LiveViewWorker, ModeChangeResizesOnceThenRecreatesTheBitmapWithTheOldPicture) {
  WorkerHost host;
  ASSERT_TRUE(host.StartAndPauseAfter(2));

  host.m_source.SetMode(2, 1024, 768);
  const int before = host.m_frames.load();
  platform::SetEvent(host.m_gate);
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() >= before + 3; }, 5000));
  host.Stop();

  EXPECT_EQ(host.m_resizes.load(), 1);
  EXPECT_EQ(host.m_bitmapWidthAtResize.load(), 640) << "the window is resized before the bitmap";
  EXPECT_EQ(host.m_displayedMode.load(), 2);
  EXPECT_EQ(host.m_view.Bitmap().Width(), 1024);
  EXPECT_EQ(host.m_view.Bitmap().Height(), 768);
  EXPECT_TRUE(PackedHoldsPicture(host.m_view.Bitmap(), host.m_source.m_lastGoodSeed.load()));
}

TEST(LiveViewWorker, NewBitmapCarriesTheOldPictureUntilTheNewFrame) {
  WorkerHost host;
  ASSERT_TRUE(host.StartAndPauseAfter(1));
  const int oldSeed = host.m_source.m_lastGoodSeed.load();

  host.m_source.SetMode(2, 1024, 768);
  const int grabs = host.m_source.m_grabs.load();
  platform::PulseEvent(host.m_gate);
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_source.m_grabs.load() == grabs + 1; }, 5000));
  const auto firstRow = host.m_source.FirstRowBefore();
  ASSERT_EQ(firstRow.size(), 1024u * 3u);
  const auto old = PatternPicture(oldSeed, 640, 1);
  EXPECT_EQ(std::memcmp(firstRow.data(), old.data(), old.size()), 0);
  EXPECT_EQ(firstRow[640 * 3], 0);
}

TEST(LiveViewWorker, QueryFailuresRetryWithoutFramesOrMessages) {
  WorkerHost host;
  host.m_source.m_failQueries.store(true);
  host.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_source.m_queries.load() >= 4; }, 5000));
  EXPECT_EQ(host.m_frames.load(), 0);
  EXPECT_EQ(host.m_source.m_grabs.load(), 0);
  EXPECT_EQ(host.m_resizes.load(), 0);
  EXPECT_EQ(host.m_alive.load(), 1);
  EXPECT_EQ(host.m_deviceOk.load(), 1);

  host.m_source.m_failQueries.store(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() >= 1; }, 5000));
}

TEST(LiveViewWorker, FailedAcquisitionCountsTheFrameAndStopsForGood) {
  WorkerHost host;
  host.m_source.m_failGrabNumber.store(3);
  host.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_alive.load() == 0; }, 5000));
  EXPECT_EQ(host.m_frames.load(), 3);
  EXPECT_EQ(host.m_liveRunning.load(), 0);
  EXPECT_EQ(host.m_deviceOk.load(), 0);
  EXPECT_TRUE(PackedHoldsPicture(host.m_view.Bitmap(), 2)) << "the last good frame stays";
  platform::SleepMs(50);
  EXPECT_EQ(host.m_source.m_grabs.load(), 3);
}

TEST(LiveViewWorker, PauseThenStepLetsExactlyOneFrameThrough) {
  WorkerHost host;
  ASSERT_TRUE(host.StartAndPauseAfter(2));
  const int paused = host.m_frames.load();

  platform::PulseEvent(host.m_gate);
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_frames.load() == paused + 1; }, 5000));
  WaitUntilIdleAtGate(host.m_gate);
  EXPECT_EQ(host.m_frames.load(), paused + 1);
  EXPECT_TRUE(PackedHoldsPicture(host.m_view.Bitmap(), host.m_source.m_lastGoodSeed.load()));
}

TEST(LiveViewWorker, ShutdownWhilePausedTakesNoFurtherFrame) {
  WorkerHost host;
  ASSERT_TRUE(host.StartAndPauseAfter(1));
  const int frames = host.m_frames.load();
  const int queries = host.m_source.m_queries.load();

  host.Stop();
  EXPECT_EQ(host.m_alive.load(), 0);
  EXPECT_EQ(host.m_frames.load(), frames);
  EXPECT_EQ(host.m_source.m_queries.load(), queries);
}

TEST(LiveViewWorker, PictureLargerThanTheBufferStopsInsteadOfOverflowing) {
  WorkerHost host;
  host.m_source.SetMode(2, 2048, 768);
  host.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.m_alive.load() == 0; }, 5000));
  EXPECT_EQ(host.m_source.m_grabs.load(), 0);
  EXPECT_EQ(host.m_deviceOk.load(), 0);
  EXPECT_EQ(host.m_liveRunning.load(), 0);
  EXPECT_EQ(host.m_view.Bitmap().Width(), 640);
}
