// The main window as the web server sees it.
#pragma once

#include <memory>

#include "app/main_frame.h"
#include "app/scan_server_link.h"
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
  std::shared_ptr<CLiveH264Feed> SharedH264Feed() override { return m_frame.Outputs().H264Feed(); }
  server::IScanHost* Scan() override {
    if (!m_scan && m_frame.ScanController()) m_scan = std::make_unique<CScanServerLink>(*m_frame.ScanController());
    return m_scan.get();
  }

 private:
  CMainFrame& m_frame;
  std::unique_ptr<CScanServerLink> m_scan;  // made on first use, on the user-interface thread
};
