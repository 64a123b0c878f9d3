#include <QKeyEvent>

#include "app/messages.h"
#include "app_fixture.h"

TEST_F(MainFrameTest, FirstStartWithAnEmptyProfilePlacesBothWindowsTopLeft) {
  StartWithCamera({.startMode = 0});
  EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("TAVROCAM DISPLAY"));
  EXPECT_EQ(m_frame->pos(), QPoint(0, 0));
  EXPECT_EQ(m_frame->size(), QSize(640, 475));
  EXPECT_NE(m_frame->minimumSize(), m_frame->maximumSize()) << "a sizing border";
  EXPECT_TRUE(m_frame->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(m_frame->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(m_frame->Placement().FollowsPicture());
  EXPECT_EQ(m_frame->LiveView().geometry(), QRect(0, 0, 640, 475));
  EXPECT_EQ(m_frame->Remocon().pos(), QPoint(0, 0));
  EXPECT_TRUE(m_frame->Remocon().isVisible());
  EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("TAVROCAM DISPLAY"));
  EXPECT_TRUE(m_frame->Live().WorkerAlive());
  EXPECT_EQ(m_frame->Camera().HighSpeed(), true);

  ASSERT_TRUE(WaitForFrames(2));
  // Mode 0 is what the window was made for: no resize, the last rows hidden.
  EXPECT_EQ(m_frame->size(), QSize(640, 475));
  EXPECT_EQ(m_frame->Live().DisplayedMode(), 0);
}

TEST_F(MainFrameTest, SavedPositionsAreUsedButALostMonitorFallsBackToTheCorner) {
  WriteProfile(120, 90, -30000, 40000);
  StartWithCamera({.startMode = 0});
  EXPECT_EQ(m_frame->pos(), QPoint(120, 90));
  EXPECT_EQ(m_frame->Remocon().pos(), QPoint(0, 0));
}

TEST_F(MainFrameTest, NoCameraReportsAfterASecondThenExitsAndSavesAllFourKeys) {
  WriteProfile(30, 40, 50, 60);
  StartWithoutCamera();
  EXPECT_FALSE(m_frame->Live().WorkerAlive());
  EXPECT_TRUE(m_frame->isVisible());
  EXPECT_TRUE(m_frame->Remocon().isVisible());
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
  m_frame->move(70, 80);
  m_frame->Remocon().move(90, 100);

  ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() == 1; }, 5000));
  EXPECT_EQ(m_dialogs.messages, QStringList{QStringLiteral("Can't open device.")});
  EXPECT_EQ(m_frame->ExitCode(), 1) << "a camera that never opened must not end like a normal exit";
  EXPECT_TRUE(m_frame->IsDestroyed());
  EXPECT_FALSE(m_frame->isVisible());
  EXPECT_FALSE(m_frame->Remocon().isVisible());
  EXPECT_EQ(ProfileValue("MonX"), 70);
  EXPECT_EQ(ProfileValue("MonY"), 80);
  EXPECT_EQ(ProfileValue("RemoconX"), 90);
  EXPECT_EQ(ProfileValue("RemoconY"), 100);
  // The box is shown once only.
  QTest::qWait(1200);
  EXPECT_EQ(m_dialogs.messages.size(), 1);
}

TEST_F(MainFrameTest, PanelCancelEndsTheProgram) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_frame->move(210, 220);
  m_frame->Remocon().move(230, 240);

  // What the panel's close box does (its cancel command).
  static_cast<QDialog&>(m_frame->Remocon()).reject();
  EXPECT_FALSE(m_frame->Live().WorkerAlive()) << "the panel's shutdown stops the worker at once";
  EXPECT_FALSE(m_frame->Camera().IsOpen());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() == 1; }, 5000));
  EXPECT_EQ(ProfileValue("MonX"), 210);
  EXPECT_EQ(ProfileValue("MonY"), 220);
  EXPECT_EQ(ProfileValue("RemoconX"), 230);
  EXPECT_EQ(ProfileValue("RemoconY"), 240);
  // The further exit command posted by the second shutdown run is lost quietly.
  QTest::qWait(50);
  EXPECT_EQ(m_destroyed->count(), 1);
}

TEST_F(MainFrameTest, MainWindowOwnCancelIsSwallowed) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  QTest::keyClick(m_frame.get(), Qt::Key_Escape);
  EXPECT_TRUE(m_frame->OnCommand(IDCANCEL, false));
  QTest::qWait(100);
  EXPECT_EQ(m_destroyed->count(), 0);
  EXPECT_TRUE(m_frame->Live().WorkerAlive());
  EXPECT_TRUE(m_frame->isVisible());
  EXPECT_FALSE(m_frame->OnCommand(IDCANCEL, true)) << "a control's cancel goes on to the base handling";
}

TEST_F(MainFrameTest, ClosingWhileMinimizedSavesTheRestoredPosition) {
  StartWithCamera({.startMode = 0});
  m_frame->move(300, 200);
  m_frame->showMinimized();
  QTest::qWait(20);
  m_frame->close();
  EXPECT_EQ(m_destroyed->count(), 1);
  EXPECT_EQ(ProfileValue("MonX"), 300);
  EXPECT_EQ(ProfileValue("MonY"), 200);
  EXPECT_FALSE(m_frame->Live().WorkerAlive());
}

TEST_F(MainFrameTest, ShutdownTwiceIsHarmless) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_frame->move(11, 12);
  EXPECT_EQ(m_frame->SendCamMessage(WM_CAM_SHUTDOWN), 0);
  EXPECT_EQ(m_frame->SendCamMessage(WM_CAM_SHUTDOWN), 0);
  EXPECT_FALSE(m_frame->Camera().IsOpen());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() == 1; }, 5000));
  QTest::qWait(50);
  EXPECT_EQ(m_destroyed->count(), 1);
  EXPECT_EQ(ProfileValue("MonX"), 11);
  EXPECT_EQ(ProfileValue("MonY"), 12);
}

TEST_F(MainFrameTest, UnknownMessagesAnswerZero) {
  StartWithoutCamera();
  EXPECT_EQ(m_frame->SendCamMessage(0x495), 0);
  EXPECT_EQ(m_frame->SendCamMessage(WM_REMOCON_START), 0);
  EXPECT_FALSE(m_frame->OnCommand(0x1234, false));
}
