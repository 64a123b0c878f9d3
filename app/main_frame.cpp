#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMetaObject>
#include <QTimerEvent>

#include "app/camera_wait.h"
#include "app/messages.h"
#include "app/mode_sizes.h"
#include "app/scan_controller.h"
#include "app/shared_keys.h"
#include "app/window_placement.h"
#include "output/user_dialogs.h"

namespace {

// Caption, system menu (with its close box), minimize and maximize boxes and
// a sizing border, so that the picture can fill a projector.
constexpr Qt::WindowFlags kFrameFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;

}  // namespace

CMainFrame::CMainFrame(IUserDialogs& dialogs, platform::IDriver& driver, CameraTiming timing)
    : QWidget(nullptr, kFrameFlags),
      m_dialogs(dialogs),
      m_driver(driver),
      m_camera(driver, timing),
      m_remoconLink(*this),
      m_wndRemocon(m_remoconLink, this),
      m_wndView(this),
      m_live(
          *this, m_camera, m_wndView, m_frameTaps, [this] { OnCamResize(); },
          [this] { return m_capture.QuarterTurns(); }),
      m_recorder(
          dialogs, m_nOutputDialogs, [this]() -> CFrameBitmap& { return m_capture.OutputFrame(); },
          [this](bool run) { run ? SetTimer(TIMER_MOVIE_FRAME, kMovieFrameMs) : KillTimer(TIMER_MOVIE_FRAME); }),
      m_capture(m_wndView, m_frameTaps, m_presenterOptions,
                {.destroyed = [this] { return m_bDestroyed; },
                 .outputDialogOpen =
                     [this] {
                       return m_nOutputDialogs > 0 || m_recorder.Busy() || QApplication::activeModalWidget() != nullptr;
                     },
                 .recording = [this] { return m_recorder.HasWriter(); },
                 .frozen = [this] { return m_wndRemocon.Frozen(); },
                 .fitPicture = [this](QSize picture) { m_placement.FollowPicture(m_capture.Turned(picture)); }}),
      m_placement(*this, m_wndRemocon, m_wndView, [this] { return m_bDestroyed; }),
      m_outputs(*this, m_frameTaps, m_wndView, m_wndRemocon, [this] { return m_bDestroyed; }) {
  setWindowTitle(QStringLiteral("TAVROCAM DISPLAY"));
  m_wndView.setGeometry(0, 0, 0, 0);
  m_placement.CreateFullScreenAction();
}

CMainFrame::~CMainFrame() {
  // A frame torn down without passing through its close still stops the
  // worker before the objects it uses go.
  if (m_pCameraWait) m_pCameraWait->End();
  m_live.Stop();
  m_outputs.StopBroadcast();
  m_outputs.StopH264Feed();
  m_live.CloseHandOver();
  for (int id = 0; id < static_cast<int>(m_timers.size()); ++id) KillTimer(id);
  m_camera.Close();
}

bool CMainFrame::Create() {
  if (m_bCreated) return false;
  m_bCreated = true;

  m_camera.Open();
  const QPoint mainPosition = ReadProfilePosition(kMainWindowKeys);
  m_wndView.show();
  m_placement.PlaceFrame(mainPosition);

  if (!m_wndRemocon.Create()) return false;
  m_placement.PlaceRemocon();
  // The main window is mapped first: a window manager takes the panel as
  // owned by it (kept above it, minimised with it) only when the owner is
  // already managed when the panel appears.
  show();
  m_wndRemocon.show();
  CreateActions();

  m_live.CreateRunEvent();

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
  m_capture.Start();
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
  m_capture.StopIntervalCapture();
  m_wndRemocon.StopTimers();
  m_live.Stop();
  // No more pictures come: the push ends now, its file's trailer written.
  m_outputs.StopBroadcast();
  m_outputs.StopH264Feed();
  m_placement.SavePositions();
  PostExitCommand();
  m_camera.Close();
  return 0;
}

long CMainFrame::OnCamStep() {
  m_live.StepOnce();
  return 0;
}

long CMainFrame::OnCamMovie() {
  m_recorder.StartOrStop();
  // Live view runs again after any movie command. The gate releases a
  // worker waiting at it before Run returns: there is nothing more to wait for.
  m_live.Run();
  return 0;
}

long CMainFrame::OnCamResize() {
  const int mode = m_camera.Picture().mode;
  if (const auto picture = PictureSizeForMode(mode)) m_placement.FollowPicture(m_capture.Turned(*picture));
  m_live.SetDisplayedMode(mode);
  return 0;
}

long CMainFrame::OnCamCaptureTick() {
  m_recorder.CaptureTick();
  return 0;
}

long CMainFrame::OnCamResume() {
  m_live.Run();
  return 0;
}

long CMainFrame::OnCamPause() {
  m_live.Hold();
  return 0;
}

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
  if (id == TIMER_MOVIE_FRAME) {
    if (m_recorder.OnTimer(m_bDestroyed)) SendCamMessage(WM_CAM_CAPTURE_TICK);
  } else if (id == TIMER_NO_DEVICE) {
    KillTimer(TIMER_NO_DEVICE);
    // A camera that never opened is a failure, whoever closes the box.
    m_nExitCode = 1;
    m_dialogs.MessageBox(QStringLiteral("Can't open device."));
    PostExitCommand();
  }
}

void CMainFrame::StartLive() {
  m_live.Start();
  m_bCameraPresent.store(true);
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
      m_placement.ToggleFullScreen();
    else
      OnCommand(IDCANCEL, false);
    return;
  }
  QWidget::keyPressEvent(event);
}
