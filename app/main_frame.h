// The main window "TAVROCAM DISPLAY", the hub of the program: it owns the
// camera link, the live view and the REMOCON panel, runs the custom messages'
// handlers on the user-interface thread and hands each job to its object.
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include <QBasicTimer>
#include <QWidget>

#include "app/capture_controller.h"
#include "app/frame_outputs.h"
#include "app/frame_placement.h"
#include "app/live_controller.h"
#include "app/movie_recorder.h"
#include "app/remocon_link.h"
#include "camera/usb_camera.h"
#include "liveview/frame_taps.h"
#include "liveview/live_view.h"
#include "panel/remocon_dlg.h"

class CCameraWait;
class CScanController;
class CSharedKeys;
class IUserDialogs;
class QMenu;

class CMainFrame final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int TIMER_NO_DEVICE = 0, TIMER_MOVIE_FRAME = 1;
  static constexpr int kNoDeviceMs = 1000, kMovieFrameMs = 66;

  CMainFrame(IUserDialogs& dialogs, platform::IDriver& driver, CameraTiming timing = {});
  ~CMainFrame() override;

  // Opens the camera, makes and places the view and the panel, starts live view.
  bool Create();
  // Runs a WM_CAM_* message's handler and returns its result; 0 when unknown.
  long SendCamMessage(unsigned message);
  // True when the command was handled (or swallowed); `fromControl`: a control sent it.
  bool OnCommand(unsigned id, bool fromControl);

  CUsbCamera& Camera() { return m_camera; }
  IUserDialogs& Dialogs() { return m_dialogs; }
  bool OnCameraLost();  // true: the program carries on without the camera

  CLiveView& LiveView() { return m_wndView; }
  CFrameTaps& ShownFrameTaps() { return m_frameTaps; }  // every picture shown goes to them
  CRemoconDlg& Remocon() { return m_wndRemocon; }
  CLiveController& Live() { return m_live; }
  CCaptureController& Capture() { return m_capture; }
  CFramePlacement& Placement() { return m_placement; }
  CFrameOutputs& Outputs() { return m_outputs; }
  const CPushState& BroadcastState() const { return m_outputs.BroadcastState(); }
  bool IsRecording() const { return m_recorder.IsRecording(); }
  bool IsDestroyed() const { return m_bDestroyed; }                                            // the program is ending
  void SetPresenterOptions(const PresenterOptions& options) { m_presenterOptions = options; }  // before Create
  CScanController* ScanController() const { return m_pScan; }
  void FillContextMenu(QMenu& menu) const;  // the right-click menu, its entries in order

  // Before Create: no camera (or a lost one) means a "NO CAMERA" picture and
  // a new try every 2 s, not a box and the end (serving, pushing, headless).
  void SetCarryOnWithoutCamera(bool carryOn) { m_bCarryOnWithoutCamera = carryOn; }
  bool CameraPresent() const { return m_bCameraPresent.load(); }  // any thread
  int ExitCode() const { return m_nExitCode; }                    // 1 for a camera not opened, or lost

 signals:
  void windowDestroyed();  // the application leaves its message loop
  void shuttingDown();     // what serves the camera elsewhere lets its clients go

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

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

  void SetTimer(int id, int periodMs);
  void KillTimer(int id);
  void OnTimer(int id);
  void PostExitCommand();
  void DestroyWindow();  // Shutdown, then the panel, then the window itself
  void CreateActions();  // keys and menu entries (main_frame_panel.cpp)
  void StartLive();
  bool TryOpenCamera();                                      // the camera wait's retry (main_frame_camera_wait.cpp)
  void BeginCameraWait(const char* why, QSize lastPicture);  // `lastPicture` empty: 1024x768

  IUserDialogs& m_dialogs;
  platform::IDriver& m_driver;
  PresenterOptions m_presenterOptions;
  QString m_szStartDir;      // print writes its intermediate file here
  int m_nOutputDialogs = 0;  // open save, print and movie dialogs
  CUsbCamera m_camera;       // before the panel, whose destruction still talks to it
  CRemoconLink m_remoconLink;
  CRemoconDlg m_wndRemocon;
  CFrameTaps m_frameTaps;
  CLiveView m_wndView;
  CLiveController m_live;  // after all the worker touches: joined before they go
  CMovieRecorder m_recorder;
  CCaptureController m_capture;
  CFramePlacement m_placement;
  CFrameOutputs m_outputs;
  std::array<QBasicTimer, 2> m_timers;
  bool m_bCreated = false, m_bDestroyed = false, m_bCarryOnWithoutCamera = false;
  std::atomic<bool> m_bCameraPresent{false};
  int m_nExitCode = 0;
  std::unique_ptr<CCameraWait> m_pCameraWait;
  std::unique_ptr<CSharedKeys> m_pSharedKeys;
  CScanController* m_pScan = nullptr;
};
