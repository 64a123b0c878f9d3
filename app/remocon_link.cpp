#include "app/remocon_link.h"

#include "app/main_frame.h"
#include "app/messages.h"

void CRemoconLink::Shutdown() { m_frame.SendCamMessage(WM_CAM_SHUTDOWN); }
void CRemoconLink::Step() { m_frame.SendCamMessage(WM_CAM_STEP); }
void CRemoconLink::Movie() { m_frame.SendCamMessage(WM_CAM_MOVIE); }
void CRemoconLink::Resume() { m_frame.SendCamMessage(WM_CAM_RESUME); }
void CRemoconLink::Pause() { m_frame.SendCamMessage(WM_CAM_PAUSE); }
void CRemoconLink::SaveAs() { m_frame.SendCamMessage(WM_CAM_SAVE_AS); }
void CRemoconLink::Print() { m_frame.SendCamMessage(WM_CAM_PRINT); }
CUsbCamera& CRemoconLink::Camera() { return m_frame.Camera(); }
void CRemoconLink::StopLive() { m_frame.Live().StopLive(); }
bool CRemoconLink::DeviceOk() const { return m_frame.Live().DeviceOk(); }
int CRemoconLink::FrameCount() const { return m_frame.Live().FrameCount(); }
void CRemoconLink::ResetFrameCount() { m_frame.Live().ResetFrameCount(); }
IUserDialogs& CRemoconLink::Dialogs() { return m_frame.Dialogs(); }
bool CRemoconLink::OnCameraLost() { return m_frame.OnCameraLost(); }
