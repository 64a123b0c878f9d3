// The presenter's show: the panel keeps its place and hides with H, the main
// window's keys from the panel and its diagnostics window, Escape in full
// screen, capture feedback over the picture's corner, the series' steady
// beat, and the web address with its QR code.
#include <chrono>
#include <cstdlib>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/capture_overlay.h"
#include "app/interval_clock.h"
#include "app/messages.h"
#include "app/qr_code.h"
#include "app/web_address.h"
#include "app/web_address_window.h"
#include "app_fixture.h"
#include "panel/diagnostics_window.h"

namespace {

using namespace std::chrono_literals;

class ShowTest : public MainFrameTest {
 protected:
  void SetUp() override {
    MainFrameTest::SetUp();
    ASSERT_TRUE(m_captures.isValid());
    m_presenter.captureDir = m_captures.path().toStdString();
  }

  int Captures() const { return static_cast<int>(QDir(m_captures.path()).entryList(QDir::Files).size()); }

  // A key pressed with `window` active, as a user's would come.
  void PressIn(QWidget& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // A window shown just before (the diagnostics) is activated by a queued
    // event of the window system: let it come first, then take the focus back.
    QCoreApplication::processEvents();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 5000));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, static_cast<Qt::Key>(key),
                    modifiers);
  }

  QStringList MenuEntries() const {
    QMenu menu;
    m_frame->FillContextMenu(menu);
    QStringList entries;
    for (const QAction* action : menu.actions())
      if (!action->isSeparator()) entries << action->text();
    return entries;
  }

  QTemporaryDir m_captures;
};

// The series' clock: slot k at start + k x period exactly, however late the
// ticks come, and never a tick before its slot.
TEST(IntervalClock, KeepsItsBeatThroughLateTicksAndSkipsOnlyPassedSlots) {
  const auto start = CIntervalClock::Clock::time_point(1000s);
  const CIntervalClock clock(start, std::chrono::duration_cast<std::chrono::nanoseconds>(5.0s));
  // An hour of 5-second slots: the last is due exactly an hour after the first.
  EXPECT_EQ(clock.Due(720) - start, 3600s);
  // Each tick served 40 ms late (the capture's own time): the next slot stays on the beat.
  std::int64_t slot = 0;
  for (int k = 0; k < 720; ++k) {
    const auto served = clock.Due(slot) + 40ms;
    slot = clock.NextSlot(slot, served);
    ASSERT_EQ(slot, k + 1);
    ASSERT_EQ(served + clock.DelayUntil(slot, served), clock.Due(slot)) << "slot " << slot;
  }
  // A machine stalled for 12 s after slot 3: slots 4 and 5 are skipped, not bunched.
  EXPECT_EQ(clock.NextSlot(3, clock.Due(3) + 12s), 6);
  // A timer woken a hair early still waits for its own slot, rounded up.
  EXPECT_EQ(clock.DelayUntil(6, clock.Due(6) - 300us), 1ms);
  EXPECT_EQ(clock.NextSlot(5, clock.Due(6) - 300us), 6);
  EXPECT_EQ(clock.DelayUntil(6, clock.Due(6) + 1s), 0ms);
}

TEST_F(ShowTest, FullScreenNeverMovesTheFirstStartPanelAndTheSavedSpotIsItsOwn) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  const QPoint panel = m_frame->Remocon().pos();
  // Twice, as a presenter does: the second cycle used to leave it on the picture.
  for (int cycle = 0; cycle < 2; ++cycle) {
    m_frame->Placement().ToggleFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->isFullScreen(); }, 2000));
    QTest::qWait(300);  // the first-start watch polls every 50 ms
    EXPECT_EQ(m_frame->Remocon().pos(), panel) << "in full screen, cycle " << cycle;
    m_frame->Placement().ToggleFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_frame->isFullScreen(); }, 2000));
    QTest::qWait(300);
    EXPECT_EQ(m_frame->Remocon().pos(), panel) << "after full screen, cycle " << cycle;
  }
  m_frame->SendCamMessage(WM_CAM_SHUTDOWN);
  EXPECT_EQ(ProfileValue("RemoconX"), panel.x());
  EXPECT_EQ(ProfileValue("RemoconY"), panel.y());
}

TEST_F(ShowTest, HHidesThePanelWithItsDiagnosticsAndBringsBothBackWhereTheyWere) {
  WriteProfile(40, 40, 900, 60);
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  CRemoconDlg& panel = m_frame->Remocon();
  panel.ShowDiagnostics();
  QWidget* diagnostics = panel.Diagnostics();
  ASSERT_NE(diagnostics, nullptr);
  const QPoint panelSpot = panel.pos();
  diagnostics->move(300, 500);
  const QPoint diagnosticsSpot = diagnostics->pos();

  PressIn(*m_frame, Qt::Key_H);
  EXPECT_TRUE(m_frame->Placement().PanelHidden());
  EXPECT_FALSE(panel.isVisible());
  EXPECT_FALSE(diagnostics->isVisible());
  EXPECT_TRUE(m_destroyed->isEmpty()) << "hiding is not the panel's cancel";
  m_frame->Placement().ToggleFullScreen();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->isFullScreen(); }, 2000));
  m_frame->Placement().ToggleFullScreen();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_frame->isFullScreen(); }, 2000));
  EXPECT_FALSE(panel.isVisible()) << "leaving full screen keeps the user's choice";

  PressIn(*m_frame, Qt::Key_H);
  EXPECT_FALSE(m_frame->Placement().PanelHidden());
  EXPECT_TRUE(panel.isVisible());
  EXPECT_TRUE(diagnostics->isVisible());
  EXPECT_EQ(panel.pos(), panelSpot);
  EXPECT_EQ(diagnostics->pos(), diagnosticsSpot);

  // With the diagnostics closed, H and H again bring back the panel alone; H from the panel too.
  diagnostics->hide();
  PressIn(panel, Qt::Key_H);
  EXPECT_FALSE(panel.isVisible());
  PressIn(*m_frame, Qt::Key_H);
  EXPECT_TRUE(panel.isVisible());
  EXPECT_FALSE(diagnostics->isVisible());
  m_frame->SendCamMessage(WM_CAM_SHUTDOWN);
  EXPECT_EQ(ProfileValue("RemoconX"), panelSpot.x());
}

TEST_F(ShowTest, MainWindowKeysWorkFromThePanelAndItsDiagnosticsWithoutTakingTheirOwn) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  CRemoconDlg& panel = m_frame->Remocon();

  PressIn(panel, Qt::Key_R);
  EXPECT_EQ(m_frame->Capture().RotationDegrees(), 90);
  PressIn(panel, Qt::Key_R, Qt::ShiftModifier);
  EXPECT_EQ(m_frame->Capture().RotationDegrees(), 0);
  PressIn(panel, Qt::Key_Space);
  EXPECT_EQ(Captures(), 1);
  PressIn(panel, Qt::Key_I);
  EXPECT_TRUE(m_frame->Capture().IntervalCaptureRunning());
  EXPECT_EQ(Captures(), 2) << "the series' first capture at once";
  PressIn(panel, Qt::Key_I);
  EXPECT_FALSE(m_frame->Capture().IntervalCaptureRunning());
  QApplication::clipboard()->clear();
  PressIn(panel, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(640, 480));
  EXPECT_TRUE(m_frame->Capture().OverlayText().endsWith("Copied"));
  EXPECT_FALSE(m_frame->IsRecording()) << "Ctrl+R stays the panel's movie key, R is not it";

  // Full screen from the panel, and Escape there leaves it instead of ending the program.
  PressIn(panel, Qt::Key_F11);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->isFullScreen(); }, 2000));
  PressIn(panel, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_frame->isFullScreen(); }, 2000));
  EXPECT_TRUE(m_destroyed->isEmpty());
  EXPECT_FALSE(m_frame->IsDestroyed());

  // The diagnostics window takes the keys when it opens; its log keeps its own Ctrl+C.
  panel.ShowDiagnostics();
  CDiagnosticsWindow* diagnostics = panel.Diagnostics();
  ASSERT_NE(diagnostics, nullptr);
  PressIn(*diagnostics, Qt::Key_F11);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->isFullScreen(); }, 2000));
  PressIn(*diagnostics, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_frame->isFullScreen(); }, 2000));
  diagnostics->ShowLog("01 02 03\n");
  auto* log = diagnostics->findChild<QPlainTextEdit*>();
  ASSERT_NE(log, nullptr);
  diagnostics->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(diagnostics));
  log->setFocus();
  log->selectAll();
  QApplication::clipboard()->clear();
  QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().trimmed(), "01 02 03") << "the log's own copy";
  EXPECT_TRUE(QApplication::clipboard()->image().isNull());

  // Outside full screen the panel's Escape rule stays: it ends the program.
  PressIn(panel, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_frame->IsDestroyed(); }, 3000));
}

TEST_F(ShowTest, CaptionSitsAtThePictureCornerAndTheMenuOpensTheFolder) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  // A user's size wider than the picture: the picture is centred between bars.
  m_frame->resize(1000, 480);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->LiveView().width() == 1000; }, 2000));
  ASSERT_TRUE(m_frame->Capture().QuickCapture());
  auto* caption = m_frame->LiveView().findChild<CCaptureOverlay*>();
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->pos(), QPoint(180 + CCaptureOverlay::kInset, CCaptureOverlay::kInset));
  EXPECT_FALSE(caption->ShowsFailure());

  const QStringList entries = MenuEntries();
  EXPECT_TRUE(entries.contains("Hide panel"));
  EXPECT_TRUE(entries.contains("Open capture folder"));
  EXPECT_FALSE(entries.join(' ').contains("web address")) << "only while the web server runs";
}

TEST_F(ShowTest, FailedCaptureIsRedForFourSecondsAndStoppedSeriesSaysHowMany) {
  m_presenter.captureDir = "/proc/tavrocam-pages";
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_FALSE(m_frame->Capture().QuickCapture());
  auto* caption = m_frame->LiveView().findChild<CCaptureOverlay*>();
  ASSERT_NE(caption, nullptr);
  EXPECT_TRUE(caption->ShowsFailure());
  EXPECT_TRUE(caption->text().contains("color:")) << "shown in colour: " << caption->text().toStdString();
  // Still there past a good capture's two seconds, gone after its four.
  QTest::qWait(CCaptureOverlay::kFlashMs + 500);
  EXPECT_TRUE(caption->ShowsFailure());
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_frame->Capture().OverlayText().isEmpty(); }, 6000));
  EXPECT_TRUE(m_dialogs.messages.isEmpty());

  // A markup-looking folder is shown as text.
  caption->Flash("<b>x</b> (/tmp/<i>)");
  EXPECT_EQ(caption->ShownText(), "<b>x</b> (/tmp/<i>)");
  EXPECT_FALSE(caption->text().contains("<b>"));
}

TEST_F(ShowTest, SeriesStartedWithTheProgramWaitsForThePictureThenCountsOnItsBeat) {
  m_presenter.intervalSeconds = 0.5;
  // The program's start, before the camera's first frame: the series waits for it.
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Capture().IntervalCaptureCount() >= 1; }, 5000));
  EXPECT_TRUE(m_frame->Capture().IntervalCaptureRunning()) << "no picture yet is not a failure";
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Capture().IntervalCaptureCount() >= 3; }, 8000));
  m_frame->Capture().StopIntervalCapture();
  const int taken = m_frame->Capture().IntervalCaptureCount();
  EXPECT_EQ(Captures(), taken);
  const QStringList lines = m_frame->Capture().OverlayText().split('\n');
  EXPECT_TRUE(lines.contains(QStringLiteral("Interval capture stopped \u00b7 %1 taken").arg(taken)))
      << m_frame->Capture().OverlayText().toStdString();
  EXPECT_FALSE(m_frame->Capture().OverlayText().contains("Every")) << "the series line goes with the series";
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_frame->Capture().OverlayText().isEmpty(); }, 6000))
      << "gone after its 3 s";
}

TEST(WebAddress, WildcardHostBecomesAnAddressAPhoneCanReach) {
  const QList<QHostAddress> local{QHostAddress("127.0.0.1"), QHostAddress("fe80::1"), QHostAddress("::1"),
                                  QHostAddress("2001:db8::5"), QHostAddress("192.168.1.20")};
  EXPECT_EQ(ReachableWebAddress("http://0.0.0.0:8400/?token=0123456789abcdef", local),
            "http://192.168.1.20:8400/?token=0123456789abcdef");
  EXPECT_EQ(ReachableWebAddress("http://[::]:8400/", {QHostAddress("::1"), QHostAddress("2001:db8::5")}),
            "http://[2001:db8::5]:8400/");
  EXPECT_EQ(ReachableWebAddress("http://127.0.0.1:8400/", local), "http://127.0.0.1:8400/");
  EXPECT_EQ(ReachableWebAddress("http://0.0.0.0:8400/", {QHostAddress("127.0.0.1")}), "http://0.0.0.0:8400/")
      << "no better address: the server's own";
}

TEST_F(ShowTest, WebAddressWindowShowsTheAddressAndAQrCodeAPhoneReads) {
  StartWithoutCamera();
  const QString url = "http://127.0.0.1:8400/?token=Zq7-w_x9Lm2Pq8Rs";
  m_frame->Outputs().SetWebAddress(url);
  EXPECT_TRUE(MenuEntries().contains(QStringLiteral("Show web address\u2026")));
  m_frame->Outputs().ShowWebAddress();
  CWebAddressWindow* window = m_frame->Outputs().WebAddressWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->Address(), url);
  const QImage code = window->Code();
  ASSERT_FALSE(code.isNull());

  EXPECT_TRUE(QrCodeImage(QByteArray(8000, 'a'), 4).isNull()) << "too long for any QR code";
  const QString reader = QStandardPaths::findExecutable("zbarimg");
  if (reader.isEmpty()) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
  QTemporaryDir dir;
  const QString png = dir.filePath("code.png");
  ASSERT_TRUE(code.save(png));
  QProcess read;
  read.start(reader, {"--quiet", "--raw", png});
  ASSERT_TRUE(read.waitForFinished(20000));
  EXPECT_EQ(QString::fromUtf8(read.readAllStandardOutput()).trimmed(), url);
}

}  // namespace
