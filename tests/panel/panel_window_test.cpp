// The panel window: start-up read-back, timers, connection watchdog, rate
// readout, command log and CLEAR, closing, and the diagnostics it offers.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include "app/messages.h"
#include "panel/diagnostics_window.h"
#include "panel_fixture.h"

namespace {

namespace id = panel_id;
using Frames = std::vector<test_support::Bytes>;

const Frames kSyncQueries = {ShortFrame(0x24), SetFrame(0x3C, 0), ShortFrame(0x80), ShortFrame(0x3F),
                             ShortFrame(0x36), ShortFrame(0x37),  ShortFrame(0x30), ShortFrame(0x31),
                             ShortFrame(0x35), ShortFrame(0x32),  ShortFrame(0x20)};

using PanelWindow = PanelTest;

TEST_F(PanelWindow, StartUpReadsTheCameraInOrderIntoTheLooks) {
  driver.SetReadBack(0x24, 1);
  driver.SetReadBack(0x80, 1);  // manual white balance
  driver.SetReadBack(0x3F, 1);
  driver.SetReadBack(0x36, 4);
  driver.SetReadBack(0x37, 8);
  driver.SetReadBack(0x31, 0x20);
  driver.SetReadBack(0x20, 1);  // VGA
  CreatePanel();
  EXPECT_EQ(Sent(), kSyncQueries);
  EXPECT_TRUE(Latched(id::kPairSecond) && Latched(id::kDZoom) && Latched(id::kMirror) && Latched(id::kFlip) &&
              Latched(id::kNegative) && Latched(id::kVga) && Latched(id::kZoom));
  EXPECT_FALSE(Latched(id::kPairFirst) || Latched(id::kAwb) || Latched(id::kColor) || Latched(id::kXga) ||
               Latched(id::kFreeze));
  EXPECT_EQ(host->camera.Orientation(), 3);
  EXPECT_EQ(panel->State().monitorOut, 1);
  EXPECT_EQ(panel->State().awb, 0);
  EXPECT_EQ(panel->State().dZoom, 1);
  EXPECT_EQ(panel->State().mirror, 0);  // feature flags wait for their first toggle
  EXPECT_EQ(panel->State().pairFirst, 0);
}

TEST_F(PanelWindow, StartUpAgainstASilentCamera) {
  driver.SetSilent(true);
  host->camera.SetOrientation(2);
  CreatePanel();
  EXPECT_EQ(Sent(), kSyncQueries);
  EXPECT_TRUE(Latched(id::kAwb) && Latched(id::kPairFirst) && Latched(id::kXga));
  for (int off : {id::kDZoom, id::kMirror, id::kFlip, id::kColor, id::kNegative, id::kEdge, id::kEmboss, id::kSvga,
                  id::kVga, id::kPairSecond})
    EXPECT_FALSE(Latched(off)) << off;
  EXPECT_EQ(host->camera.Orientation(), 2);  // neither 4 nor 8 came back: unchanged
  EXPECT_EQ(panel->State().awb, 1);
  EXPECT_EQ(panel->State().pairFirst, 1);
}

TEST_F(PanelWindow, WithoutALinkNoTimersStart) {
  CreatePanel(false);
  EXPECT_TRUE(Latched(id::kAwb) && Latched(id::kXga));  // reads gave 0
  EXPECT_TRUE(Sent().empty());
  panel->OnRemoconStart();
  EXPECT_FALSE(panel->IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG));
  EXPECT_FALSE(panel->IsTimerRunning(CRemoconDlg::TIMER_RATE));
  // The log still shows each failed exchange's empty reply line.
  EXPECT_TRUE(panel->Log().startsWith(QStringLiteral("\r\n")));
}

TEST_F(PanelWindow, WatchdogOutcomes) {
  CreatePanel();
  panel->OnRemoconStart();
  ASSERT_TRUE(panel->IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG));
  ASSERT_TRUE(panel->IsTimerRunning(CRemoconDlg::TIMER_RATE));

  panel->OnTimer(CRemoconDlg::TIMER_WATCHDOG);  // healthy
  EXPECT_TRUE(host->dialogs.boxes.empty());
  EXPECT_TRUE(host->messages.empty());

  // Acquisition failed, camera still attached.
  host->deviceOk.store(0);
  bool rateRanBehindBox = false;
  host->dialogs.whileShown = [&] {
    host->frameCount.store(3);
    rateRanBehindBox = QTest::qWaitFor([&] { return host->frameCount.load() == 0; }, 3000);
  };
  panel->OnTimer(CRemoconDlg::TIMER_WATCHDOG);
  ASSERT_EQ(host->dialogs.boxes.size(), 1u);
  EXPECT_EQ(host->dialogs.boxes[0],
            QStringLiteral("Image Transfer Unstable.\n\n Reconnect USB Cable.\n\n Exit program."));
  EXPECT_EQ(host->MessageIds(), std::vector<unsigned>{WM_CAM_SHUTDOWN});
  EXPECT_EQ(host->liveRunning.load(), 0);
  EXPECT_FALSE(panel->IsTimerRunning(CRemoconDlg::TIMER_WATCHDOG));
  EXPECT_TRUE(panel->IsTimerRunning(CRemoconDlg::TIMER_RATE));
  EXPECT_TRUE(rateRanBehindBox);
  EXPECT_TRUE(host->camera.IsOpen());
}

TEST_F(PanelWindow, WatchdogSeesAnUnpluggedCamera) {
  for (const int deviceOk : {1, 0}) {
    SCOPED_TRACE(deviceOk);
    test_support::SimulatedCamera camera{PanelCamera()};
    FakeHost mainWindow(camera);
    ASSERT_TRUE(mainWindow.camera.Open());
    CRemoconDlg remote(mainWindow, nullptr, PanelTiming{0.01});
    remote.Create();
    remote.OnRemoconStart();
    mainWindow.deviceOk.store(deviceOk);
    camera.Unplug();
    remote.OnTimer(CRemoconDlg::TIMER_WATCHDOG);
    EXPECT_EQ(mainWindow.dialogs.boxes, std::vector<QString>{QStringLiteral("Device was disconnected. Exit program.")});
    EXPECT_EQ(mainWindow.MessageIds(), std::vector<unsigned>{WM_CAM_SHUTDOWN});
    EXPECT_FALSE(mainWindow.camera.IsOpen());
    EXPECT_EQ(mainWindow.liveRunning.load(), 0);
  }
}

TEST_F(PanelWindow, RateReadoutShowsFramesAndBytesAndResetsTheCount) {
  CreatePanel();
  auto* rateBox = qobject_cast<QLineEdit*>(panel->Control(id::kRate));
  ASSERT_NE(rateBox, nullptr);
  host->camera.SetPicture({0, 640, 480});
  host->frameCount.store(15);
  // Every readout reaches the listener, an unchanged one too.
  std::vector<QString> heard;
  panel->SetRateListener([&heard](const QString& rate) { heard.push_back(rate); });
  panel->OnTimer(CRemoconDlg::TIMER_RATE);
  EXPECT_EQ(panel->Rate(), QStringLiteral("15 13824000 "));
  EXPECT_EQ(rateBox->text(), QStringLiteral("15 13824000 "));
  EXPECT_EQ(host->frameCount.load(), 0);
  panel->OnTimer(CRemoconDlg::TIMER_RATE);
  EXPECT_EQ(rateBox->text(), QStringLiteral("0 0 "));
  panel->OnTimer(CRemoconDlg::TIMER_RATE);
  EXPECT_EQ(heard,
            (std::vector<QString>{QStringLiteral("15 13824000 "), QStringLiteral("0 0 "), QStringLiteral("0 0 ")}));
  panel->SetRateListener({});
  // A count whose byte total passes 2^31 is still shown whole.
  host->camera.SetPicture({2, 1024, 768});
  host->frameCount.store(1000);
  panel->OnTimer(CRemoconDlg::TIMER_RATE);
  EXPECT_EQ(rateBox->text(), QStringLiteral("1000 2359296000 "));
}

TEST_F(PanelWindow, CommandLogLinesAndClear) {
  CreatePanel();
  auto* logBox = qobject_cast<QPlainTextEdit*>(panel->Control(id::kLog));
  ASSERT_NE(logBox, nullptr);
  // Every frame and reply of the start-up exchange is in the log: 11 of each.
  EXPECT_EQ(panel->Log().count(QStringLiteral("\r\n")), 22);
  EXPECT_TRUE(panel->Log().startsWith(QStringLiteral("AA 00 00 24 24 A5 \r\n55 00 00 24 00 24 5A \r\n")));

  auto* clear = qobject_cast<QPushButton*>(panel->Control(id::kClear));
  ASSERT_NE(clear, nullptr);
  clear->click();
  EXPECT_TRUE(panel->Log().isEmpty());
  EXPECT_EQ(logBox->toPlainText(), QStringLiteral(" "));  // until the next refresh

  const std::uint8_t frame[] = {0xAA, 0x80, 0x00, 0x20, 0x01, 0xA1, 0xA5};
  panel->AppendHexLog(frame);
  panel->AppendHexLog({});
  EXPECT_EQ(panel->Log(), QStringLiteral("AA 80 00 20 01 A1 A5 \r\n\r\n"));
  EXPECT_EQ(logBox->toPlainText(), QStringLiteral("AA 80 00 20 01 A1 A5 \n\n"));

  Click(1047);  // the lamp's exchange lands in the log as it happens
  EXPECT_TRUE(panel->Log().endsWith(QStringLiteral("AA 80 00 26 00 A6 A5 \r\n55 00 00 26 00 26 5A \r\n")));
  EXPECT_TRUE(logBox->toPlainText().endsWith(QStringLiteral("55 00 00 26 00 26 5A \n")));
}

TEST_F(PanelWindow, EscapeAndTheCloseBoxEndTheProgram) {
  CreatePanel();
  QTest::keyClick(panel.get(), Qt::Key_Escape);
  EXPECT_EQ(host->MessageIds(), std::vector<unsigned>{WM_CAM_SHUTDOWN});
  panel->show();
  panel->close();
  EXPECT_EQ(host->MessageIds(), (std::vector<unsigned>{WM_CAM_SHUTDOWN, WM_CAM_SHUTDOWN}));
}

TEST_F(PanelWindow, ShortcutsOfferTheHiddenMovieButtonAndDiagnostics) {
  CreatePanel();
  panel->activateWindow();
  QTest::keyClick(panel.get(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(host->MessageIds(), (std::vector<unsigned>{WM_CAM_MOVIE, WM_CAM_RESUME}));
  EXPECT_FALSE(panel->Control(id::kMovie)->isVisible());

  QTest::keyClick(panel.get(), Qt::Key_D, Qt::ControlModifier);
  CDiagnosticsWindow* diagnostics = panel->Diagnostics();
  ASSERT_NE(diagnostics, nullptr);
  EXPECT_TRUE(diagnostics->isVisible());
  EXPECT_TRUE(diagnostics->LogText().startsWith(QStringLiteral("AA 00 00 24 24 A5 \n")));
  host->frameCount.store(2);
  panel->OnTimer(CRemoconDlg::TIMER_RATE);
  EXPECT_EQ(diagnostics->RateText(), QStringLiteral("2 1843200 "));
  emit diagnostics->ClearRequested();
  EXPECT_TRUE(panel->Log().isEmpty());
  EXPECT_EQ(diagnostics->LogText(), QStringLiteral(" "));
  // The panel's own hidden controls stay hidden.
  for (int hidden : {id::kLog, id::kRate, id::kClear, id::kMovie}) EXPECT_FALSE(panel->Control(hidden)->isVisible());
}

TEST_F(PanelWindow, DiagnosticsAppendEachNewLineInsteadOfSettingTheWholeLogAgain) {
  CreatePanel();
  panel->activateWindow();
  QTest::keyClick(panel.get(), Qt::Key_D, Qt::ControlModifier);
  CDiagnosticsWindow* diagnostics = panel->Diagnostics();
  ASSERT_NE(diagnostics, nullptr);
  auto* shownLog = diagnostics->findChild<QPlainTextEdit*>();
  ASSERT_NE(shownLog, nullptr);
  const auto* panelLog = qobject_cast<QPlainTextEdit*>(panel->Control(id::kLog));
  ASSERT_NE(panelLog, nullptr);

  // Setting the text again would first remove every character already shown.
  QSignalSpy changes(shownLog->document(), &QTextDocument::contentsChange);
  const int shownBefore = shownLog->document()->characterCount();
  const std::uint8_t frame[] = {0xAA, 0x80, 0x00, 0x20, 0x01, 0xA1, 0xA5};
  for (int i = 0; i < 3; ++i) panel->AppendHexLog(frame);
  ASSERT_FALSE(changes.isEmpty());
  for (const QList<QVariant>& change : changes) {
    EXPECT_GE(change.at(0).toInt(), shownBefore - 1);  // at the end
    EXPECT_EQ(change.at(1).toInt(), 0);                // nothing removed
  }
  EXPECT_EQ(diagnostics->LogText(), panelLog->toPlainText());
  EXPECT_TRUE(diagnostics->LogText().endsWith(QStringLiteral("AA 80 00 20 01 A1 A5 \nAA 80 00 20 01 A1 A5 \n")));

  // After CLEAR the next line starts the log afresh in both boxes.
  emit diagnostics->ClearRequested();
  panel->AppendHexLog(frame);
  EXPECT_EQ(diagnostics->LogText(), QStringLiteral("AA 80 00 20 01 A1 A5 \n"));
  EXPECT_EQ(panelLog->toPlainText(), diagnostics->LogText());

  // Lines logged while the window is closed are there when it opens again.
  diagnostics->hide();
  panel->AppendHexLog({});
  panel->AppendHexLog(frame);
  QTest::keyClick(panel.get(), Qt::Key_D, Qt::ControlModifier);
  EXPECT_TRUE(diagnostics->isVisible());
  EXPECT_EQ(diagnostics->LogText(), panelLog->toPlainText());
  EXPECT_EQ(diagnostics->LogText().count(QLatin1Char('\n')), 3);
}

TEST_F(PanelWindow, DestroyedPanelNoLongerReceivesTheLog) {
  CreatePanel();
  panel.reset();
  // A command after the panel is gone must not reach it.
  EXPECT_EQ(host->camera.SendCommand(0x26, 0), 0);
  EXPECT_FALSE(driver.Commands().empty());
}

}  // namespace
