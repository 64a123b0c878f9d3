// The main window "TAVROCAM DISPLAY": the hub of the program. It owns the
// camera link, the live view with its frame bitmap, the live-view worker and
// the REMOCON panel, and runs the custom messages' handlers on the
// user-interface thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QBasicTimer>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

#include "app/capture_settings.h"
#include "app/interval_clock.h"
#include "app/resize_hand_over.h"
#include "app/shared_keys.h"
#include "app/web_address_window.h"
#include "camera/usb_camera.h"
#include "liveview/frame_taps.h"
#include "liveview/live_view.h"
#include "liveview/live_view_thread.h"
#include "panel/remocon_dlg.h"
#include "panel/remocon_host.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

class CAviWriter;
class CBroadcastPush;
class CLiveH264Feed;
class CPushOverlay;
class CPushState;
class IUserDialogs;
struct PushSettings;
class CCaptureOverlay;
class CCameraWait;
class CScanController;
class QAction;
class QMenu;
class QTimer;

// Defined beside the movie handlers, where CAviWriter is a complete type.
struct AviWriterDeleter {
  void operator()(CAviWriter* writer) const;
};

class CMainFrame : public QWidget, public IRemoconHost, private ILiveViewHost, private ILiveFrameSource {
  Q_OBJECT
 public:
  static constexpr int TIMER_NO_DEVICE = 0;
  static constexpr int TIMER_MOVIE_FRAME = 1;
  static constexpr int kNoDeviceMs = 1000;
  static constexpr int kMovieFrameMs = 66;

  CMainFrame(IUserDialogs& dialogs, platform::IDriver& driver, CameraTiming timing = {});
  ~CMainFrame() override;

  // The window's creation: opens the camera, creates the view and the panel,
  // places both from the profile and starts live view. False when the
  // window could not be created.
  bool Create();

  // Runs the handler of a WM_CAM_* message on this (the user-interface)
  // thread and returns its result; 0 for an unknown message.
  long SendCamMessage(unsigned message) override;

  // Command routing: true when the command was handled (or swallowed).
  // `fromControl` tells whether a control sent it.
  bool OnCommand(unsigned id, bool fromControl);

  CUsbCamera& Camera() override { return m_camera; }
  std::atomic<std::int32_t>& LiveRunning() override { return m_bLiveRunning; }
  std::atomic<std::int32_t>& DeviceOk() override { return m_bDeviceOk; }
  std::atomic<std::int32_t>& FrameCount() override { return m_nFrameCount; }
  IUserDialogs& Dialogs() override { return m_dialogs; }

  CLiveView& LiveView() { return m_wndView; }
  // Receivers of every picture the view shows (network viewers, broadcast).
  CFrameTaps& ShownFrameTaps() { return m_frameTaps; }
  CRemoconDlg& Remocon() { return m_wndRemocon; }
  int DisplayedModeValue() const { return m_nDisplayedMode.load(); }
  bool WorkerAliveNow() const { return m_bWorkerAlive.load() != 0; }
  bool IsRecording() const { return m_bRecording != 0; }
  // True once the window has been destroyed (the program is ending).
  bool IsDestroyed() const { return m_bDestroyed; }

  // ---- Without a camera (main_frame_camera_wait.cpp) ----
  // Before Create: with the web server or a push (or headless), a camera that
  // cannot be opened or is lost means a "NO CAMERA" picture and a new try
  // every 2 s instead of a box and the end of the program.
  void SetCarryOnWithoutCamera(bool carryOn) { m_bCarryOnWithoutCamera = carryOn; }
  // Whether live view runs on an open camera; any thread.
  bool CameraPresent() const { return m_bCameraPresent.load(); }
  // 1 once the program ends for a camera it could not open or lost, else 0.
  int ExitCode() const { return m_nExitCode; }
  bool OnCameraLost() override;

  // Starts pushing the shown picture (--push); false with the reason when
  // the URL can never work. One push per run.
  bool StartBroadcast(const PushSettings& settings, std::string& error);
  // The push's state, safe to read from any thread for the whole run
  // (phase Off when there is no push).
  const CPushState& BroadcastState() const { return *m_broadcastState; }
  // The one H.264 encoder the push and the network viewers share, made and
  // fed from the first call until shutdown; null once the window is gone.
  std::shared_ptr<CLiveH264Feed> H264Feed();

  void SetTimer(int id, int periodMs);
  void KillTimer(int id);

  // ---- Presenter: quick and interval capture, clipboard, turning ----
  // The command line's choices; before Create.
  void SetPresenterOptions(const PresenterOptions& options) { m_presenterOptions = options; }
  // Saves the picture on screen into the capture folder (Space); true when
  // a file was written. Does nothing while a dialog of ours is open.
  bool QuickCapture();
  void StartIntervalCapture();
  void StopIntervalCapture();
  void ToggleIntervalCapture();
  bool IntervalCaptureRunning() const;
  int IntervalCaptureCount() const { return m_nIntervalCaptures; }
  // The picture on screen onto the clipboard as an image (Ctrl+C).
  void CopyPictureToClipboard();
  // Turns the picture a quarter clockwise (R) or back (Shift+R); refused
  // while a movie is being recorded, whose frames keep one size.
  void RotateClockwise();
  void RotateCounterClockwise();
  bool SetRotationDegrees(int degrees);
  int RotationDegrees() const { return m_nQuarterTurns.load() * 90; }
  QString LastCapturePath() const { return m_strLastCapture; }
  QString OverlayText() const;
  // The right-click menu's entries, in order, with their shortcuts.
  QList<QAction*> ContextMenuActions() const;
  // The scan session (P, Backspace, Enter); a child of the window.
  CScanController* ScanController() const { return m_pScan; }
  // Full screen on and off (F11; Escape also leaves it). A maximised window
  // goes back to maximised.
  void ToggleFullScreen();
  QAction* FullScreenAction() const { return m_actFullScreen.get(); }
  // The right-click menu as it opens: the entries above, full screen, the
  // panel, the capture folder and, while the web server runs, its address.
  void FillContextMenu(QMenu& menu) const;
  // Opens the capture folder in the desktop's file manager (made when missing).
  void OpenCaptureFolder();

  // ---- The panel in a show (main_frame_panel.cpp) ----
  // H: hides the panel with its diagnostics window, and brings both back as
  // they were; in and out of full screen.
  void TogglePanel();
  bool PanelHidden() const { return m_bPanelHidden; }
  // The web server runs at this address (its token in it where one is
  // needed): the menu offers "Show web address…".
  void SetWebAddress(const QString& url);
  void ShowWebAddress();
  CWebAddressWindow* WebAddressWindow() const { return m_pWebAddress.get(); }
  // True while the window takes its size from the camera's picture; false
  // once the user has resized, maximised or full-screened it, when the view
  // scales the picture to fit instead.
  bool FollowsPicture() const;

 signals:
  // The window is gone: the application leaves its message loop.
  void windowDestroyed();
  // The program is ending (a close, or a lost camera): what serves the
  // camera elsewhere closes its connections now.
  void shuttingDown();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Custom message handlers; each returns 0.
  long OnCamShutdown();
  long OnCamStep();
  long OnCamMovie();
  long OnCamResize();
  long OnCamCaptureTick();
  long OnCamResume();
  long OnCamPause();
  long OnCamSaveAs();
  long OnCamPrint();

  void OnTimer(int id);
  void OnNoDeviceTimer();
  // Starts the live-view worker on the open camera and waits until it runs.
  void StartLive();
  // The retry of a camera wait: opens the camera and starts live view.
  bool TryOpenCamera();
  // `lastPicture` empty: 1024x768.
  void BeginCameraWait(const char* why, QSize lastPicture);
  void OnMovieTimer();
  void PostExitCommand();
  // Destroys the window: Shutdown, then the panel, then the window itself.
  void DestroyWindow();
  void StopWorker();
  void StopBroadcast();
  void StopH264Feed();
  void SavePositions();

  // Window behaviour (main_frame_window.cpp).
  void CreateWindowActions();
  // The panel at its saved position, or on a first start beside this window.
  void PlaceRemocon();
  // Sizes the window for a picture unless the user has chosen its size.
  void FollowPicture(QSize picture);
  // A panel still where a first start put it stays beside the resized window.
  // `settling`: the window manager may still be reporting passing positions,
  // so a window seen elsewhere does not yet count as moved by the user.
  void KeepFirstStartPanelBeside(bool settling = false);
  void WatchFirstStartFrame();
  void UpdateViewFit();

  // ILiveViewHost
  platform::EventHandle RunEvent() override { return m_hRunEvent; }
  std::atomic<std::int32_t>& WorkerAlive() override { return m_bWorkerAlive; }
  std::atomic<std::int32_t>& WorkerEntered() override { return m_bWorkerEntered; }
  int DisplayedMode() const override { return m_nDisplayedMode.load(); }
  void SendResize() override;
  ILiveFrameSource& FrameSource() override { return *this; }
  CLiveView& View() override { return m_wndView; }
  CFrameTaps* FrameTaps() override { return &m_frameTaps; }
  int QuarterTurns() const override { return m_nQuarterTurns.load(); }

  // Presenter helpers (main_frame_capture.cpp).
  void CreatePresenterActions();
  // H, Escape in full screen and the web address; the keys shared with the
  // program's other windows (main_frame_panel.cpp).
  void CreatePanelActions();
  void OnFullScreenChanged();
  // Where the view draws the picture: the caption sits at its corner.
  QRect ShownPictureRect() const;
  void ShowIntervalCount();
  // True once the view holds a picture (the camera's first frame has come).
  bool PictureShown() const;
  void StartPresenter();
  void OnIntervalTick();
  // True while a save, print or movie dialog of ours (or any modal one) is open.
  bool OutputDialogOpen() const;
  QuickCaptureResult CaptureShownPicture();
  // The frame bitmap turned as the view shows it (itself when not turned),
  // for stills, prints and movies.
  CFrameBitmap& OutputFrame();
  void FitWindowToPicture(QSize picture);
  // While frozen no new picture comes: hands the held one, turned as now
  // shown, to the frame taps so that viewers and the push follow the turn.
  void RepublishHeldPicture();
  // Hook for the full-screen toggle: adds its entry to the right-click menu
  // once the window has one (nothing until then).
  void AddFullScreenEntry(QMenu& menu) const;

  // ILiveFrameSource: the camera link as the worker sees it.
  bool QueryMode() override { return m_camera.QueryMode(); }
  bool GrabFrame(std::uint8_t* destination) override { return m_camera.GrabFrame(destination); }
  int Mode() const override { return m_camera.Picture().mode; }
  int Width() const override { return m_camera.Picture().width; }
  int Height() const override { return m_camera.Picture().height; }

  IUserDialogs& m_dialogs;
  platform::IDriver& m_driver;

  // Before the panel, whose destruction still talks to the link.
  CUsbCamera m_camera;
  CRemoconDlg m_wndRemocon;
  std::atomic<std::int32_t> m_bLiveRunning{0};
  std::atomic<std::int32_t> m_bWorkerAlive{0};
  std::atomic<std::int32_t> m_bWorkerEntered{0};
  platform::EventHandle m_hRunEvent;
  std::atomic<std::int32_t> m_nFrameCount{0};
  std::atomic<std::int32_t> m_nDisplayedMode{0};
  std::atomic<std::int32_t> m_bDeviceOk{1};
  CFrameTaps m_frameTaps;
  // Declared after everything the worker touches except the view, which
  // must outlive it: the worker is joined before any of them goes.
  CLiveView m_wndView;
  platform::WorkerThread m_worker;
  ResizeHandOver m_resizeHandOver;

  std::array<QBasicTimer, 2> m_timers;
  // The client size the program last gave the window for its picture.
  QSize m_sizedForPicture;
  // Where a first start put the panel and this window, while neither has moved.
  std::optional<QPoint> m_firstStartPanelSpot;
  std::optional<QPoint> m_firstStartMainSpot;
  // Every spot the panel was sent to since (the window system reports a move late).
  QList<QPoint> m_firstStartPanelSpots;
  // Polls for the window manager's real frame after each first-start move
  // or resize, for a few seconds; the frame is reported a little later.
  std::unique_ptr<QTimer> m_pFirstStartWatch;
  int m_nFirstStartPollsLeft = 0;
  std::unique_ptr<QAction> m_actFullScreen;
  bool m_bCreated = false;
  bool m_bDestroyed = false;
  bool m_bCarryOnWithoutCamera = false;
  std::atomic<bool> m_bCameraPresent{false};
  int m_nExitCode = 0;
  std::unique_ptr<CCameraWait> m_pCameraWait;

  // ---- Broadcast push ----
  std::shared_ptr<CPushState> m_broadcastState;
  std::unique_ptr<CBroadcastPush> m_pBroadcast;
  std::shared_ptr<CLiveH264Feed> m_pH264Feed;
  // A child of the view: Qt deletes it with the view.
  CPushOverlay* m_pPushOverlay = nullptr;

  // ---- Image output (stills, movie, print): members owned by their handlers ----
  std::int32_t m_bRecording = 0;
  std::unique_ptr<CAviWriter, AviWriterDeleter> m_pAviWriter;
  // Working directory at start-up; print writes its intermediate file here.
  QString m_szStartDir;
  std::int32_t m_bFirstMovieFrame = 0;
  // Open save, print and movie dialogs: quick captures wait until they close.
  int m_nOutputDialogs = 0;
  // ---- end of image output members ----

  // ---- Presenter ----
  PresenterOptions m_presenterOptions;
  // Clockwise quarter turns of everything shown and kept; the worker reads it for the taps.
  std::atomic<std::int32_t> m_nQuarterTurns{0};
  CFrameBitmap m_turnedFrame;   // stills, prints and movies of a turned picture
  CFrameBitmap m_captureFrame;  // quick captures and the clipboard
  std::unique_ptr<QTimer> m_pIntervalTimer;
  CIntervalClock m_intervalClock;
  // The slot the timer waits for; before the series' first capture, the
  // first picture (at the program's start the camera may not have sent one).
  static constexpr std::int64_t kWaitingForPicture = -1;
  static constexpr int kFirstPicturePollMs = 50;
  std::int64_t m_nIntervalSlot = kWaitingForPicture;
  double m_dIntervalSeconds = 0;
  bool m_bIntervalRunning = false;
  int m_nIntervalCaptures = 0;
  QString m_strLastCapture;
  CCaptureOverlay* m_pOverlay = nullptr;  // a child of the view
  std::unique_ptr<QAction> m_actCapture;
  std::unique_ptr<QAction> m_actInterval;
  std::unique_ptr<QAction> m_actCopy;
  std::unique_ptr<QAction> m_actRotateCw;
  std::unique_ptr<QAction> m_actRotateCcw;
  std::unique_ptr<QAction> m_actOpenFolder;

  // ---- The panel in a show ----
  std::unique_ptr<QAction> m_actHidePanel;
  std::unique_ptr<QAction> m_actLeaveFullScreen;
  std::unique_ptr<QAction> m_actWebAddress;
  std::unique_ptr<CSharedKeys> m_pSharedKeys;
  std::unique_ptr<CWebAddressWindow> m_pWebAddress;
  QString m_strWebAddress;
  bool m_bPanelHidden = false;
  bool m_bDiagnosticsWasShown = false;
  CScanController* m_pScan = nullptr;
};
