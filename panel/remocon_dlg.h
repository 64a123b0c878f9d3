// The REMOCON panel: the camera's remote control beside the main window. It
// turns button events into camera commands, keeps its own copy of the
// camera's switches, watches the connection and keeps the command log.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "camera/command_log.h"
#include "panel/button_table.h"
#include "panel/panel_layout.h"
#include "panel/remocon_host.h"

class CPanelButton;
class CPanelFrame;
class CDiagnosticsWindow;
class QAction;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Scales the panel's own pauses (100 ms settle, 1000 ms watchdog grace);
// 1.0 in the product, smaller in tests.
struct PanelTiming {
  double scale = 1.0;
  int Ms(int productMs) const;
};

// A copy of the panel's switches (see CRemoconDlg for their meanings).
struct RemoconState {
  bool freeze = false;
  int adjust = 0;
  std::array<bool, kAdjustCount> adjustLatched{};
  int monitorOut = 0;
  bool awb = false, dZoom = false;
  bool mirror = false, flip = false, color = false, negative = false, edge = false, emboss = false;
  bool externalInput = false, pairFirst = false;
};

class CRemoconDlg : public QDialog, public ICommandLogSink {
  Q_OBJECT
 public:
  static constexpr int TIMER_WATCHDOG = 0;
  static constexpr int TIMER_RATE = 1;
  static constexpr int kWatchdogPeriodMs = 500;
  static constexpr int kRatePeriodMs = 1000;

  CRemoconDlg(IRemoconHost& host, QWidget* parent = nullptr, PanelTiming timing = {});
  ~CRemoconDlg() override;
  CRemoconDlg(const CRemoconDlg&) = delete;
  CRemoconDlg& operator=(const CRemoconDlg&) = delete;

  // Builds the 73 controls, attaches the command log to the camera link and
  // runs the dialog's initialisation (Zoom latched, settings read from the
  // camera). The main window calls it once, after it has opened the link;
  // later calls do nothing.
  bool Create();

  // The camera link's log: one line of "%02X " per byte, then CR LF.
  void AppendHexLog(std::span<const std::uint8_t> bytes) override;

  // Timer handler, public so that a timer tick can be replayed.
  void OnTimer(int timerId);
  bool IsTimerRunning(int timerId) const;
  // Shutdown has begun: no watchdog tick may find the link the shutdown has
  // just closed and report it as a lost camera.
  void StopTimers();

  CPanelButton* Button(int id) const;
  QWidget* Control(int id) const;
  const DialogBaseUnits& BaseUnits() const { return m_units; }
  CDiagnosticsWindow* Diagnostics() const { return m_pDiagnostics.get(); }
  // Also hands each rate readout to `listener` (the program's --verbose prints them).
  void SetRateListener(std::function<void(const QString&)> listener) { m_rateListener = std::move(listener); }
  // The broadcast push's state line for the diagnostics window (empty: none).
  void SetBroadcastText(const QString& line);
  // A failure and its reason, as one line of the command log (and so of the
  // diagnostics window's log).
  void AppendFailureLine(const QString& line);

  // The panel's switches as they are now, for the main window, the web
  // panel and the tests.
  RemoconState State() const;
  // The command log (CR LF line ends), the rate readout and the push's line.
  const QString& Log() const { return m_strLog; }
  const QString& Rate() const { return m_strRate; }
  const QString& BroadcastText() const { return m_strBroadcast; }
  bool Frozen() const { return m_bFreeze != 0; }

 public slots:
  // WM_REMOCON_START: starts the watchdog and the rate readout when the link is open.
  void OnRemoconStart();
  // A camera opened after the panel started without one (or lost one):
  // the panel reads its settings and starts its watchdog.
  void OnCameraBack();
  void ShowDiagnostics();
  void RecordMovie();

 protected:
  // IDCANCEL: the close box and Escape end the program.
  void reject() override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // Window and controls.
  void CreateControls();
  void BindControls();
  void CreateActions();
  void OnInitDialog();
  void UpdateData();  // writes m_strLog and m_strRate into their boxes
  void OnClearLog();
  void OnWatchdog();
  void OnRate();
  void Pause(int productMs) const;

  // Button events.
  void OnClick(const ButtonBinding& binding);
  void OnHoldDown(const ButtonBinding& binding);
  void OnHoldUp();
  void OnMonitorOut(const ButtonBinding& binding);
  void ShowMonitorOut(int value);
  void OnFreezeToggle(const ButtonBinding& binding);
  void OnMovie();
  void OnSaveImage();
  void OnPrintImage();
  void OnFrozenPictureKey(CPanelButton* button, void (IRemoconHost::*action)());
  void OnAdjustSelect(const ButtonBinding& binding);
  void OnAutoFocus(const ButtonBinding& binding);
  void OnWhiteBalance(const ButtonBinding& binding);
  void OnDZoom(const ButtonBinding& binding);
  void OnFeature(const ButtonBinding& binding);
  void OnPairChoice(const ButtonBinding& binding);
  void OnInputSelect(const ButtonBinding& binding);
  void SyncFromCamera();

  int& FeatureFlag(Feature feature);
  CPanelButton* FeatureButton(Feature feature) const;
  void UpdateOrientation();
  static void Latch(CPanelButton* button);
  static void Raise(CPanelButton* button);
  static void ShowLatched(CPanelButton* button, bool latched);
  // Live: a latching key's flag, look and camera setting flip together.
  void FlipKey(CPanelButton* button, int& flag, const ButtonBinding& binding);
  CUsbCamera& Camera();

  IRemoconHost& m_host;
  // Panel state: 32-bit flags and numbers, written on the user-interface thread only.
  int m_bFreeze = 0;
  int m_nAdjust = 0;
  std::array<int, kAdjustCount> m_bAdjustLatched = {1, 0, 0, 0, 0, 0};
  int m_nMonitorOut = 0;
  int m_bAwb = 0;
  int m_bDZoom = 0;
  int m_bMirror = 0;
  int m_bFlip = 0;
  int m_bColor = 0;
  int m_bNegative = 0;
  int m_bEdge = 0;
  int m_bEmboss = 0;
  int m_bExternalInput = 0;
  int m_bPairFirst = 0;
  QString m_strLog;
  QString m_strRate;
  QString m_strBroadcast;
  PanelTiming m_timing;
  bool m_bCreated = false;
  bool m_bLogSinkSet = false;
  DialogBaseUnits m_units;

  std::vector<std::unique_ptr<QWidget>> m_controls;
  std::unordered_map<int, QWidget*> m_byId;
  CPanelFrame* m_wndFrame = nullptr;
  QPlainTextEdit* m_editLog = nullptr;  // 1127
  QLineEdit* m_editRate = nullptr;      // 1129
  QPushButton* m_btnClear = nullptr;    // 1128
  qsizetype m_nLogShown = 0;            // characters of m_strLog the log box already holds
  bool m_bLogBoxInSync = true;

  // The 24 buttons whose look the program sets.
  CPanelButton* m_btnXga = nullptr;
  CPanelButton* m_btnSvga = nullptr;
  CPanelButton* m_btnVga = nullptr;
  CPanelButton* m_btnFreeze = nullptr;
  CPanelButton* m_btnSave = nullptr;
  CPanelButton* m_btnPrint = nullptr;
  CPanelButton* m_btnAFocus = nullptr;
  CPanelButton* m_btnAwb = nullptr;
  CPanelButton* m_btnDZoom = nullptr;
  CPanelButton* m_btnMirror = nullptr;
  CPanelButton* m_btnFlip = nullptr;
  CPanelButton* m_btnNegative = nullptr;
  CPanelButton* m_btnColor = nullptr;
  CPanelButton* m_btnPairFirst = nullptr;
  CPanelButton* m_btnPairSecond = nullptr;
  CPanelButton* m_btnEmboss = nullptr;
  CPanelButton* m_btnEdge = nullptr;
  CPanelButton* m_btnInput = nullptr;
  std::array<CPanelButton*, kAdjustCount> m_btnAdjust{};

  QTimer m_timerWatchdog;
  QTimer m_timerRate;
  std::unique_ptr<CDiagnosticsWindow> m_pDiagnostics;
  std::unique_ptr<QAction> m_actMovie;
  std::unique_ptr<QAction> m_actDiagnostics;
  std::function<void(const QString&)> m_rateListener;
};
