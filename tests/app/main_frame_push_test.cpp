// The main window's broadcast push against the simulated camera: the shown
// pictures reach the file, the state shows over the picture and in the
// diagnostics, a mode change goes on in the same push, and the end of the
// window ends the push with the file's index written.
#include <filesystem>

#include <QLabel>
#include <QTemporaryDir>

#include "app/messages.h"
#include "app_fixture.h"
#include "broadcast/broadcast_push.h"
#include "broadcast/push_overlay.h"
#include "child_process.h"
#include "panel/diagnostics_window.h"

namespace {

constexpr std::uint8_t kMonitorOutCommand = 0x20;
constexpr std::uint8_t kMonitorOutXga = 0;

// "width,height" of each decoded frame, as ffprobe prints them.
QStringList ProbedSizes(const QString& path) {
  const auto text = RunToEnd("ffprobe",
                             {"-v", "error", "-select_streams", "v:0", "-show_entries", "frame=width,height", "-of",
                              "csv=p=0", path.toStdString()},
                             std::chrono::seconds(30));
  return QString::fromStdString(text.value_or("")).split('\n', Qt::SkipEmptyParts);
}

PushStatus StateOf(const CMainFrame& frame) { return frame.BroadcastState().Snapshot(); }

}  // namespace

TEST_F(MainFrameTest, PushRecordsTheShownPicturesAndShowsItsStateUntilTheWindowEnds) {
  QTemporaryDir folder;
  const QString path = folder.filePath("push.mkv");
  StartWithCamera({.startMode = 0});
  EXPECT_EQ(StateOf(*m_frame).phase, PushPhase::Off);

  PushSettings settings;
  settings.url = path.toStdString();
  std::string error;
  ASSERT_TRUE(m_frame->Outputs().StartBroadcast(settings, error)) << error;
  EXPECT_FALSE(m_frame->Outputs().StartBroadcast(settings, error)) << "one push per run";
  ASSERT_TRUE(QTest::qWaitFor([&] { return StateOf(*m_frame).framesSent >= 5; }, 20000));
  EXPECT_EQ(StateOf(*m_frame).phase, PushPhase::Live);
  EXPECT_EQ(StateOf(*m_frame).width, 640);

  auto* overlay = m_frame->LiveView().findChild<CPushOverlay*>();
  ASSERT_NE(overlay, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->isVisible() && overlay->text().startsWith("LIVE"); }, 5000));
  m_frame->Remocon().ShowDiagnostics();
  ASSERT_NE(m_frame->Remocon().Diagnostics(), nullptr);
  EXPECT_TRUE(m_frame->Remocon().Diagnostics()->BroadcastText().startsWith("LIVE"));

  // What the panel's XGA button sends: the push follows without reconnecting.
  m_frame->Camera().SendCommand(kMonitorOutCommand, kMonitorOutXga);
  ASSERT_TRUE(QTest::qWaitFor([&] { return StateOf(*m_frame).width == 1024; }, 20000));
  const std::uint64_t afterChange = StateOf(*m_frame).framesSent;
  ASSERT_TRUE(QTest::qWaitFor([&] { return StateOf(*m_frame).framesSent >= afterChange + 3; }, 20000));
  EXPECT_EQ(StateOf(*m_frame).reconnects, 0);

  m_frame->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() > 0; }, 10000));
  EXPECT_EQ(StateOf(*m_frame).phase, PushPhase::Ended);
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << m_dialogs.messages.join("|").toStdString();

  const QStringList sizes = ProbedSizes(path);
  ASSERT_GE(sizes.size(), 8);
  EXPECT_TRUE(sizes.front().startsWith("640,480")) << sizes.front().toStdString();
  EXPECT_TRUE(sizes.back().startsWith("1024,768")) << sizes.back().toStdString();
}

TEST_F(MainFrameTest, PushWhilePausedKeepsTheStreamAliveWithTheFrozenPicture) {
  QTemporaryDir folder;
  StartWithCamera({.startMode = 0});
  PushSettings settings;
  settings.url = folder.filePath("frozen.mkv").toStdString();
  settings.keepAlive = std::chrono::milliseconds(100);
  std::string error;
  ASSERT_TRUE(m_frame->Outputs().StartBroadcast(settings, error)) << error;
  ASSERT_TRUE(QTest::qWaitFor([&] { return StateOf(*m_frame).framesSent >= 2; }, 20000));
  m_frame->SendCamMessage(WM_CAM_PAUSE);
  WaitUntilFramesStop();
  const std::uint64_t frozenAt = StateOf(*m_frame).framesSent;
  // No camera frame comes now, yet the push goes on sending.
  ASSERT_TRUE(QTest::qWaitFor([&] { return StateOf(*m_frame).framesSent >= frozenAt + 3; }, 10000));
  EXPECT_EQ(StateOf(*m_frame).phase, PushPhase::Live);
}
