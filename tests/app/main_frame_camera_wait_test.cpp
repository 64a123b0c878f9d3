// A program that serves or pushes carries on without its camera: no box, a
// "NO CAMERA" picture for the viewers at the last size, and live pictures
// again once the camera is plugged in, at start and after a loss alike.
#include <atomic>
#include <mutex>

#include "app/camera_wait.h"
#include "app_fixture.h"
#include "liveview/frame_taps.h"
#include "panel/remocon_dlg.h"

namespace {

// What a viewer of the shown pictures last got.
class LastPicture final : public IFrameTap {
 public:
  void OnShownFrame(const ShownFrame& frame) override {
    std::lock_guard guard(m_lock);
    m_size = QSize(frame.width, frame.height);
    ++m_count;
  }
  QSize Size() const {
    std::lock_guard guard(m_lock);
    return m_size;
  }
  int Count() const {
    std::lock_guard guard(m_lock);
    return m_count;
  }

 private:
  mutable std::mutex m_lock;
  QSize m_size;
  int m_count = 0;
};

class CameraWaitTest : public MainFrameTest {
 protected:
  void TearDown() override {
    if (m_frame) m_frame->ShownFrameTaps().Remove(m_viewer);
    MainFrameTest::TearDown();
  }
  // The camera is created unplugged: the program starts without it.
  void StartWaiting(sim::SimOptions options) {
    options.timeScale = kTimeScale;
    m_sim = sim::CreateSimulatedDriver(options);
    m_sim->Camera(0).Unplug();
    platform::InstallDriver(m_sim);
    m_frame = std::make_unique<CMainFrame>(m_dialogs, platform::CurrentDriver(), CameraTiming{kTimeScale});
    m_destroyed = std::make_unique<QSignalSpy>(m_frame.get(), &CMainFrame::windowDestroyed);
    m_frame->ShownFrameTaps().Add(m_viewer);
    m_frame->SetCarryOnWithoutCamera(true);
    ASSERT_TRUE(m_frame->Create());
    m_frame->show();
  }
  bool WaitForStandIn(QSize size) {
    return QTest::qWaitFor([&] { return !m_frame->CameraPresent() && m_viewer.Size() == size; }, 10000);
  }

  LastPicture m_viewer;
};

TEST_F(CameraWaitTest, StartsWithoutACameraThenGoesLiveWhenOneIsPluggedInAndWaitsAgainWhenItGoes) {
  StartWaiting({.startMode = 0});
  ASSERT_TRUE(WaitForStandIn(QSize(1024, 768))) << "the stand-in has the default size before any picture";
  EXPECT_FALSE(m_frame->Live().WorkerAlive());
  // Well past the old one-second box: still no box, still running.
  QTest::qWait(CMainFrame::kNoDeviceMs + 500);
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << m_dialogs.messages.join(QStringLiteral(" | ")).toStdString();
  EXPECT_EQ(m_destroyed->count(), 0);
  const int standIns = m_viewer.Count();
  EXPECT_GE(standIns, 2) << "the stand-in is repeated for viewers that join later";

  m_sim->Camera(0).Plug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->CameraPresent(); }, 10000));
  ASSERT_TRUE(WaitForFrames(3));
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_viewer.Size() == QSize(640, 480); }, 10000)) << "mode 0 is 640x480";
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Remocon().IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG); }, 5000));

  // Lost while live: the watchdog hands over to the wait, at the last size.
  m_sim->Camera(0).Unplug();
  ASSERT_TRUE(WaitForStandIn(QSize(640, 480)));
  EXPECT_FALSE(m_frame->Live().WorkerAlive());
  EXPECT_FALSE(m_frame->Camera().IsOpen());
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << m_dialogs.messages.join(QStringLiteral(" | ")).toStdString();

  m_sim->Camera(0).Plug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->CameraPresent() && m_frame->Live().WorkerAlive(); }, 10000));
  const int before = Frames();
  ASSERT_TRUE(WaitForFrames(before + 3));
  EXPECT_EQ(m_destroyed->count(), 0);
  EXPECT_EQ(m_frame->ExitCode(), 0);

  m_frame->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() == 1; }, 5000));
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(MainFrameTest, ALostCameraOnTheDesktopEndsWithItsBoxAndExitCodeOne) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Remocon().IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG); }, 5000));
  ASSERT_TRUE(WaitForFrames(1));
  m_sim->Camera(0).Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() == 1; }, 10000));
  ASSERT_EQ(m_dialogs.messages.size(), 1);
  EXPECT_EQ(m_frame->ExitCode(), 1);
}

// Where the backend hears of a device being plugged in, the camera is tried
// at once rather than at the next regular retry (an hour away here).
TEST(CameraWaitAlone, ADeviceArrivalBringsTheNextTryForward) {
  CFrameTaps taps;
  LastPicture viewer;
  taps.Add(viewer);
  std::atomic<std::uint64_t> arrivals{5};
  int tries = 0;
  CCameraWait wait(
      taps, [&] { return ++tries == 2; }, [&] { return arrivals.load(); }, 3600 * 1000);
  wait.Begin(QSize(800, 600), "no camera");
  EXPECT_EQ(viewer.Size(), QSize(800, 600));
  EXPECT_TRUE(wait.Waiting());
  QTest::qWait(3 * CCameraWait::kArrivalCheckMs);
  EXPECT_EQ(tries, 0) << "no arrival, no try before the regular one";

  arrivals.store(6);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tries == 1; }, 5000));
  EXPECT_TRUE(wait.Waiting()) << "a try that failed leaves the wait on";
  arrivals.store(7);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tries == 2; }, 5000));
  EXPECT_FALSE(wait.Waiting());
  arrivals.store(8);
  QTest::qWait(3 * CCameraWait::kArrivalCheckMs);
  EXPECT_EQ(tries, 2) << "once the camera is there, arrivals are no longer watched";
  taps.Remove(viewer);
}

TEST(NoCameraPicture, IsDarkWithLightLettersAtTheAskedSize) {
  const QImage picture = CCameraWait::NoCameraPicture(QSize(800, 600));
  ASSERT_EQ(picture.size(), QSize(800, 600));
  EXPECT_EQ(CCameraWait::NoCameraPicture(QSize()).size(), QSize(1024, 768));
  int light = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) light += qGray(picture.pixel(x, y)) > 200 ? 1 : 0;
  // Letters, but mostly background: between 0.5 % and 20 % of the pixels.
  EXPECT_GT(light, 800 * 600 / 200);
  EXPECT_LT(light, 800 * 600 / 5);
  EXPECT_LT(qGray(picture.pixel(5, 5)), 60);
}

}  // namespace
