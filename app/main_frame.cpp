#include "app/main_frame.h"

#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMetaObject>
#include <QTimerEvent>

#include "app/camera_wait.h"
#include "app/main_frame_sizes.h"
#include "app/mode_sizes.h"
#include "app/scan_controller.h"
#include "app/window_placement.h"
#include "broadcast/broadcast_push.h"
#include "broadcast/live_h264_feed.h"
#include "broadcast/push_overlay.h"
#include "output/user_dialogs.h"
#include "panel/messages.h"
#include "platform/sleep.h"

namespace {

// Caption, system menu (with its close box), minimize and maximize boxes and
// a sizing border, so that the picture can fill a projector.
constexpr Qt::WindowFlags kFrameFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;

constexpr std::uint32_t kWorkerPollMs = 10;
constexpr std::uint32_t kWorkerSettleMs = 100;

}  // namespace

CMainFrame::CMainFrame(IUserDialogs& dialogs, platform::IDriver& driver, CameraTiming timing)
    : QWidget(nullptr, kFrameFlags),
      m_dialogs(dialogs),
      m_driver(driver),
      m_camera(driver, timing),
      m_wndRemocon(*this, this),
      m_wndView(this),
      m_resizeHandOver(*this, [this] { OnCamResize(); }),
      m_broadcastState(std::make_shared<CPushState>()) {
  setWindowTitle(QStringLiteral("TAVROCAM DISPLAY"));
  m_wndView.setGeometry(0, 0, 0, 0);
  CreateWindowActions();
}

CMainFrame::~CMainFrame() {
  // A frame torn down without passing through its close still stops the
  // worker before the objects it uses go.
  if (m_pCameraWait) m_pCameraWait->End();
  StopWorker();
  StopBroadcast();
  StopH264Feed();
  m_resizeHandOver.Close();
  for (int id = 0; id < static_cast<int>(m_timers.size()); ++id) KillTimer(id);
  m_camera.Close();
  platform::CloseEvent(m_hRunEvent);
}

bool CMainFrame::Create() {
  if (m_bCreated) return false;
  m_bCreated = true;

  m_camera.Open();
  const QPoint mainPosition = ReadProfilePosition(kMainWindowKeys);
  m_wndView.show();
  setMinimumSize(kMinimumClientSize);
  m_sizedForPicture = kCreatedClientSize;
  resize(kCreatedClientSize);
  MoveFrameTo(*this, VisiblePosition(mainPosition, kCreatedOuterSize));

  if (!m_wndRemocon.Create()) return false;
  PlaceRemocon();
  // The main window is mapped first: a window manager takes the panel as
  // owned by it (kept above it, minimised with it) only when the owner is
  // already managed when the panel appears.
  show();
  m_wndRemocon.show();
  CreatePresenterActions();

  m_hRunEvent = platform::CreateEvent(/*manualReset=*/true, /*initiallySignalled=*/true);

  if (!m_camera.IsOpen()) {
    if (m_bCarryOnWithoutCamera)
      BeginCameraWait("no camera", QSize());
    else
      SetTimer(TIMER_NO_DEVICE, kNoDeviceMs);
  } else {
    StartLive();
    QMetaObject::invokeMethod(&m_wndRemocon, &CRemoconDlg::OnRemoconStart, Qt::QueuedConnection);
  }

  m_szStartDir = QDir::currentPath();
  StartPresenter();
  return true;
}

long CMainFrame::SendCamMessage(unsigned message) {
  switch (message) {
    case WM_CAM_SHUTDOWN: return OnCamShutdown();
    case WM_CAM_STEP: return OnCamStep();
    case WM_CAM_MOVIE: return OnCamMovie();
    case WM_CAM_RESIZE: return OnCamResize();
    case WM_CAM_CAPTURE_TICK: return OnCamCaptureTick();
    case WM_CAM_RESUME: return OnCamResume();
    case WM_CAM_PAUSE: return OnCamPause();
    case WM_CAM_SAVE_AS: return OnCamSaveAs();
    case WM_CAM_PRINT: return OnCamPrint();
    default: return 0;
  }
}

bool CMainFrame::OnCommand(unsigned id, bool fromControl) {
  // A cancel that no control sent (the Escape key) must not end the program.
  if (id == IDCANCEL && !fromControl) return true;
  if (id == ID_APP_EXIT) {
    // An exit command that arrives after the window is gone is lost with it.
    if (!m_bDestroyed) close();
    return true;
  }
  return false;
}

void CMainFrame::PostExitCommand() {
  QMetaObject::invokeMethod(
      this, [this] { OnCommand(ID_APP_EXIT, false); }, Qt::QueuedConnection);
}

long CMainFrame::OnCamShutdown() {
  emit shuttingDown();
  if (m_pCameraWait) m_pCameraWait->End();
  StopIntervalCapture();
  m_wndRemocon.StopTimers();
  StopWorker();
  // No more pictures come: the push ends now, its file's trailer written.
  StopBroadcast();
  StopH264Feed();
  SavePositions();
  PostExitCommand();
  m_camera.Close();
  return 0;
}

void CMainFrame::StopWorker() {
  m_bLiveRunning.store(0);
  platform::SetEvent(m_hRunEvent);
  // The worker may be blocked in its resize request to this thread: serve
  // it from here while waiting.
  while (m_bWorkerAlive.load() != 0) {
    m_resizeHandOver.Serve();
    platform::SleepMs(kWorkerPollMs);
  }
  m_worker.Join();
}

bool CMainFrame::StartBroadcast(const PushSettings& settings, std::string& error) {
  if (m_pBroadcast || m_bDestroyed) {
    error = "a push is already running";
    return false;
  }
  m_pBroadcast = CBroadcastPush::Start(settings, error, m_broadcastState, H264Feed());
  if (!m_pBroadcast) return false;
  m_pPushOverlay = new CPushOverlay(m_broadcastState, &m_wndView);
  connect(m_pPushOverlay, &CPushOverlay::statusLineChanged, &m_wndRemocon, &CRemoconDlg::SetBroadcastText);
  m_pPushOverlay->Refresh();
  m_wndRemocon.SetBroadcastText(QString::fromStdString(PushStatusLine(m_broadcastState->Snapshot())));
  return true;
}

void CMainFrame::StopBroadcast() {
  if (!m_pBroadcast) return;
  m_pBroadcast->Stop();
  m_pBroadcast.reset();
  if (m_pPushOverlay != nullptr) m_pPushOverlay->Refresh();
}

std::shared_ptr<CLiveH264Feed> CMainFrame::H264Feed() {
  if (!m_pH264Feed && !m_bDestroyed) {
    m_pH264Feed = std::make_shared<CLiveH264Feed>();
    m_pH264Feed->Start();
    m_frameTaps.Add(*m_pH264Feed);
  }
  return m_pH264Feed;
}

void CMainFrame::StopH264Feed() {
  if (!m_pH264Feed) return;
  // Once Remove returns, the worker never calls the feed again.
  m_frameTaps.Remove(*m_pH264Feed);
  m_pH264Feed->Stop();
}

void CMainFrame::SavePositions() {
  WriteProfilePosition(kMainWindowKeys, RestoredFramePosition(*this));
  WriteProfilePosition(kRemoconKeys, RestoredFramePosition(m_wndRemocon));
}

long CMainFrame::OnCamStep() {
  platform::PulseEvent(m_hRunEvent);
  return 0;
}

long CMainFrame::OnCamResume() {
  platform::SetEvent(m_hRunEvent);
  return 0;
}

long CMainFrame::OnCamPause() {
  platform::ResetEvent(m_hRunEvent);
  return 0;
}

long CMainFrame::OnCamResize() {
  const int mode = m_camera.Picture().mode;
  if (const auto picture = PictureSizeForMode(mode)) FitWindowToPicture(*picture);
  m_nDisplayedMode.store(mode);
  return 0;
}

void CMainFrame::SendResize() { m_resizeHandOver.Request(); }

void CMainFrame::SetTimer(int id, int periodMs) {
  if (id < 0 || id >= static_cast<int>(m_timers.size())) return;
  m_timers[static_cast<std::size_t>(id)].start(periodMs, this);
}

void CMainFrame::KillTimer(int id) {
  if (id < 0 || id >= static_cast<int>(m_timers.size())) return;
  m_timers[static_cast<std::size_t>(id)].stop();
}

void CMainFrame::timerEvent(QTimerEvent* event) {
  for (std::size_t id = 0; id < m_timers.size(); ++id) {
    if (m_timers[id].timerId() == event->timerId()) {
      OnTimer(static_cast<int>(id));
      return;
    }
  }
  QWidget::timerEvent(event);
}

void CMainFrame::OnTimer(int id) {
  if (id == TIMER_NO_DEVICE)
    OnNoDeviceTimer();
  else if (id == TIMER_MOVIE_FRAME)
    OnMovieTimer();
}

void CMainFrame::StartLive() {
  m_camera.SetHighSpeed(m_camera.QueryHighSpeed());
  m_bWorkerEntered.store(0);
  m_bLiveRunning.store(1);
  m_worker.Start(LiveViewThread, static_cast<ILiveViewHost*>(this));
  // WorkerEntered, not WorkerAlive: a worker that fails at once and has
  // already finished must not leave us waiting for ever.
  while (m_bWorkerEntered.load() == 0) platform::SleepMs(kWorkerPollMs);
  platform::SleepMs(kWorkerSettleMs);
  m_bCameraPresent.store(true);
}

void CMainFrame::OnNoDeviceTimer() {
  KillTimer(TIMER_NO_DEVICE);
  // A camera that never opened is a failure, whoever closes the box.
  m_nExitCode = 1;
  m_dialogs.MessageBox(QStringLiteral("Can't open device."));
  PostExitCommand();
}

void CMainFrame::DestroyWindow() {
  if (m_bDestroyed) return;
  // Pages taken and not yet written are kept as an unfinished document.
  if (m_pScan) m_pScan->WriteUnfinished();
  SendCamMessage(WM_CAM_SHUTDOWN);
  // Hidden, not closed: closing the panel would count as its cancel.
  m_wndRemocon.hide();
  m_bDestroyed = true;
  emit windowDestroyed();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  DestroyWindow();
  event->accept();
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    // Leaving full screen is all Escape does there.
    if (isFullScreen())
      ToggleFullScreen();
    else
      OnCommand(IDCANCEL, false);
    return;
  }
  QWidget::keyPressEvent(event);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_wndView.setGeometry(0, 0, width(), height());
  UpdateViewFit();
}

void CMainFrame::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  m_wndView.setFocus();
}
