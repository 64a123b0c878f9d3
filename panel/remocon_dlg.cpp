#include "panel/remocon_dlg.h"

#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "camera/command_frame.h"
#include "camera/usb_camera.h"
#include "output/user_dialogs.h"
#include "panel/diagnostics_window.h"
#include "panel/panel_button.h"
#include "panel/panel_frame.h"

namespace {

const QString kUnstableText = QStringLiteral("Image Transfer Unstable.\n\n Reconnect USB Cable.\n\n Exit program.");
const QString kDisconnectedText = QStringLiteral("Device was disconnected. Exit program.");

// The log box shows plain line ends; the log text keeps the camera's CR LF.
QString ForDisplay(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Makes a control into `slot`, which owns it, and hands it back to be set up.
template <typename Widget, typename... Args>
Widget* Emplace(std::unique_ptr<QWidget>& slot, Args&&... args) {
  auto widget = std::make_unique<Widget>(std::forward<Args>(args)...);
  Widget* made = widget.get();
  slot = std::move(widget);
  return made;
}

}  // namespace

int PanelTiming::Ms(int productMs) const { return static_cast<int>(productMs * scale + 0.5); }

CRemoconDlg::CRemoconDlg(IRemoconHost& host, QWidget* parent, PanelTiming timing)
    : QDialog(parent), m_host(host), m_timing(timing) {
  setWindowTitle(QStringLiteral("REMOCON"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(PanelDialogFont());
  m_units = DialogBaseUnits::Of(font());
  m_timerWatchdog.setInterval(kWatchdogPeriodMs);
  m_timerRate.setInterval(kRatePeriodMs);
  connect(&m_timerWatchdog, &QTimer::timeout, this, [this] { OnTimer(TIMER_WATCHDOG); });
  connect(&m_timerRate, &QTimer::timeout, this, [this] { OnTimer(TIMER_RATE); });
}

CRemoconDlg::~CRemoconDlg() {
  StopTimers();
  // The link outlives the panel inside the main window; it must not log into a dead panel.
  if (m_bLogSinkSet) m_host.Camera().SetLogSink(nullptr);
}

CUsbCamera& CRemoconDlg::Camera() { return m_host.Camera(); }

// The panel's own timings (the camera's pace, the watchdog's grace): they wait for
// time to pass, not for anything in the program.
void CRemoconDlg::Pause(int productMs) const {
  std::this_thread::sleep_for(std::chrono::milliseconds(m_timing.Ms(productMs)));
}

bool CRemoconDlg::Create() {
  if (m_bCreated) return true;
  m_bCreated = true;
  CreateControls();
  BindControls();
  CreateActions();
  m_host.Camera().SetLogSink(this);
  m_bLogSinkSet = true;
  OnInitDialog();
  return true;
}

void CRemoconDlg::CreateControls() {
  setFixedSize(m_units.X(kPanelWidthDlu), m_units.Y(kPanelHeightDlu));
  for (const PanelControl& entry : PanelLayout()) {
    std::unique_ptr<QWidget> control;
    switch (entry.kind) {
      case ControlKind::Background:
        m_wndFrame = Emplace<CPanelFrame>(control, this);
        m_wndFrame->SetBaseUnits(m_units);
        break;
      case ControlKind::Button: {
        auto* button = Emplace<CPanelButton>(control, this);
        button->SetCaption(QString::fromLatin1(entry.caption));
        button->SetPictures(entry.picture, entry.latchedPicture);
        button->setToolTip(QString::fromUtf8(entry.tooltip));
        if (const ButtonBinding* binding = FindButtonBinding(entry.id)) {
          const ButtonBinding b = *binding;
          if (b.action == ButtonAction::PressHold) {
            connect(button, &CPanelButton::MouseDown, this, [this, b] { OnHoldDown(b); });
            connect(button, &CPanelButton::MouseUp, this, [this] { OnHoldUp(); });
          } else {
            connect(button, &CPanelButton::Click, this, [this, b] { OnClick(b); });
          }
        }
        break;
      }
      case ControlKind::LogBox:
        m_editLog = Emplace<QPlainTextEdit>(control, this);
        m_editLog->setReadOnly(true);
        m_editLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        break;
      case ControlKind::RateBox:
        m_editRate = Emplace<QLineEdit>(control, this);
        m_editRate->setReadOnly(true);
        m_editRate->setAlignment(Qt::AlignCenter);
        break;
      case ControlKind::PushButton:
        m_btnClear = Emplace<QPushButton>(control, QString::fromLatin1(entry.caption), this);
        m_btnClear->setAutoDefault(false);
        connect(m_btnClear, &QPushButton::clicked, this, &CRemoconDlg::OnClearLog);
        break;
    }
    control->setObjectName(QString::number(entry.id));
    control->setGeometry(m_units.ToPixels(entry.DialogRect()));
    control->setVisible(entry.visible);
    m_byId[entry.id] = control.get();
    m_controls.push_back(std::move(control));
  }
  m_wndFrame->lower();
}

void CRemoconDlg::BindControls() {
  namespace id = panel_id;
  m_btnXga = Button(id::kXga);
  m_btnSvga = Button(id::kSvga);
  m_btnVga = Button(id::kVga);
  m_btnFreeze = Button(id::kFreeze);
  m_btnSave = Button(id::kSaveImage);
  m_btnPrint = Button(id::kPrint);
  m_btnAFocus = Button(id::kAutoFocus);
  m_btnAwb = Button(id::kAwb);
  m_btnDZoom = Button(id::kDZoom);
  m_btnMirror = Button(id::kMirror);
  m_btnFlip = Button(id::kFlip);
  m_btnNegative = Button(id::kNegative);
  m_btnColor = Button(id::kColor);
  m_btnPairFirst = Button(id::kPairFirst);
  m_btnPairSecond = Button(id::kPairSecond);
  m_btnEmboss = Button(id::kEmboss);
  m_btnEdge = Button(id::kEdge);
  m_btnInput = Button(id::kInputSelect);
  m_btnAdjust = {Button(id::kZoom),  Button(id::kFocus), Button(id::kBright),
                 Button(id::kSharp), Button(id::kRed),   Button(id::kBlue)};
}

void CRemoconDlg::CreateActions() {
  m_actMovie = std::make_unique<QAction>(QStringLiteral("Record movie"));
  m_actMovie->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  m_actMovie->setShortcutContext(Qt::WindowShortcut);
  connect(m_actMovie.get(), &QAction::triggered, this, &CRemoconDlg::RecordMovie);
  addAction(m_actMovie.get());
  m_actDiagnostics = std::make_unique<QAction>(QStringLiteral("Diagnostics"));
  m_actDiagnostics->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  m_actDiagnostics->setShortcutContext(Qt::WindowShortcut);
  connect(m_actDiagnostics.get(), &QAction::triggered, this, &CRemoconDlg::ShowDiagnostics);
  addAction(m_actDiagnostics.get());
}

void CRemoconDlg::contextMenuEvent(QContextMenuEvent* event) {
  if (!m_bCreated) return;
  QMenu menu(this);
  menu.addAction(m_actMovie.get());
  menu.addAction(m_actDiagnostics.get());
  menu.exec(event->globalPos());
}

void CRemoconDlg::RecordMovie() {
  if (const ButtonBinding* movie = FindButtonBinding(panel_id::kMovie)) OnClick(*movie);
}

void CRemoconDlg::ShowDiagnostics() {
  if (!m_bCreated) return;
  if (!m_pDiagnostics) {
    m_pDiagnostics = std::make_unique<CDiagnosticsWindow>(this);
    connect(m_pDiagnostics.get(), &CDiagnosticsWindow::ClearRequested, m_btnClear, &QPushButton::click);
  }
  m_pDiagnostics->ShowLog(m_editLog->toPlainText());
  m_pDiagnostics->ShowRate(m_editRate->text());
  m_pDiagnostics->ShowBroadcast(m_strBroadcast);
  m_pDiagnostics->show();
  m_pDiagnostics->raise();
}

void CRemoconDlg::SetBroadcastText(const QString& line) {
  m_strBroadcast = line;
  if (m_pDiagnostics) m_pDiagnostics->ShowBroadcast(line);
}

CPanelButton* CRemoconDlg::Button(int id) const { return qobject_cast<CPanelButton*>(Control(id)); }

QWidget* CRemoconDlg::Control(int id) const {
  const auto it = m_byId.find(id);
  return it == m_byId.end() ? nullptr : it->second;
}

void CRemoconDlg::OnInitDialog() {
  UpdateData();
  Latch(m_btnAdjust[static_cast<std::size_t>(m_nAdjust)]);
  SyncFromCamera();
}

void CRemoconDlg::UpdateData() {
  if (!m_editLog) return;
  // The log only ever grows between clears: append the new tail rather than
  // re-setting a text that is never trimmed.
  const bool diagnosticsShown = m_pDiagnostics && m_pDiagnostics->isVisible();
  if (m_bLogBoxInSync && m_strLog.size() >= m_nLogShown) {
    const QString tail = ForDisplay(m_strLog.mid(m_nLogShown));
    if (!tail.isEmpty()) {
      m_editLog->moveCursor(QTextCursor::End);
      m_editLog->insertPlainText(tail);
      if (diagnosticsShown) m_pDiagnostics->AppendLog(tail);
    }
  } else {
    m_editLog->setPlainText(ForDisplay(m_strLog));
    if (diagnosticsShown) m_pDiagnostics->ShowLog(m_editLog->toPlainText());
  }
  m_nLogShown = m_strLog.size();
  m_bLogBoxInSync = true;
  m_editLog->verticalScrollBar()->setValue(m_editLog->verticalScrollBar()->maximum());
  m_editRate->setText(m_strRate);
  if (diagnosticsShown) m_pDiagnostics->ShowRate(m_strRate);
}

void CRemoconDlg::AppendHexLog(std::span<const std::uint8_t> bytes) {
  m_strLog += QString::fromLatin1(camera::FormatHexLogLine(bytes));
  UpdateData();
}

void CRemoconDlg::AppendFailureLine(const QString& line) {
  m_strLog += QStringLiteral("FAILED ") + line + QStringLiteral("\r\n");
  UpdateData();
}

void CRemoconDlg::OnClearLog() {
  // The box shows a blank until the next refresh writes the empty log.
  m_editLog->setPlainText(QStringLiteral(" "));
  m_strLog.clear();
  m_bLogBoxInSync = false;
  if (m_pDiagnostics && m_pDiagnostics->isVisible()) m_pDiagnostics->ShowLog(m_editLog->toPlainText());
}

void CRemoconDlg::OnRemoconStart() {
  if (!Camera().IsOpen()) return;
  m_timerWatchdog.start();
  m_timerRate.start();
}

void CRemoconDlg::OnCameraBack() {
  // The camera may have been another one, or reset: read its settings again.
  SyncFromCamera();
  OnRemoconStart();
}

bool CRemoconDlg::IsTimerRunning(int timerId) const {
  if (timerId == TIMER_WATCHDOG) return m_timerWatchdog.isActive();
  if (timerId == TIMER_RATE) return m_timerRate.isActive();
  return false;
}

void CRemoconDlg::StopTimers() {
  m_timerWatchdog.stop();
  m_timerRate.stop();
}

void CRemoconDlg::OnTimer(int timerId) {
  if (timerId == TIMER_WATCHDOG)
    OnWatchdog();
  else if (timerId == TIMER_RATE)
    OnRate();
}

void CRemoconDlg::OnWatchdog() {
  enum class Outcome { Healthy, Unstable, Disconnected } outcome = Outcome::Healthy;
  if (!m_host.DeviceOk()) {
    outcome = Outcome::Unstable;
    Pause(1000);  // grace for a transfer that stalled while the cable is still in
    if (!Camera().CheckPresent()) outcome = Outcome::Disconnected;
  } else if (!Camera().CheckPresent()) {
    outcome = Outcome::Disconnected;
  }
  if (outcome == Outcome::Healthy) return;
  m_host.StopLive();
  // Stopped before the box opens: the check must not run again behind it.
  m_timerWatchdog.stop();
  if (m_host.OnCameraLost()) return;
  const QPointer<CRemoconDlg> alive(this);
  m_host.Dialogs().MessageBox(outcome == Outcome::Unstable ? kUnstableText : kDisconnectedText);
  if (!alive) return;
  m_host.Shutdown();
}

void CRemoconDlg::OnRate() {
  const std::int64_t frames = m_host.FrameCount();
  const CUsbCamera::PictureMode picture = Camera().Picture();
  const std::int64_t width = picture.width;
  const std::int64_t height = picture.height;
  // 64-bit: the byte count of a fast camera at its largest size must not wrap.
  m_strRate = QStringLiteral("%1 %2 ").arg(frames).arg(frames * width * height * 3);
  m_host.ResetFrameCount();
  UpdateData();
  if (m_rateListener) m_rateListener(m_strRate);
}

void CRemoconDlg::reject() {
  const QPointer<CRemoconDlg> alive(this);
  m_host.Shutdown();
  if (alive) QDialog::reject();
}

void CRemoconDlg::Latch(CPanelButton* button) {
  if (button) button->SetRaised(false);
}

void CRemoconDlg::Raise(CPanelButton* button) {
  if (button) button->SetRaised(true);
}

void CRemoconDlg::ShowLatched(CPanelButton* button, bool latched) {
  if (button) button->SetRaised(!latched);
}

RemoconState CRemoconDlg::State() const {
  RemoconState state;
  state.freeze = m_bFreeze != 0;
  state.adjust = m_nAdjust;
  for (std::size_t i = 0; i < state.adjustLatched.size(); ++i) state.adjustLatched[i] = m_bAdjustLatched[i] != 0;
  state.monitorOut = m_nMonitorOut;
  state.awb = m_bAwb != 0;
  state.dZoom = m_bDZoom != 0;
  state.mirror = m_bMirror != 0;
  state.flip = m_bFlip != 0;
  state.color = m_bColor != 0;
  state.negative = m_bNegative != 0;
  state.edge = m_bEdge != 0;
  state.emboss = m_bEmboss != 0;
  state.externalInput = m_bExternalInput != 0;
  state.pairFirst = m_bPairFirst != 0;
  return state;
}
