// An ordinary exit, by any of its ways, shows no message box. The panel's
// watchdog used to keep ticking after the shutdown had closed the link, and a
// tick that came before the quit reported the closed link as a lost camera.
#include <chrono>
#include <thread>

#include "app_fixture.h"
#include "panel/remocon_dlg.h"

namespace {

enum class ExitWay { PanelCloseBox, PanelEscape, MainWindowClose };

const char* Name(ExitWay way) {
  switch (way) {
    case ExitWay::PanelCloseBox: return "panel close box";
    case ExitWay::PanelEscape: return "Escape on the panel";
    case ExitWay::MainWindowClose: return "main window close";
  }
  return "?";
}

class NormalExit : public MainFrameTest, public ::testing::WithParamInterface<ExitWay> {
 protected:
  void EndTheProgram(ExitWay way) {
    switch (way) {
      case ExitWay::PanelCloseBox: m_frame->Remocon().close(); break;
      case ExitWay::PanelEscape: QTest::keyClick(&m_frame->Remocon(), Qt::Key_Escape); break;
      case ExitWay::MainWindowClose: m_frame->close(); break;
    }
  }
};

// Repeated: each run is a fresh program, as a user would start it again.
constexpr int kRuns = 3;

TEST_P(NormalExit, ShowsNoMessageBox) {
  const ExitWay way = GetParam();
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(testing::Message() << Name(way) << ", run " << run);
    StartWithCamera({.startMode = 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Remocon().IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG); }, 5000));
    ASSERT_TRUE(WaitForFrames(1));

    EndTheProgram(way);
    EXPECT_FALSE(m_frame->Remocon().IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG));
    EXPECT_FALSE(m_frame->Remocon().IsTimerRunning(CRemoconDlg::TIMER_RATE));
    // A busy user-interface thread: by the time events run again a watchdog
    // tick is overdue and competes with the posted exit command.
    std::this_thread::sleep_for(std::chrono::milliseconds(CRemoconDlg::kWatchdogPeriodMs + 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_destroyed->count() == 1; }, 5000));
    // Ticks that would come after the window has gone are waited for too.
    QTest::qWait(2 * CRemoconDlg::kWatchdogPeriodMs + 100);
    EXPECT_TRUE(m_dialogs.messages.isEmpty()) << m_dialogs.messages.join(QStringLiteral(" | ")).toStdString();
    EXPECT_FALSE(m_frame->Camera().IsOpen());
    EXPECT_EQ(m_frame->ExitCode(), 0);

    m_dialogs.messages.clear();
    m_frame.reset();
    platform::InstallDriver(nullptr);
  }
}

std::string TestName(const ::testing::TestParamInfo<ExitWay>& param) {
  switch (param.param) {
    case ExitWay::PanelCloseBox: return "PanelCloseBox";
    case ExitWay::PanelEscape: return "PanelEscape";
    case ExitWay::MainWindowClose: return "MainWindowClose";
  }
  return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(EachWay, NormalExit,
                         ::testing::Values(ExitWay::PanelCloseBox, ExitWay::PanelEscape, ExitWay::MainWindowClose),
                         TestName);

}  // namespace
