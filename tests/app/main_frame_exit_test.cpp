// An ordinary exit, by any of its ways, shows no message box. The panel's
// watchdog used to keep ticking after the shutdown had closed the link, and a
// tick that came before the quit reported the closed link as a lost camera.
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

#include "app_fixture.h"
#include "panel/remocon_dlg.h"

namespace {

// The test's parameter stays an enum: the test names CTest lists carry its
// printed value.
enum class ExitWay { PanelCloseBox, PanelEscape, MainWindowClose };

// Each way in the enum's order: its name in the test's name and in a
// failure's trace, and what the user does.
struct ExitWayRow {
  const char* testName;
  const char* said;
  void (*end)(CMainFrame& frame);
};

const ExitWayRow kExitWays[] = {
    {"PanelCloseBox", "panel close box", [](CMainFrame& frame) { frame.Remocon().close(); }},
    {"PanelEscape", "Escape on the panel",
     [](CMainFrame& frame) { QTest::keyClick(&frame.Remocon(), Qt::Key_Escape); }},
    {"MainWindowClose", "main window close", [](CMainFrame& frame) { frame.close(); }},
};

const ExitWayRow& RowOf(ExitWay way) { return kExitWays[static_cast<std::size_t>(way)]; }

class NormalExit : public MainFrameTest, public ::testing::WithParamInterface<ExitWay> {};

// Repeated: each run is a fresh program, as a user would start it again.
constexpr int kRuns = 3;

TEST_P(NormalExit, ShowsNoMessageBox) {
  const ExitWayRow& way = RowOf(GetParam());
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(testing::Message() << way.said << ", run " << run);
    StartWithCamera({.startMode = 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Remocon().IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG); }, 5000));
    ASSERT_TRUE(WaitForFrames(1));

    way.end(*m_frame);
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

std::string TestName(const ::testing::TestParamInfo<ExitWay>& param) { return RowOf(param.param).testName; }

INSTANTIATE_TEST_SUITE_P(EachWay, NormalExit,
                         ::testing::Values(ExitWay::PanelCloseBox, ExitWay::PanelEscape, ExitWay::MainWindowClose),
                         TestName);

}  // namespace
