// The main window as the web server sees it.
#pragma once

#include "app/main_frame.h"
#include "broadcast/push_state.h"
#include "server/camera_server_host.h"

class CCameraServerLink final : public server::ICameraServerHost {
 public:
  explicit CCameraServerLink(CMainFrame& frame) : m_frame(frame) {}

  CFrameTaps& ShownFrameTaps() override { return m_frame.ShownFrameTaps(); }
  CRemoconDlg& Remocon() override { return m_frame.Remocon(); }
  int CameraMode() const override { return m_frame.Camera().Picture().mode; }
  bool IsRecording() const override { return m_frame.IsRecording(); }
  PushStatus BroadcastStatus() const override { return m_frame.BroadcastState().Snapshot(); }
  bool CameraPresent() const override { return m_frame.CameraPresent(); }

 private:
  CMainFrame& m_frame;
};
