#include <QImage>

#include "app/messages.h"
#include "app_fixture.h"
#include "camera/usb_camera.h"
#include "platform/sleep.h"

namespace {

constexpr std::uint8_t kMonitorOutCommand = 0x20;
constexpr std::uint8_t kMonitorOutXga = 0;

}  // namespace

TEST_F(MainFrameTest, ModeChangeResizesTheWindowToThePicture) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  ASSERT_EQ(m_frame->size(), QSize(640, 475));

  // What the panel's XGA button sends.
  m_frame->Camera().SendCommand(kMonitorOutCommand, kMonitorOutXga);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Live().DisplayedMode() == 2; }, 5000));
  EXPECT_EQ(m_frame->size(), QSize(1024, 768));
  EXPECT_EQ(m_frame->LiveView().geometry(), QRect(0, 0, 1024, 768));
  EXPECT_EQ(m_frame->pos(), QPoint(0, 0)) << "the position stays";
  const int frames = Frames();
  ASSERT_TRUE(WaitForFrames(frames + 2));
  const CFrameBitmap& bitmap = m_frame->LiveView().Bitmap();
  auto lock = bitmap.LockBuffers();
  EXPECT_EQ(bitmap.Width(), 1024);
  EXPECT_EQ(bitmap.Height(), 768);
}

TEST_F(MainFrameTest, FullSpeedCameraStartsAtItsOwnModeAndSize) {
  StartWithCamera({.highSpeed = false});
  EXPECT_EQ(m_frame->Camera().HighSpeed(), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Live().DisplayedMode() == 6; }, 10000));
  EXPECT_EQ(m_frame->size(), QSize(512, 384));
}

TEST_F(MainFrameTest, ShownPictureIsTheCamerasLastFrame) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  m_frame->SendCamMessage(WM_CAM_PAUSE);
  WaitUntilFramesStop();
  const sim::Picture picture = m_sim->Camera(0).LastFramePicture();
  ASSERT_EQ(picture.width, 640);
  const QImage shown = m_frame->LiveView().grab().toImage();
  for (QPoint p : {QPoint(0, 0), QPoint(639, 474), QPoint(320, 100)}) {
    const std::uint8_t* bgr = &picture.bgr[(static_cast<std::size_t>(p.y()) * 640 + p.x()) * 3];
    EXPECT_EQ(shown.pixelColor(p), QColor(bgr[2], bgr[1], bgr[0])) << p.x() << "," << p.y();
  }
}

TEST_F(MainFrameTest, PauseStepAndResumeDriveTheGate) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_EQ(m_frame->SendCamMessage(WM_CAM_PAUSE), 0);
  WaitUntilFramesStop();
  const int paused = Frames();

  // The step lets at most one frame through (exactly one when the worker
  // already waits at the gate, which the worker's own tests pin down).
  EXPECT_EQ(m_frame->SendCamMessage(WM_CAM_STEP), 0);
  QTest::qWait(300);
  WaitUntilFramesStop();
  EXPECT_LE(Frames(), paused + 1);

  EXPECT_EQ(m_frame->SendCamMessage(WM_CAM_RESUME), 0);
  EXPECT_TRUE(WaitForFrames(paused + 3));
}

TEST_F(MainFrameTest, ShutdownWhilePausedTakesNoFurtherFrame) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_frame->SendCamMessage(WM_CAM_PAUSE);
  WaitUntilFramesStop();
  const int frames = Frames();

  m_frame->SendCamMessage(WM_CAM_SHUTDOWN);
  EXPECT_FALSE(m_frame->Live().WorkerAlive());
  EXPECT_EQ(Frames(), frames);
}

TEST_F(MainFrameTest, ShutdownRightAfterAModeChangeDoesNotDeadlockWithTheResize) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_frame->Camera().SendCommand(kMonitorOutCommand, kMonitorOutXga);
  // No event loop runs from here on: a worker that asks for the resize now
  // must be served by the shutdown's own wait.
  for (int i = 0; i < 50 && m_frame->Live().DisplayedMode() != 2; ++i) platform::SleepMs(5);
  m_frame->SendCamMessage(WM_CAM_SHUTDOWN);
  EXPECT_FALSE(m_frame->Live().WorkerAlive());
}

TEST_F(MainFrameTest, FailedAcquisitionStopsLiveViewAndClearsDeviceOk) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_sim->Camera(0).StallPipeForever(2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_frame->Live().WorkerAlive(); }, 15000));
  EXPECT_EQ(m_frame->Live().DeviceOk(), 0);
  EXPECT_EQ(m_frame->Live().LiveRunning(), 0);
}
