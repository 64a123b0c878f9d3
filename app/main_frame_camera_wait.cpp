// The main window without its camera: the wait for one to appear, and what a
// lost camera leads to.
#include "app/camera_wait.h"
#include "app/main_frame.h"

void CMainFrame::BeginCameraWait(const char* why, QSize lastPicture) {
  m_bCameraPresent.store(false);
  if (!m_pCameraWait)
    m_pCameraWait = std::make_unique<CCameraWait>(
        m_frameTaps, [this] { return TryOpenCamera(); }, [this] { return m_driver.DeviceArrivals(); });
  // The stand-in keeps the size viewers and the push last had, turned as shown.
  if (m_capture.QuarterTurns() % 2 != 0) lastPicture.transpose();
  m_pCameraWait->Begin(lastPicture, why);
}

bool CMainFrame::TryOpenCamera() {
  if (m_bDestroyed || !m_camera.Open()) return false;
  // A camera lost while frozen comes back live: the panel's sync leaves freeze too.
  m_live.Run();
  m_live.DeviceBack();
  StartLive();
  m_wndRemocon.OnCameraBack();
  return true;
}

bool CMainFrame::OnCameraLost() {
  if (!m_bCarryOnWithoutCamera || m_bDestroyed) {
    // The box follows, then the end: a failure, not a normal exit.
    m_nExitCode = 1;
    return false;
  }
  m_bCameraPresent.store(false);
  m_live.Stop();
  const CUsbCamera::PictureMode picture = m_camera.Picture();
  const QSize last(picture.width, picture.height);
  m_camera.Close();
  BeginCameraWait("the camera was lost", last);
  return true;
}
